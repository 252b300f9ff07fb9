#!/usr/bin/env bash
# The demo played with run-demo's events by the native player and by the web build's player
# under node: the exit status, the trace, the variables, the screenshots and every file the run
# leaves (save files, settings, read messages) must be the same, byte for byte.
#   compare_demo.sh NATIVE_BUILD WEB_BUILD      exit 0 same, 1 different, 77 a build is missing
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(realpath "$1")
web=$(realpath -m "$2")
if [ ! -x "$native/zarvoplay" ] || [ ! -f "$native/demo/demo.zp7" ] || [ ! -f "$web/zarvoplay.js" ]; then
  echo "compare_demo: needs $native/zarvoplay with its demo and $web/zarvoplay.js"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Both play in the same folder, one after the other, so paths in messages are the same too.
play() {
  local name=$1
  shift
  local run=$work/run
  rm -rf "$run"
  mkdir -p "$run/story" "$run/home" "$run/out"
  cp "$native/demo/demo.zp7" "$native/demo/"*.png "$native/demo/"*.wav "$run/story/"
  "$root/scripts/demo-events" "$run/events.txt" out
  local start end status=0
  start=$(date +%s%N)
  (cd "$run" && env -i PATH="$PATH" HOME="$run/home" LANG=C.UTF-8 "$@" --headless \
    --events events.txt --max-time 300000 --shot out/end.png --trace out/trace.txt \
    --dump out/dump.txt story/demo.zp7 > out/stdout.txt 2> out/stderr.txt) || status=$?
  end=$(date +%s%N)
  echo "$status" > "$run/out/status"
  echo "compare_demo: $name: exit status $status in $(((end - start) / 1000000)) ms"
  mv "$run" "$work/$name"
}

play native "$native/zarvoplay"
play web node --no-experimental-fetch "$web/zarvoplay.js"

for f in out/trace.txt out/dump.txt out/end.png out/demo-message.png out/demo-menu.png; do
  if [ ! -s "$work/native/$f" ]; then
    echo "compare_demo: the native run wrote no $f"
    exit 1
  fi
done
if ! diff -r "$work/native" "$work/web"; then
  echo "compare_demo: the runs differ"
  exit 1
fi
echo "compare_demo: $(cd "$work/native" && find . -type f | wc -l) files the same:"
(cd "$work/native" && find . -type f | sort | sed 's/^/  /')
