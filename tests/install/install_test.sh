#!/usr/bin/env bash
# Installs the build into a fresh prefix and plays a story from there: the installed player must
# find its system library (the story's "_init" runs and no box complains) and the other files
# must be in their places.
set -euo pipefail
build=$1
cmake=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" > "$prefix/install.log"

for f in bin/zarvoplay bin/zarvoplay_setup bin/zarvopack bin/zarvoplay-thumbnailer \
         lib/zarvoplay/zarvoplay.zvl lib/zarvoplay/jpeg.spi lib/zarvoplay/gif.spi \
         share/applications/zarvoplay.desktop; do
  if [ ! -f "$prefix/$f" ]; then echo "not installed: $f"; exit 1; fi
done
grep -q '^Exec=zarvoplay %f$' "$prefix/share/applications/zarvoplay.desktop"

story="$prefix/story/story.zp7"
mkdir -p "$prefix/story"
printf '%s\r\n' '/// Game Creative Tool - Zarvo Third -' '/// installed' '<Head="Zarvo">' \
  'FileType=QZ7' 'StartBook=main' 'StartPage=start' '<Head End>' '<Book="main">' \
  '<Page="start">' '@rem' '<Page End>' '<Book End>' > "$story"

# Started through a link from elsewhere, as from a PATH folder.
ln -s "$prefix/bin/zarvoplay" "$prefix/story/play"
status=0
"$prefix/story/play" --headless --trace "$prefix/trace.txt" "$story" 2> "$prefix/stderr.txt" || status=$?
if [ "$status" -ne 0 ]; then echo "exit status $status"; cat "$prefix/stderr.txt"; exit 1; fi
if grep -q ' box ' "$prefix/trace.txt"; then cat "$prefix/trace.txt"; exit 1; fi
grep -q ' _system/_init#0 ' "$prefix/trace.txt" || { echo "the system library did not run"; cat "$prefix/trace.txt"; exit 1; }
grep -q ' main/start#0 @rem' "$prefix/trace.txt"
echo "installed player found its library"
