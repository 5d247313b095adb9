#!/usr/bin/env bash
# End to end: the sample installer updates the sample installation and leaves
# exactly the expected tree, registry, shortcut and temporary directory.
#   sample-update.sh posix INSTALLER WORKDIR    in a sandbox over the POSIX stand-in
#   sample-update.sh wine  INSTALLER.exe WORKDIR in a fresh Wine prefix
set -euo pipefail
mode=$1 installer=$(realpath "$2") work=$(realpath -m "$3")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
make_sample=$source_dir/scripts/make-sample
title=维克斯报表系统

fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
"$make_sample" installation "$work/sandbox"
"$make_sample" expected "$work/expected"
cp "$work/sandbox/C/VexApp/CONFIG.TSK" "$work/expected/CONFIG.TSK"   # only read, never written

compare_tree() {
  diff -r "$work/expected" "$1" || fail "install root differs from the expected tree"
}

check_shortcut() {
  local lnk=$1
  [[ -f "$lnk" ]] || fail "no shortcut at $lnk"
  if command -v lnkinfo >/dev/null; then
    local info
    info=$(lnkinfo "$lnk") || fail "lnkinfo cannot read $lnk"
    grep -q 'VexApp.exe' <<<"$info" || fail "shortcut target missing: $info"
  fi
}

case "$mode" in
posix)
  drive=$work/sandbox/C
  set +e
  VEXUPD_DRIVE_C=$drive VEXUPD_REGISTRY=$work/sandbox/registry.reg TEMP='C:\Temp' \
    VEXUPD_MSGLOG=$work/messages.log "$installer" 2>"$work/stderr.txt"
  status=$?
  set -e
  [[ $status -eq 0 ]] || fail "exit code $status: $(cat "$work/stderr.txt")"
  expected_box=$(printf '%s\t0x00000040\t《%s》升级完成！' "$title" "$title")
  [[ "$(cat "$work/messages.log")" == "$expected_box" ]] ||
    fail "message boxes: $(cat "$work/messages.log")"
  compare_tree "$drive/VexApp"
  check_shortcut "$drive/Users/demo/Start Menu/Programs/维克斯软件/维克斯报表 2.lnk"
  [[ -z "$(ls -A "$drive/Temp")" ]] || fail "left in the temporary directory: $(ls -A "$drive/Temp")"
  grep -qF "\"AppTitle\"=\"$title\"" "$work/sandbox/registry.reg" || fail "AppTitle not written"
  ;;
wine)
  export WINEPREFIX=$work/prefix
  wine_run() { "$source_dir/scripts/wine-run" --like "$installer" "$@"; }
  "$source_dir/scripts/wine-run" --prepare "$installer" || fail "could not create the Wine prefix"
  drive=$WINEPREFIX/drive_c
  cp -r "$work/sandbox/C/VexApp" "$drive/VexApp"
  wine_run reg add 'HKLM\SOFTWARE\VexSoft\VexApp' /v RootDir /d 'C:\VexApp\' /f >/dev/null 2>&1 ||
    fail "wine reg add failed"
  temp_before=$(ls -A "$drive/users/"*/Temp 2>/dev/null | sort || true)
  set +e
  "$source_dir/scripts/wine-run" "$installer" >"$work/stdout.txt" 2>&1
  status=$?
  set -e
  [[ $status -eq 0 ]] || fail "exit code $status: $(cat "$work/stdout.txt")"
  compare_tree "$drive/VexApp"
  lnk=$(find "$drive/users" -path '*/Programs/维克斯软件/维克斯报表 2.lnk' | head -n1)
  check_shortcut "${lnk:-$drive/users/(Programs)/维克斯软件/维克斯报表 2.lnk}"
  temp_after=$(ls -A "$drive/users/"*/Temp 2>/dev/null | sort || true)
  [[ "$temp_before" == "$temp_after" ]] || fail "temporary directory changed: $temp_after"
  wine_run reg query 'HKLM\SOFTWARE\VexSoft\VexApp' /v AppTitle 2>/dev/null | grep -q AppTitle ||
    fail "AppTitle not written"
  ;;
*) fail "unknown mode $mode" ;;
esac
echo "sample update ($mode): OK"
