#!/usr/bin/env bash
# vexzip.exe under Wine where the Windows build can part from the POSIX one:
# UTF-8 names under a locale whose OEM and ANSI code pages differ, and a
# standard input that is NUL rather than a console.
#   vexzip-wine.sh VEXZIP.exe SHARED_TESTDATA_DIR WORKDIR
set -euo pipefail
vexzip=$(realpath "$1") testdata=$(realpath "$2") work=$(realpath -m "$3")
wine_run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$vexzip" vexzip.exe
run() {  # run EXPECTED_STATUS ARGS... < input; stderr without Wine's own lines
  local expected=$1 status=0
  shift
  "$wine_run" ./vexzip.exe "$@" >out.txt 2>raw-err.txt || status=$?
  tr -d '\r' <raw-err.txt | grep -v '^wine: ' >err.txt || true
  [[ $status == "$expected" ]] || fail "vexzip $* ended $status, not $expected: $(cat err.txt)"
}
content() { [[ "$(cat "$1" 2>/dev/null)" == "$2" ]] || fail "$1 does not hold \"$2\""; }

# A name marked UTF-8 is converted to the ANSI code page once, not a second
# time as if it were OEM text (English: OEM 437, ANSI 1252).
python3 -c "
import zipfile
with zipfile.ZipFile('names.zip', 'w') as z:
    for name, data in [('caf\u00e9.txt', b'cafe'), ('plain.txt', b'plain')]:
        z.writestr(zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6)), data)
"
VEXUPD_WINE_LANG=C.UTF-8 run 0 x names.zip -d english </dev/null
content "english/café.txt" cafe
content english/plain.txt plain
[[ $(ls english | wc -l) == 2 ]] || fail "english/ holds $(ls english)"

# NUL is no console: an entry no listed password fits is reported (25270)
# and the run goes on to the next one, as on POSIX.
cp "$testdata/encrypted/two-passwords.zip" .
run 1 x two-passwords.zip -p pw -d out </dev/null
[[ $(grep -c '\[E' err.txt) == 1 ]] || fail "not exactly one error: $(cat err.txt)"
grep -q '^vexzip: b.txt: .*\[E25270\]$' err.txt || fail "no 25270 for b.txt: $(cat err.txt)"
content out/a.txt first
content out/c.txt third
[[ ! -e out/b.txt ]] || fail "b.txt was written"
echo "vexzip under Wine: UTF-8 names and NUL input as on POSIX"
