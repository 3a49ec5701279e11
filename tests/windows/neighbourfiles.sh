#!/bin/sh
# Lays out, on the Linux side of the Wine prefix, files another user left in
# a folder everyone may write and in one only its owner may: the replace
# tests see them through Wine's own mapping of owners and modes. Another
# user's file needs root for chown; without it only the folders are made and
# the tests say why they skip.
set -eu
root=$1
rm -rf "$root"
mkdir -p "$root/shared" "$root/private"
chmod 0777 "$root/shared"
chmod 0755 "$root/private"
printf 'mine' > "$root/shared/own.cld"
for folder in shared private; do
  printf 'neighbour' > "$root/$folder/neighbour.cld"
  chmod 0666 "$root/$folder/neighbour.cld"
  chown 65534 "$root/$folder/neighbour.cld" 2>/dev/null || rm -f "$root/$folder/neighbour.cld"
done
