#!/usr/bin/env bash
# Writes a Windows icon file (.ico) that holds the given PNG pictures as they are (Windows
# reads PNG entries in an icon since Vista).
# Usage: make-icon.sh OUT.ico PICTURE.png...
set -euo pipefail
out=$1
shift
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }
{
  printf '\x00\x00\x01\x00'
  le16 $#
  offset=$((6 + 16 * $#))
  for png in "$@"; do
    # Width and height from the PNG header (bytes 16-23, big-endian); 256 is written as 0.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')
    size=$(stat -c %s "$png")
    printf "\\x$(printf %02x $((w % 256)))\\x$(printf %02x $((h % 256)))\\x00\\x00"
    le16 1
    le16 32
    le32 "$size"
    le32 "$offset"
    offset=$((offset + size))
  done
  cat "$@"
} >"$out"
