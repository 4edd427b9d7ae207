#!/usr/bin/env bash
# Makes the Debian package of the build under test (scripts/package.sh with CNC_PACKAGE_FROM),
# checks its files and fields, runs lintian on it, and runs the program unpacked into a
# temporary root with HOME in a temporary folder.
# Usage: PackageTest.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$1 build_dir=$2 version=$3

missing=()
for tool in cpack dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: the packaging tools are missing: ${missing[*]} (scripts/deps.sh installs them)"
  exit 77
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

CNC_PACKAGE_FROM=$build_dir CNC_PACKAGE_OUT=$tmp/out "$source_dir/scripts/package.sh" \
  > "$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$tmp/out/cnc_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { cat "$tmp/cpack.log"; fail "no $deb"; }

# The files, and nothing else.
expected="./usr/bin/cnc
./usr/share/applications/cnc.desktop
./usr/share/cnc/gepard2.jpg
./usr/share/cnc/ornament.bmp
./usr/share/doc/cnc/changelog.gz
./usr/share/doc/cnc/copyright"
for size in 16 24 32 48 64 128 256; do
  expected+=$'\n'"./usr/share/icons/hicolor/${size}x${size}/apps/cnc.png"
done
expected+=$'\n'"./usr/share/icons/hicolor/scalable/apps/cnc.svg
./usr/share/man/man1/cnc.1.gz"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | LC_ALL=C sort)
[ "$files" = "$(LC_ALL=C sort <<<"$expected")" ] ||
  fail "the package's files differ:"$'\n'"$(diff <(echo "$expected" | LC_ALL=C sort) <(echo "$files"))"

# The fields: the dependencies come from the binary.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6core6 libqt6widgets6 libqt6serialport6; do
  grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version $(dpkg-deb -f "$deb" Version)"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
[ -n "$(dpkg-deb -f "$deb" Description | sed -n 2p)" ] || fail "no long Description"

lintian --fail-on error "$deb" > "$tmp/lintian.log" 2>&1 || { cat "$tmp/lintian.log"; fail "lintian"; }
cat "$tmp/lintian.log"

dpkg -x "$deb" "$tmp/root"
desktop-file-validate "$tmp/root/usr/share/applications/cnc.desktop" || fail "desktop-file-validate"
[ "$(zcat "$tmp/root/usr/share/doc/cnc/changelog.gz" | head -1)" = "cnc ($version) unstable; urgency=medium" ] ||
  fail "the changelog's latest entry is not $version"
file "$tmp/root/usr/share/icons/hicolor/48x48/apps/cnc.png" | grep -q "PNG image data, 48 x 48" ||
  fail "the 48x48 icon is no 48x48 PNG"

# The unpacked program: settings in the user's folder, nothing written beside it.
mkdir "$tmp/home"
before=$(cd "$tmp/root" && find . | LC_ALL=C sort)
cnc() { env -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY HOME="$tmp/home" "$tmp/root/usr/bin/cnc" "$@"; }
[ "$(cnc --version)" = "cnc $version" ] || fail "cnc --version: $(cnc --version)"
cnc --help | grep -qxF "  $tmp/root/usr/share/cnc" || fail "cnc --help does not name the pictures' folder"
cnc --port sim mill all "$tmp/root/usr/share/cnc/ornament.bmp" 2> "$tmp/mill.log" ||
  { cat "$tmp/mill.log"; fail "mill all"; }
[ -f "$tmp/home/.config/cnc/cnc.ini" ] || fail "no cnc.ini under HOME"
after=$(cd "$tmp/root" && find . | LC_ALL=C sort)
[ "$before" = "$after" ] || fail "written beside the program:"$'\n'"$(diff <(echo "$before") <(echo "$after"))"
echo "package $(basename "$deb"): $(wc -l <<<"$files") files, lintian without error, runs unpacked"
