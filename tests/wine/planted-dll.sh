#!/usr/bin/env bash
# A DLL planted beside the installer, and forced native, is not loaded: the
# installer restricts the DLL search to the system directory before anything
# loads one (uxtheme.dll is loaded by name when the first message box themes).
# Then a program without that defence shows the planted DLL would be found.
#   planted-dll.sh INSTALLER.exe PLANTED.dll PROBE.exe WORKDIR
set -euo pipefail
installer=$(realpath "$1") planted=$(realpath "$2") probe=$(realpath "$3") work=$(realpath -m "$4")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/downloads"
cd "$work/downloads"
cp "$installer" installer.exe
cp "$probe" probe.exe
cp "$planted" uxtheme.dll
export WINEDLLOVERRIDES="uxtheme=n,b;mscoree,mshtml=;winemenubuilder.exe=d"

bash "$source_dir/tests/e2e/sample-update.sh" wine "$work/downloads/installer.exe" "$work/run" ||
  fail "the update failed with a DLL planted beside the installer"
[[ ! -e uxtheme.dll.loaded ]] || fail "the installer loaded the DLL planted beside it"

# The same plant in the same prefix catches a program without the defence.
WINEPREFIX=$work/run/prefix "$source_dir/scripts/wine-run" probe.exe uxtheme.dll >/dev/null 2>&1 ||
  fail "the probe could not load uxtheme.dll"
[[ -f uxtheme.dll.loaded ]] || fail "a program without the defence does not load the planted DLL either: the test proves nothing"
echo "planted DLL not loaded: OK"
