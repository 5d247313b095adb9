#!/usr/bin/env bash
# The sample update under Wine once more, with an installer that vexpack.exe
# (run under Wine itself) made from the plain vexupd.exe, instead of one built
# by the resource compiler.
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
"$source_dir/scripts/wine-run" "$vexpack" --stub stub.exe --package package.zip -o installer.exe ||
  { echo "FAIL: vexpack.exe could not make the installer" >&2; exit 1; }
exec bash "$source_dir/tests/e2e/sample-update.sh" wine "$work/installer.exe" "$work/run"
