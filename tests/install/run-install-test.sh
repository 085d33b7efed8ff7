#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every file is
# where a Linux desktop looks for it, that the desktop entry, the MIME type
# and the icon name agree, and (when the tools are there) that the desktop
# entry validates and the Debian package names its runtime packages.
# run-install-test.sh BUILD_DIR VERSION GUI(ON|OFF) SOURCE_DIR
set -u
build=$1
version=$2
gui=$3
source=$4
. "$source/tests/cli/lib.sh"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then ok "$what"; else not_ok "$what"; fi
}

if ! cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
    cat "$tmp/install.log"
    not_ok "cmake --install"
    finish
    exit
fi

check "kestrify-cli in bin" test -x "$prefix/bin/kestrify-cli"
check "kestrify-cli --version names the version" \
    grep -qx "kestrify-cli $version" <("$prefix/bin/kestrify-cli" --version)
check "manual page of kestrify-cli, compressed" gzip -t "$prefix/share/man/man1/kestrify-cli.1.gz"
check "copyright file in the documentation folder" \
    grep -q '^License: MIT' "$prefix/share/doc/kestrify/copyright"

if [ "$gui" = ON ]; then
    entry=$prefix/share/applications/kestrify.desktop
    mime=$prefix/share/mime/packages/kestrify.xml
    check "kestrify in bin" test -x "$prefix/bin/kestrify"
    check "kestrify --version names the version" \
        grep -qx "kestrify $version" <(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/kestrify" --version)
    check "desktop entry" test -f "$entry"
    check "MIME type" test -f "$mime"
    check "scalable icon" test -f "$prefix/share/icons/hicolor/scalable/apps/kestrify.svg"
    check "project file icon" \
        test -f "$prefix/share/icons/hicolor/scalable/mimetypes/application-x-kestrify-project.svg"
    check "MIME type names the project file icon" \
        grep -q '<icon name="application-x-kestrify-project"/>' "$mime"
    check "manual page of kestrify, compressed" gzip -t "$prefix/share/man/man1/kestrify.1.gz"
    metainfo=$prefix/share/metainfo/org.example.kestrify.metainfo.xml
    check "AppStream entry" test -f "$metainfo"
    if command -v appstreamcli >/dev/null 2>&1; then
        check "appstreamcli accepts the AppStream entry" appstreamcli validate --no-net "$metainfo"
    else
        skip "appstreamcli is not installed"
    fi
    check "entry runs the installed program" grep -qx 'Exec=kestrify %f' "$entry"
    check "entry names the icon" grep -qx 'Icon=kestrify' "$entry"
    check "entry opens project files" grep -qx 'MimeType=application/x-kestrify-project;' "$entry"
    check "MIME type claims *.KFY" grep -q '<glob pattern="\*.KFY"/>' "$mime"
    if command -v desktop-file-validate >/dev/null 2>&1; then
        check "desktop-file-validate accepts the entry" desktop-file-validate "$entry"
    else
        skip "desktop-file-validate is not installed"
    fi
    if command -v update-mime-database >/dev/null 2>&1; then
        cp -r "$prefix/share/mime" "$tmp/mime"
        update-mime-database "$tmp/mime" >/dev/null 2>&1
        check "the MIME database maps *.kfy to the project type" \
            grep -q '^[0-9]*:application/x-kestrify-project:\*\.kfy' "$tmp/mime/globs2"
    else
        skip "update-mime-database is not installed"
    fi
fi

if command -v dpkg-deb >/dev/null 2>&1 && command -v dpkg-shlibdeps >/dev/null 2>&1; then
    if cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package" >"$tmp/cpack.log" 2>&1; then
        deb=$(ls "$tmp"/package/*.deb)
        depends=$(dpkg-deb -f "$deb" Depends)
        contents=$(dpkg-deb -c "$deb")
        echo "Depends: $depends"
        check "package depends on Oniguruma" grep -q 'libonig5' <<<"$depends"
        check "package holds kestrify-cli" grep -q '\./usr/bin/kestrify-cli$' <<<"$contents"
        if command -v lintian >/dev/null 2>&1; then
            lintian --no-tag-display-limit "$deb" >"$tmp/lintian.log" 2>&1
            if grep -q '^E: ' "$tmp/lintian.log"; then
                grep '^E: ' "$tmp/lintian.log" | sed 's/^/#   /'
                not_ok "lintian reports no errors"
            else
                ok "lintian reports no errors"
            fi
        else
            skip "lintian is not installed"
        fi
        if [ "$gui" = ON ]; then
            check "package depends on Qt Widgets" grep -q 'libqt6widgets6' <<<"$depends"
            check "package holds the desktop entry" \
                grep -q '\./usr/share/applications/kestrify.desktop$' <<<"$contents"
        fi
    else
        cat "$tmp/cpack.log"
        not_ok "cpack -G DEB"
    fi
else
    skip "dpkg-deb or dpkg-shlibdeps is not installed"
fi
finish
