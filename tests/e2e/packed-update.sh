#!/usr/bin/env bash
# The sample update under Wine once more, with an installer that vexpack.exe
# (run under Wine itself) made from the plain vexupd.exe, instead of one built
# by the resource compiler: branded, and packed a second time.
#   packed-update.sh VEXPACK.exe VEXUPD.exe PACKAGE.zip WORKDIR
set -euo pipefail
vexpack=$(realpath "$1") stub=$(realpath "$2") package=$(realpath "$3") work=$(realpath -m "$4")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
cd "$work"
# Names relative to the working directory, which Wine maps to a drive.
cp "$stub" stub.exe
cp "$package" package.zip
fail() { echo "FAIL: $*" >&2; exit 1; }
# A branded installer, packed twice: the second pack replaces the package.
python3 -c 'import struct, sys; sys.stdout.buffer.write(struct.pack("<3H4B2H2I", 0, 1, 1, 16, 16, 0, 0, 1, 32, 40, 22) + bytes(40))' >app.ico
# The first package is a stand-in that the second replaces: not checked.
"$source_dir/scripts/wine-run" "$vexpack" --no-check --stub stub.exe --package stub.exe -o first.exe ||
  fail "vexpack.exe could not make the installer"
"$source_dir/scripts/wine-run" "$vexpack" --stub first.exe --package package.zip -o installer.exe --icon app.ico \
  --file-version 2.1.0.0 --product-version 2.1.0.0 --version-string ProductName=维克斯报表 ||
  fail "vexpack.exe could not pack the installer again"
/usr/bin/python3 "$source_dir/tests/e2e/windows-resources.py" installer.exe requireAdministrator 2.1.0.0 2.1.0.0 \
  vexupd.exe || fail "the installer's manifest or version information"
resources=$(/usr/bin/python3 "$source_dir/tests/e2e/pe-resources.py" installer.exe)
for fact in "checksum ok" "resource 10 APPEXE 0 $(stat -c %s package.zip)" "resource 3 1 0 40" \
            "string 040904B0 ProductName 维克斯报表"; do
  grep -qxF "$fact" <<<"$resources" || fail "no '$fact' in: $resources"
done
exec bash "$source_dir/tests/e2e/sample-update.sh" wine "$work/installer.exe" "$work/run"
