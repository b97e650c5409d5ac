#!/usr/bin/env bash
# Builds the Debian package from this build tree (cpack, so nothing is built twice),
# unpacks it into a temporary root and checks what a machine gets: every installed file,
# icons of the sizes their folders say, a desktop entry the desktop accepts, the package's
# dependencies, and programs that start and report the package's version.
#   package-test.sh CPACK BUILD_DIR VERSION
# Exit status 77 (skipped) when a Debian packaging tool is missing.
set -uo pipefail
cpack=$1 build=$2 version=$3

for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is missing (apt-get install dpkg-dev desktop-file-utils)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
deb=$work/out/hx410-install_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
    ls "$work/out"
    echo "FAIL: no package named $(basename "$deb")"
    exit 1
fi
root=$work/root
dpkg-deb -x "$deb" "$root" || exit 1

sizes=(16 22 24 32 48 64 128 256)
files=(usr/share/applications/hx410-install.desktop
    usr/share/icons/hicolor/scalable/apps/hx410-install.svg
    usr/share/doc/hx410-install/README.md usr/share/doc/hx410-install/changelog.gz)
for program in hx410-install hx410-sim hx410-decode; do
    files+=("usr/bin/$program" "usr/share/man/man1/$program.1.gz")
done
for size in "${sizes[@]}"; do
    files+=("usr/share/icons/hicolor/${size}x${size}/apps/hx410-install.png")
done
for file in "${files[@]}"; do
    [ -s "$root/$file" ] || fail "the package lacks $file"
done

# A PNG's width and height are the big-endian words at bytes 16 to 23.
for size in "${sizes[@]}"; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/hx410-install.png
    [ -f "$png" ] || continue
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [ "$width $height" = "$size $size" ] || fail "the ${size}x${size} icon is ${width}x${height}"
done
for gz in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/doc/hx410-install/*.gz; do
    gzip -t "$gz" || fail "$gz is not a good gzip file"
done

desktop=$root/usr/share/applications/hx410-install.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
    grep -qx 'Exec=hx410-install' "$desktop" || fail "the desktop entry does not start hx410-install"
    grep -qx 'Icon=hx410-install' "$desktop" || fail "the desktop entry does not name the icon"
    grep -qx 'Terminal=false' "$desktop" || fail "the desktop entry asks for a terminal"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in fonts-liberation libqt6widgets6 libtinyxml2; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed"
done

for program in hx410-install hx410-sim hx410-decode; do
    said=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/$program" --version 2>&1)
    [ "$said" = "$program $version" ] || fail "$program --version says '$said'"
done
exit $status
