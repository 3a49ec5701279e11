# Sourced by scripts/windows-tests.sh: makes the private Wine prefix and
# checks it. A fresh prefix's "wineboot -i" has been seen to leave
# drive_c/windows/system32 empty, and every test program then died with
# "could not load kernel32.dll": an incomplete prefix is made again, a
# bounded number of times, and the output says so.

# Whether the prefix at $WINEPREFIX is whole.
vormik_wine_prefix_whole() {
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]
}

# vormik_make_wine_prefix WINE WINESERVER [ATTEMPTS]: 0 once the prefix is whole.
vormik_make_wine_prefix() {
  local wine=$1 wineserver=$2 attempts=${3:-3} attempt=0
  while ! vormik_wine_prefix_whole; do
    if [ "$attempt" -ge "$attempts" ]; then
      echo "the Wine prefix $WINEPREFIX is still incomplete after $attempts attempts" \
           "(no drive_c/windows/system32/kernel32.dll)"
      return 1
    fi
    if [ -e "$WINEPREFIX" ]; then
      echo "the Wine prefix $WINEPREFIX is incomplete (no drive_c/windows/system32/kernel32.dll):" \
           "making it again (attempt $((attempt + 1)) of $attempts)"
      "$wineserver" -k >/dev/null 2>&1 || true
      rm -rf "$WINEPREFIX"
    fi
    "$wine" wineboot -i >/dev/null 2>&1
    # wineboot may return before the server has written everything out.
    "$wineserver" -w >/dev/null 2>&1 || true
    attempt=$((attempt + 1))
  done
}
