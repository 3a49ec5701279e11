#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and fuzzes each one.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [--merge] [TARGET...]
# Seeds come from fuzz/corpus/<name>; new inputs go to build-fuzz/corpus/<name>
# (with --merge, the ones that add coverage are merged back into the tree).
# Exits non-zero when a target finds a crash, a leak or a failed check; the
# input is left in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
merge=0
targets=()
for arg in "$@"; do
  case "$arg" in
    --merge) merge=1 ;;
    [0-9]*) seconds="$arg" ;;
    *) targets+=("$arg") ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(ini cp1251 frameparser link handover classlist)

CLANGXX=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$CLANGXX" ]; then
  echo "fuzz.sh: clang++ is missing (apt-get install clang)" >&2
  exit 1
fi

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$CLANGXX" \
  -DVORMIK_BUILD_FUZZ=ON -DVORMIK_BUILD_UI=OFF -DVORMIK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target $(printf 'fuzz_%s ' "${targets[@]}")

mkdir -p "$build/artifacts"
status=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  mkdir -p "$work"
  log="$build/fuzz_$t.log"
  echo "== fuzz_$t for ${seconds}s"
  if ! "$build/bin/fuzz_$t" "$work" "fuzz/corpus/$t" -max_total_time="$seconds" \
      -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/${t}-" >"$log" 2>&1; then
    echo "fuzz_$t FAILED: see $log and $build/artifacts/" >&2
    tail -n 30 "$log" >&2
    status=1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ *DONE)' "$log" | tr '\n' ' '
  echo
  if [ "$merge" = 1 ]; then
    "$build/bin/fuzz_$t" -merge=1 "fuzz/corpus/$t" "$work" >>"$log" 2>&1 || status=1
  fi
done
exit $status
