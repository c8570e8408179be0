#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack, lists its contents and checks that
# it installs both programs with their desktop files, manual pages, MIME type, copyright and
# changelog, that its dependencies name the libraries the programs link, and that the programs
# as unpacked from it start. Then lintian checks the package, desktop-file-validate the desktop
# entry and appstreamcli the metainfo: an error or a warning of any of them fails the check.
#
#   check-deb.sh BUILD-DIR OUT-DIR VERSION
set -euo pipefail
build=$1
out=$2
version=$3
rm -rf "$out"
mkdir -p "$out"

fail() {
    echo "check-deb: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; fail "cpack failed"; }
debs=("$out"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb in $out"
deb=${debs[0]}
echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes)"

dpkg-deb --info "$deb"
dpkg-deb --contents "$deb" | tee "$out/contents.txt"

id=org.korvalen.Korvalen25Editor
for path in \
    ./usr/bin/korvalen25-editor \
    ./usr/bin/korvalen25-cli \
    ./usr/share/applications/$id.desktop \
    ./usr/share/metainfo/$id.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/$id.svg \
    ./usr/share/icons/hicolor/16x16/apps/$id.png \
    ./usr/share/icons/hicolor/256x256/apps/$id.png \
    ./usr/share/mime/packages/$id.xml \
    ./usr/share/man/man1/korvalen25-editor.1.gz \
    ./usr/share/man/man1/korvalen25-cli.1.gz \
    ./usr/share/doc/korvalen25/copyright \
    ./usr/share/doc/korvalen25/changelog.gz; do
    grep -q " $path\$" "$out/contents.txt" || fail "the package lacks $path"
done

[ "$(dpkg-deb --field "$deb" Package)" = korvalen25 ] || fail "package name"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6core6 libqt6widgets6 librtmidi; do
    grep -q "$lib" <<<"$depends" || fail "Depends does not name $lib: $depends"
done

root="$out/root"
dpkg-deb --extract "$deb" "$root"
expected="korvalen25-cli $version"
got=$("$root/usr/bin/korvalen25-cli" --version)
[ "$got" = "$expected" ] || fail "the packaged korvalen25-cli --version says \"$got\", not \"$expected\""
! ldd "$root/usr/bin/korvalen25-editor" "$root/usr/bin/korvalen25-cli" | grep "not found" ||
    fail "a library of the packaged programs is missing"

# The command line needs Qt Core only.
! ldd "$root/usr/bin/korvalen25-cli" | grep -E "Qt6(Gui|Widgets)" ||
    fail "korvalen25-cli links a Qt GUI library"

# The manual pages: made from the programs' help, so they list what --help lists.
for program in korvalen25-editor korvalen25-cli; do
    page=$(zcat "$root/usr/share/man/man1/$program.1.gz")
    grep -q '^\.SH NAME' <<<"$page" || fail "the manual page of $program has no NAME section"
    grep -q -- 'midi\\-api' <<<"$page" || fail "the manual page of $program lacks --midi-api"
done
zcat "$root/usr/share/man/man1/korvalen25-cli.1.gz" | grep -q 'restore DIR' ||
    fail "the manual page of korvalen25-cli does not list the commands"

# One version everywhere: the package, the changelog's last entry and the metainfo's newest
# release.
changelog_version=$(zcat "$root/usr/share/doc/korvalen25/changelog.gz" | sed -n '1s/^korvalen25 (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] ||
    fail "the changelog's last entry is for \"$changelog_version\", the package is $version"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$root/usr/share/metainfo/$id.metainfo.xml" | head -1)
[ "$release" = "$version" ] || fail "the metainfo's newest release is \"$release\", not $version"

# Lintian, with every tag shown; errors and warnings fail.
echo "lintian $(lintian --version | sed 's/^Lintian v//'):"
lintian_status=0
lintian --display-info --pedantic --fail-on error,warning "$deb" >"$out/lintian.txt" 2>&1 ||
    lintian_status=$?
cat "$out/lintian.txt"
[ $lintian_status -eq 0 ] || fail "lintian found errors or warnings (exit $lintian_status)"
grep -E '^[EW]: ' "$out/lintian.txt" && fail "lintian reported errors or warnings"

# desktop-file-validate exits 0 after a warning: its output must be empty.
dfv=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) ||
    fail "the desktop entry does not validate: $dfv"
[ -z "$dfv" ] || fail "desktop-file-validate: $dfv"

# Preset files of either kind open in the editor: its own type, and the SysEx type that
# shared-mime-info gives *.syx.
grep -q '^MimeType=.*application/x-korvalen25-preset;' "$root/usr/share/applications/$id.desktop" ||
    fail "the desktop entry does not name application/x-korvalen25-preset"
grep -q '^MimeType=.*audio/x-syx;' "$root/usr/share/applications/$id.desktop" ||
    fail "the desktop entry does not name audio/x-syx"
grep -q '<mediatype>audio/x-syx</mediatype>' "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo does not name audio/x-syx"

appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo does not validate"

# The MIME type as the desktop's database takes it.
mime="$out/share/mime"
mkdir -p "$mime/packages"
cp "$root/usr/share/mime/packages/$id.xml" "$mime/packages/"
xmllint --noout "$mime/packages/$id.xml" || fail "the MIME type file is not well-formed XML"
messages=$(XDG_DATA_DIRS="$out/share" update-mime-database "$mime" 2>&1) ||
    fail "update-mime-database: $messages"
[ -z "$messages" ] || fail "update-mime-database: $messages"
grep -q '^50:application/x-korvalen25-preset:\*\.sav$' "$mime/globs2" ||
    fail "the MIME database has no glob *.sav for the preset type"
grep -q 'KORVALEN25' "$mime/magic" || fail "the MIME database has no signature for the preset type"
echo "check-deb: the package holds both programs, their desktop files and manual pages, and is lintian clean"
