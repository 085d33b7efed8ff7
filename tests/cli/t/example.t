# The example project that ./scripts/run converts, read where it lies.

kcli "$ROOT/examples/inquiries.KFY" -
expect_rc "example project" 0
expect_only_summary "example project"
same_bytes "example project: CSV" stdout "$EXPECTED/example.csv"

# The same through its SAVEFILENAME, beside a copy of the project.
mkdir example
cp "$ROOT/examples/inquiries.KFY" "$ROOT/examples/inquiries.mbox" example/
kcli example/inquiries.KFY
expect_rc "example project, SAVEFILENAME" 0
same_bytes "example project, SAVEFILENAME" example/inquiries.csv "$EXPECTED/example.csv"
