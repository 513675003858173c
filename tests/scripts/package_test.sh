#!/usr/bin/env bash
# The package a Windows user takes: its files, its texts as Notepad on Japanese Windows
# reads them, and its program starting under Wine (in the prefix that the first-start test
# made, without a display). It holds no definition file, so that unpacking an update over an
# old folder keeps the user's; the first start makes one.
# Usage: package_test.sh SYNCORAVEL_EXE VERSION_FILE PREFIX_BUILD WORK
set -uo pipefail
exe="$1" version="$(cat "$2")"
export SYNCORAVEL_BUILD="$3"
work="$4"
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$root/scripts/lib/common.sh"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
zip="$work/Syncoravel-$version.zip"
"$root/scripts/lib/make-package" "$exe" "$version" "$zip" || { echo "make-package failed"; exit 1; }

folder="Syncoravel-$version"
listed="$(unzip -Z1 "$zip" | sort)"
expected="$(printf '%s\n' "$folder/" "$folder/SyncDef-example.txt" \
    "$folder/Syncoravel.exe" "$folder/guide-ja.txt" | sort)"
[ "$listed" = "$expected" ] || fail "the archive holds"$'\n'"$listed"$'\n'"instead of"$'\n'"$expected"

unzip -q "$zip" -d "$work/unpacked" || exit 1
unpacked="$work/unpacked/$folder"
cmp -s "$exe" "$unpacked/Syncoravel.exe" || fail "Syncoravel.exe is not the built program"

# Every line ends in CR LF, and the text is the source's, in Shift-JIS.
windows_text_check() {
    local text="$1" file="$2" lines crlf
    lines=$(wc -l <"$file")
    crlf=$(grep -c $'\r$' "$file")
    [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "$text: $crlf of $lines lines end in CR LF"
    iconv -f CP932 -t UTF-8 "$file" >"$work/$text.utf8" || fail "$text is not Shift-JIS"
}
for text in SyncDef-example.txt guide-ja.txt; do
    windows_text_check "$text" "$unpacked/$text"
done
tr -d '\r' <"$work/SyncDef-example.txt.utf8" | cmp -s - "$root/docs/SyncDef-example.txt" ||
    fail "SyncDef-example.txt differs from docs/SyncDef-example.txt"
guide="$work/guide-ja.txt.utf8"
grep -q '^# Syncoravel' "$guide" || fail "guide-ja.txt does not begin as the guide does"
grep -q 'マスター' "$guide" || fail "guide-ja.txt lacks the guide's body"
! grep -q '!\[' "$guide" || fail "guide-ja.txt still holds picture links"
[ "$(grep -c '' "$guide")" -ge "$(($(grep -c '' "$root/docs/guide-ja.md") / 2))" ] ||
    fail "guide-ja.txt is much shorter than the guide"

# The program of the package starts from its own folder, with no message box before its
# main window.
wine_environment
wine_prefix_prepare || exit 1
shot="$work/screenshot.png"
if screenshot_main_window "$unpacked/Syncoravel.exe" "$shot"; then
    painted=$(convert "$shot" -fill white +opaque black -format '%[fx:int(mean*w*h+0.5)]' info:)
    echo "painted pixels: $painted"
    [ "$painted" -ge $((400 * 300)) ] || fail "the screenshot shows no main window"
else
    fail "the program of the package did not show its main window"
fi

# The first start made the definition file: a Windows text that defines nothing ("Sync."
# opens a definition wherever it stands, in any case) and says where to look.
if [ -f "$unpacked/SyncDef.txt" ]; then
    windows_text_check SyncDef.txt "$unpacked/SyncDef.txt"
    ! grep -qi 'sync\.' "$work/SyncDef.txt.utf8" || fail "SyncDef.txt holds a definition"
    grep -q 'SyncDef-example.txt' "$work/SyncDef.txt.utf8" ||
        fail "SyncDef.txt does not name the example"
else
    fail "the first start made no SyncDef.txt"
fi

[ "$failures" = 0 ]
