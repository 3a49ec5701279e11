#!/usr/bin/env bash
# Checks the Debian package the way an administrator and a teacher meet it:
# builds it, checks its contents, installs it with apt, runs the installed
# program (version, help, a teacher's first start as a normal user, a portable
# copy), validates the menu entry and the classroom file type, then purges it
# and checks that no file of it is left. Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
user=vormik-check
work=$(mktemp -d /tmp/vormik-package-check-XXXXXX)
chmod 755 "$work"
pids=()
installed_here=0

fail() {
  echo "package check FAILED: $*" >&2
  exit 1
}

cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if id "$user" >/dev/null 2>&1; then userdel -r "$user" >/dev/null 2>&1 || true; fi
  if [ "$installed_here" = 1 ] && dpkg -s vormik >/dev/null 2>&1; then
    apt-get purge -y -qq vormik >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

[ "$(id -u)" = 0 ] || fail "run as root (it installs and removes the package)"
bash scripts/install-deps.sh --tests >/dev/null
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@"; }

# --- The package: its files and its dependencies --------------------------------
build_started=$SECONDS
deb=$(bash scripts/package-deb.sh | tail -n 1)
build_seconds=$((SECONDS - build_started))
[ -f "$deb" ] || fail "no package built"
version=$(dpkg-deb -f "$deb" Version)
expected_files="./usr/bin/vormik
./usr/bin/vormik-emulator
./usr/share/applications/vormik.desktop
./usr/share/doc/vormik/README.md
./usr/share/mime/packages/vormik.xml"
for size in 16 22 24 32 48 64 128 256; do
  expected_files+=$'\n'"./usr/share/icons/hicolor/${size}x${size}/apps/vormik.png"
done
actual_files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
diff <(echo "$expected_files" | sort) <(echo "$actual_files") >&2 \
  || fail "package contents differ from the expected files (< expected, > packed)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  [[ "$depends" == *"$lib "* || "$depends" == *"$lib," || "$depends" == *"$lib" ]] \
    || fail "Depends lacks $lib: $depends"
done
[[ "$(dpkg-deb -f "$deb" Recommends)" == *qt6-translations-l10n* ]] \
  || fail "Recommends lacks qt6-translations-l10n"

# An awkward prefix: the entry's Exec is quoted by the Desktop Entry rules.
DESTDIR="$work/stage" cmake --install build-deb --prefix '/opt/My Lab/100% $x' >/dev/null
odd_entry="$work/stage/opt/My Lab/100% \$x/share/applications/vormik.desktop"
validation=$(desktop-file-validate "$odd_entry" 2>&1) && [ -z "$validation" ] \
  || fail "desktop-file-validate $odd_entry: $validation"
grep -qxF 'Exec="/opt/My Lab/100%% \\$x/bin/vormik" %f' "$odd_entry" \
  || fail "Exec under an awkward prefix: $(grep ^Exec= "$odd_entry")"

# --- Installation --------------------------------------------------------------
if dpkg -s vormik >/dev/null 2>&1; then apt_get purge -y -qq vormik >/dev/null; fi
# What the system folders hold before: after the purge nothing may have been added.
snapshot() { find /usr /etc /opt -xdev 2>/dev/null | sort; }
snapshot >"$work/before"
installed_here=1
apt_get install -y -qq "./$deb" >/dev/null
dpkg -L vormik >"$work/owned"

[ "$(/usr/bin/vormik --version)" = "vormik $version" ] || fail "vormik --version: $(/usr/bin/vormik --version)"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/vormik --help | grep -q -- '--version' \
  || fail "vormik --help without a display"
rc=0
/usr/bin/vormik --no-such-option 2>"$work/stderr" || rc=$?
[ "$rc" = 2 ] && grep -q 'неизвестный параметр «--no-such-option»' "$work/stderr" \
  || fail "an unknown option gave exit code $rc: $(cat "$work/stderr")"

entry=/usr/share/applications/vormik.desktop
validation=$(desktop-file-validate "$entry" 2>&1) && [ -z "$validation" ] \
  || fail "desktop-file-validate $entry: $validation"
grep -qx 'Exec="/usr/bin/vormik" %f' "$entry" || fail "Exec of $entry: $(grep ^Exec= "$entry")"
# dpkg's trigger has run update-mime-database over the new package.
[ -f /usr/share/mime/application/x-vormik-classroom.xml ] \
  || fail "the MIME database does not know application/x-vormik-classroom"

