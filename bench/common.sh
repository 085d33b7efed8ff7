# Shared by the bench/run-*.sh scripts (sourced, not run): a release build
# of the benchmark programs and the generated store of form mails.

# bench_build BUILD GUI(ON|OFF) TARGET...: configures and builds BUILD.
bench_build() {
    local build=$1 gui=$2
    shift 2
    local generator=()
    command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DKESTRIFY_BUILD_GUI="$gui" -DKESTRIFY_BUILD_TESTS=OFF -DKESTRIFY_BUILD_BENCH=ON >/dev/null
    cmake --build "$build" --target "$@" >/dev/null
}

# bench_store BUILD MAILS FOLDER: prints the path of an mbox of MAILS form
# mails in FOLDER, written by gen_form_mbox (from BUILD) the first time.
bench_store() {
    local build=$1 mails=$2 folder=$3
    local mbox=$folder/forms-$mails.mbox
    mkdir -p "$folder"
    if [ ! -s "$mbox" ]; then
        echo "Writing $mails form mails to $mbox" >&2
        "$build/bench/gen_form_mbox" "$mails" "$mbox.part"
        mv "$mbox.part" "$mbox"
    fi
    echo "$mbox"
}

# bench_need_time NAME: stops when /usr/bin/time is missing.
bench_need_time() {
    if [ ! -x /usr/bin/time ]; then
        echo "$1: /usr/bin/time is missing (Debian package 'time')" >&2
        exit 2
    fi
}
