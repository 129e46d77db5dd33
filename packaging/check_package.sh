#!/usr/bin/env bash
# Makes the .deb and the .tar.gz in a Release build, checks what they hold,
# unpacks the .deb into a temporary root with dpkg-deb and runs the unpacked
# program there against the virtual printer.
#
#   packaging/check_package.sh [BUILD_DIR]      (default build/package)
#
# The packages stay in BUILD_DIR: veltar2000_<version>_<arch>.deb and
# veltar2000-<version>-Linux.tar.gz.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/package}
prefix=/opt/veltar2000

"$root/scripts/deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTAR_BENCH=OFF \
    -DVELTAR_TESTS=OFF
fi
cmake --build "$build" --target veltar2000 kordal fpsim
rm -f "$build"/veltar2000_*.deb "$build"/veltar2000-*.tar.gz
(cd "$build" && cpack -G "DEB;TGZ" >"$build/cpack.log") || { cat "$build/cpack.log" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$(ls "$build"/veltar2000_*.deb)
tgz=$(ls "$build"/veltar2000-*.tar.gz)
echo "== $deb"
dpkg-deb -I "$deb" | tee "$work/info"
dpkg-deb -c "$deb" | tee "$work/contents"

grep -q '^ Package: veltar2000$' "$work/info" || fail "the package is not named veltar2000"
grep -Eq '^ Depends: .*libqt6widgets6' "$work/info" || fail "no dependency on the Qt 6 widgets"
grep -Eq '^ Depends: .*passwd' "$work/info" || fail "no dependency on passwd (groupadd)"
for path in "$prefix/veltar2000" "$prefix/libkordal.so" "$prefix/veltar2000-start" \
    "$prefix/veltar.env.example" "$prefix/share/veltar2000/veltar2000-setup" \
    "$prefix/share/veltar2000/veltar2000.desktop" "$prefix/share/doc/veltar2000/README.md" \
    /etc/xdg/autostart/veltar2000.desktop; do
  grep -q " \.$path\$" "$work/contents" || fail "$path is not in the package"
done
grep -Eq '^-rwxr-xr-x root/root .* \./opt/veltar2000/veltar2000$' "$work/contents" ||
  fail "the program is not root's and executable"
while read -r path; do
  case $path in
    ./ | ./etc/ | ./etc/xdg/ | ./etc/xdg/autostart/ | ./etc/xdg/autostart/* | ./opt/ | ./opt/veltar2000/*) ;;
    *) fail "$path is outside $prefix and /etc/xdg/autostart" ;;
  esac
done < <(awk '{print $NF}' "$work/contents")

dpkg-deb -e "$deb" "$work/control"
grep -q "^  \"$prefix/share/veltar2000/veltar2000-setup\"$" "$work/control/postinst" ||
  fail "postinst does not run veltar2000-setup"
dpkg-deb -x "$deb" "$work/root"
grep -qx "Exec=$prefix/veltar2000-start" "$work/root/etc/xdg/autostart/veltar2000.desktop" ||
  fail "the autostart entry does not start $prefix/veltar2000-start"
"$root/packaging/try_bridge_directory.sh" "$work/root$prefix" "$prefix" "$build/bin/fpsim" \
  "$root/examples/requests"

echo "== $tgz"
tar -tzvf "$tgz" | tee "$work/tgz"
grep -q " opt/veltar2000/veltar2000$" "$work/tgz" || fail "the program is not in the tar.gz"
grep -q " etc/" "$work/tgz" && fail "the tar.gz writes into /etc"
mkdir "$work/tgz-root"
tar -xzf "$tgz" -C "$work/tgz-root"
"$root/packaging/try_bridge_directory.sh" "$work/tgz-root$prefix" "$prefix" "$build/bin/fpsim" \
  "$root/examples/requests"
echo "packages checked: $deb $tgz"