# --- A teacher: a normal user's first start, the portable layout ----------------
if id "$user" >/dev/null 2>&1; then userdel -r "$user" >/dev/null 2>&1 || true; fi
useradd -m -s /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() { runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }

printf '[Desk1]\r\nName=x\r\n' >"$home/x.cld"
chown "$user" "$home/x.cld"
type=$(as_user sh -c 'cd "$HOME" && xdg-mime query filetype x.cld')
[ "$type" = application/x-vormik-classroom ] || fail "xdg-mime query filetype x.cld: $type"

bash scripts/default-settings.sh >"$work/default.ini"
# Starts the console as the user on Qt's offscreen platform, waits until it has
# written FILE (its first start), gives it two seconds more, then ends it.
start_until_written() {
  local file=$1 pidfile=$home/.vormik-check.pid
  shift
  rm -f "$pidfile"
  as_user QT_QPA_PLATFORM=offscreen "$@" sh -c 'echo $$ >"$0"; exec "$1"' "$pidfile" "$program" \
    >"$work/run.log" 2>&1 &
  pids+=($!)
  local waited=0
  while [ ! -f "$file" ] && [ "$waited" -lt 200 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  sleep 2
  [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  wait "${pids[-1]}" 2>/dev/null || true
  [ -f "$file" ] || fail "$program did not write $file: $(cat "$work/run.log")"
  cmp -s "$file" "$work/default.ini" || fail "$file is not the 35-line first-run file"
}
registration="$home/.local/share/applications/vormik.desktop"

program=/usr/bin/vormik
start_until_written "$home/.config/vormik/vormik.ini"
[ ! -e /usr/bin/vormik.ini ] || fail "the installed program wrote /usr/bin/vormik.ini"
[ ! -e "$registration" ] || fail "the installed program wrote its own $registration"

# A copy in a folder of the user's own keeps its settings beside it; the
# installed registration still stands, so it registers nothing either...
as_user mkdir "$home/portable"
cp /usr/bin/vormik "$home/portable/vormik"
chown "$user" "$home/portable/vormik"
program=$home/portable/vormik
start_until_written "$home/portable/vormik.ini"
[ ! -e "$registration" ] || fail "a portable copy registered itself over the installed entry"
# ...unless the system's data folders do not hold it.
rm "$home/portable/vormik.ini"
start_until_written "$home/portable/vormik.ini" XDG_DATA_DIRS=/nonexistent
[ -f "$registration" ] || fail "a portable copy without an installed entry did not register itself"

# Both layouts on real folders, in GoogleTest, as the normal user.
test_build=${VORMIK_TEST_BUILD:-build}
unit=$test_build/bin/settings_location_posix_test
if [ ! -x "$unit" ]; then
  cmake -S . -B "$test_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$test_build" -j"$(nproc)" --target settings_location_posix_test >/dev/null
fi
cp "$unit" "$work/"
as_user "$work/$(basename "$unit")" >"$work/unit.log" 2>&1 || { cat "$work/unit.log" >&2; fail "$unit as $user"; }
! grep -q SKIPPED "$work/unit.log" || fail "$unit skipped as $user"
# The console's private folder for its hand-over socket (no XDG_RUNTIME_DIR here).
rm -rf "/tmp/vormik-$(id -u "$user")"
userdel -r "$user" >/dev/null 2>&1 || true

# --- Removal -------------------------------------------------------------------
apt_get purge -y -qq vormik >/dev/null
installed_here=0
! dpkg -s vormik >/dev/null 2>&1 || fail "vormik still installed after the purge"
while read -r path; do
  [ -d "$path" ] || [ ! -e "$path" ] || fail "$path left behind"
done <"$work/owned"
[ ! -e /usr/share/mime/application/x-vormik-classroom.xml ] || fail "MIME type left in the database"
# Caches that triggers of other packages may create on first use are theirs,
# and the account files' backups are useradd's.
snapshot | comm -13 "$work/before" - \
  | grep -vE '/(mimeinfo|icon-theme)\.cache$|^/etc/(passwd|group|shadow|gshadow|subuid|subgid)-$' \
  >"$work/added" || true
[ ! -s "$work/added" ] || fail "left in system folders: $(cat "$work/added")"

echo "package check passed: $deb ($(stat -c %s "$deb") bytes, Depends: $depends)"
echo "package check took $((SECONDS - started)) s (package build $build_seconds s)"
