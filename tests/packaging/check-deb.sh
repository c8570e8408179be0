#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack, lists its contents and checks that
# it installs both programs with their desktop files, that its dependencies name the libraries
# the programs link, and that the programs as unpacked from it start.
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
    ./usr/share/icons/hicolor/256x256/apps/$id.png; do
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

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/$id.desktop"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" ||
        fail "the metainfo does not validate"
fi
echo "check-deb: the package holds both programs and their desktop files"
