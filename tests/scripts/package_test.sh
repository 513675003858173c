#!/usr/bin/env bash
# The package a Windows user takes: its files, its texts as Notepad on Japanese Windows
# reads them, its guide as a browser opens it, and its program starting under Wine (in the
# prefix that the first-start test made, without a display). It holds no definition file, so
# that unpacking an update over an old folder keeps the user's; the first start makes one.
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
    "$folder/Syncoravel.exe" "$folder/guide-ja.html" | sort)"
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
windows_text_check SyncDef-example.txt "$unpacked/SyncDef-example.txt"
tr -d '\r' <"$work/SyncDef-example.txt.utf8" | cmp -s - "$root/docs/SyncDef-example.txt" ||
    fail "SyncDef-example.txt differs from docs/SyncDef-example.txt"

# The guide opens in a browser on its own: one page that says its character set, every
# picture of the Markdown guide inside it byte for byte, nothing fetched from elsewhere,
# every heading there, and no Markdown left over.
/usr/bin/python3 - "$unpacked/guide-ja.html" "$root/docs/guide-ja.md" <<'PYTHON' ||
import base64, html.parser, pathlib, re, sys

page_path, source_path = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
raw = page_path.read_bytes()
source = source_path.read_text(encoding="utf-8")
problems = []

class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.charset = None
        self.pictures = []
        self.outside = []
        self.headings = []
        self.text = []
        self.heading = None
        self.code = 0

    def handle_starttag(self, tag, attributes):
        attributes = dict(attributes)
        if tag == "meta" and attributes.get("charset"):
            self.charset = attributes["charset"].lower()
        if tag == "img":
            self.pictures.append(attributes.get("src", ""))
        for name in ("src", "href"):
            value = attributes.get(name, "")
            if value and not value.startswith("data:"):
                self.outside.append(value)
        if tag in ("h1", "h2", "h3"):
            self.heading = ""
        if tag in ("pre", "code"):
            self.code += 1

    def handle_endtag(self, tag):
        if tag in ("h1", "h2", "h3") and self.heading is not None:
            self.headings.append(self.heading.strip())
            self.heading = None
        if tag in ("pre", "code"):
            self.code -= 1

    def handle_data(self, data):
        if self.heading is not None:
            self.heading += data
        if not self.code:
            self.text.append(data)

try:
    text = raw.decode("utf-8")
except UnicodeDecodeError as error:
    sys.exit(f"guide-ja.html is not UTF-8: {error}")
page = Page()
page.feed(text)
if not text.lstrip().lower().startswith("<!doctype html>"):
    problems.append("no <!DOCTYPE html> at its start")
if page.charset != "utf-8":
    problems.append(f"its meta charset is {page.charset!r}, not utf-8")

embedded = []
for src in page.pictures:
    match = re.match(r"data:image/png;base64,(.*)$", src, re.S)
    if not match:
        problems.append(f"a picture not inside the page: {src[:60]!r}")
        continue
    embedded.append(base64.b64decode(match.group(1), validate=True))
named = re.findall(r"!\[[^\]]*\]\(([^)]+)\)", source)
if len(named) != len(embedded):
    problems.append(f"{len(embedded)} pictures in the page, {len(named)} in the guide")
for name, data in zip(named, embedded):
    if data != (source_path.parent / name).read_bytes():
        problems.append(f"the picture {name} is not docs/{name}")
if page.outside:
    problems.append(f"it fetches from elsewhere: {page.outside[:3]}")

wanted = [re.sub(r"\*\*", "", line.lstrip("#").strip())
          for line in source.splitlines() if re.match(r"#{1,3} ", line)]
if page.headings != wanted:
    problems.append(f"headings {page.headings[:4]}... differ from the guide's {wanted[:4]}...")
prose = "".join(page.text)
for leftover in ("**", "```", "](", "|---"):
    if leftover in prose:
        problems.append(f"Markdown left in its text: {leftover!r}")
if len(re.findall(r"<table>", text)) != len(re.findall(r"(?m)^\|---", source)):
    problems.append("not every table of the guide became a table")

for problem in problems:
    print(f"guide-ja.html: {problem}")
sys.exit(1 if problems else 0)
PYTHON
    fail "guide-ja.html is not the guide with its pictures"

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
    grep -q 'guide-ja.html' "$work/SyncDef.txt.utf8" || fail "SyncDef.txt does not name the guide"
else
    fail "the first start made no SyncDef.txt"
fi

[ "$failures" = 0 ]
