#!/usr/bin/env bash
# Adds a deb-src entry for each Debian 12 (bookworm) entry of this machine's apt sources, with
# the same address, suites and components, so that `apt-get source` fetches a source package
# from where apt already fetches the binaries. Other entries are left alone. Runs apt-get
# update when the entry is new or changed. As root.
set -euo pipefail
target=/etc/apt/sources.list.d/binwright-deb-src.sources
entries=$(mktemp)
trap 'rm -f "$entries"' EXIT

# deb822 files: every stanza of type deb that names a bookworm suite, typed deb-src.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && [ "$f" != "$target" ] || continue
  awk 'function flush() { if (stanza != "" && deb && bookworm) printf "%s\n", stanza; stanza = ""; deb = bookworm = 0 }
       /^[[:space:]]*$/ { flush(); next }
       /^#/ { next }
       /^Types:/ { if ($0 ~ /[[:space:]]deb([[:space:]]|$)/) deb = 1; stanza = stanza "Types: deb-src\n"; next }
       /^Suites:/ { if ($0 ~ /bookworm/) bookworm = 1 }
       { stanza = stanza $0 "\n" }
       END { flush() }' "$f" >>"$entries"
done
# One-line files: "deb [options] URI SUITE COMPONENTS" becomes a stanza of its own.
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  awk '$1 == "deb" {
         i = 2; options = ""
         if ($2 ~ /^\[/) { while ($i !~ /\]$/) { options = options " " $i; i++ } options = options " " $i; i++ }
         if ($(i + 1) !~ /bookworm/) next
         printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i + 1)
         for (j = i + 2; j <= NF; j++) printf " %s", $j
         printf "\n"
         if (options ~ /signed-by=/) { sub(/.*signed-by=/, "", options); sub(/[] ].*/, "", options); printf "Signed-By: %s\n", options }
         printf "\n" }' "$f" >>"$entries"
done

if [ ! -s "$entries" ]; then
  echo "deb-src: no Debian 12 entry in the apt sources to derive a source entry from" >&2
  exit 1
fi
if ! cmp -s "$entries" "$target" 2>/dev/null; then
  install -m 644 "$entries" "$target"
  echo "deb-src: $target written; updating the package lists"
  apt-get update -qq
fi
