#!/usr/bin/env bash
# Prints the settings file the program writes at its first start (Windows-1251, CR LF).
{
  printf '%s\r\n' "[Communication]" "PortName=COM1" "ReadThreadStop=0" "NotWaitCSFromMC=0" \
    "[Interface]" "MainFormWidth=700" "MainFormHeight=500" "EnableToMoveDesks=0" \
    "NumberOfVisibleDesk=16" "[NumDesk]"
  for n in $(seq 1 16); do printf 'Desk%d=Стол %d\r\n' "$n" "$n"; done
  printf '%s\r\n' "[Desk2DeskCommIF]"
  for k in 1 3 5 7 9 11 13 15; do printf 'dc%d_%d=oo\r\n' "$k" "$((k + 1))"; done
} | iconv -f UTF-8 -t CP1251
