#!/bin/bash
# scripts/wineprefix.sh against a stand-in wine whose "wineboot -i" leaves
# system32 empty until its Nth run: a whole prefix is made at once, an
# incomplete one again (saying so), and after the attempts the run fails.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/wineprefix.sh
source "$here/scripts/wineprefix.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/wine" <<'STUB'
#!/bin/bash
runs=$(( $(cat "$STUB_RUNS" 2>/dev/null || echo 0) + 1 ))
echo "$runs" > "$STUB_RUNS"
mkdir -p "$WINEPREFIX/drive_c/windows/system32" && touch "$WINEPREFIX/system.reg"
[ "$runs" -ge "$WHOLE_AT" ] && touch "$WINEPREFIX/drive_c/windows/system32/kernel32.dll"
exit 0
STUB
printf '#!/bin/bash\nexit 0\n' > "$work/wineserver"
chmod +x "$work/wine" "$work/wineserver"

failures=0
# whole at run | expected status | expected runs | expected "making it again" lines
check() {
  local wholeAt=$1 status=$2 runs=$3 again=$4
  export WINEPREFIX="$work/prefix-$wholeAt" STUB_RUNS="$work/runs-$wholeAt" WHOLE_AT=$wholeAt
  local out rc
  out=$(vormik_make_wine_prefix "$work/wine" "$work/wineserver" 3)
  rc=$?
  local seen
  seen=$(grep -c "making it again" <<< "$out")
  if [ "$rc" -ne "$status" ] || [ "$(cat "$STUB_RUNS")" -ne "$runs" ] || [ "$seen" -ne "$again" ]; then
    echo "FAIL whole at run $wholeAt: status $rc (want $status), runs $(cat "$STUB_RUNS") (want $runs)," \
         "said again $seen times (want $again)"
    echo "$out"
    failures=$((failures + 1))
  fi
  if [ "$status" -ne 0 ] && ! grep -q "still incomplete after 3 attempts" <<< "$out"; then
    echo "FAIL whole at run $wholeAt: the give-up is not said"
    failures=$((failures + 1))
  fi
}
check 1 0 1 0
check 2 0 2 1
check 3 0 3 2
check 9 1 3 2
# A whole prefix from an earlier run is used as it is.
export STUB_RUNS="$work/runs-again" WINEPREFIX="$work/prefix-1"
vormik_make_wine_prefix "$work/wine" "$work/wineserver" 3 >/dev/null || failures=$((failures + 1))
[ ! -e "$STUB_RUNS" ] || { echo "FAIL a whole prefix was made again"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "all prefix cases hold"
exit "$failures"
