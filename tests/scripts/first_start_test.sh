#!/usr/bin/env bash
# The start of scripts/run on a Wine prefix made for this test alone and without a display,
# as a user's first start on a fresh clone: it must end well and leave a screenshot that
# shows the main window. Usage: first_start_test.sh SYNCORAVEL_EXE FOLDER
set -uo pipefail
exe="$1"
export SYNCORAVEL_BUILD="$2"
root="$(cd "$(dirname "$0")/../.." && pwd)"

rm -rf "$SYNCORAVEL_BUILD"
mkdir -p "$SYNCORAVEL_BUILD"
start=$(date +%s)
env -u DISPLAY "$root/scripts/lib/start-program" "$exe"
status=$?
echo "start-program ended with $status after $(($(date +%s) - start)) s"
[ "$status" = 0 ] || exit 1

shot="$SYNCORAVEL_BUILD/screenshot-main.png"
[ -s "$shot" ] || { echo "no screenshot at $shot"; exit 1; }
# The screen is black but for the window; the program folder's settings make it 640 by
# 520, so most of that area must be painted.
painted=$(convert "$shot" -fill white +opaque black -format '%[fx:int(mean*w*h+0.5)]' info:)
echo "painted pixels: $painted"
[ "$painted" -ge $((640 * 520 * 9 / 10)) ] || { echo "the screenshot shows no main window"; exit 1; }
