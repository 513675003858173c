#!/usr/bin/env bash
# Protects and releases a tree of FILES files (default 10,000) with tools/securearea and
# prints how long each operation took. Not a test: run it by hand on an idle machine.
#
#   bench/secure/run.sh [FILES] [FOLDERS]
#
# Builds what is missing, then works in a folder of its own on the test drive D: of the
# build tree. Each run is checked: after the release every file must be back byte for byte.
set -uo pipefail
. "$(dirname "$0")/../../scripts/lib/common.sh"

FILES="${1:-10000}"
FOLDERS="${2:-100}"

build_project >/dev/null || { say "the build failed"; exit 1; }
wine_environment
wine_prefix_prepare || exit 1
# A server already running for this prefix (tests, another benchmark) is left running;
# its socket sits in a folder named after the prefix's device and inode.
prefix_id="$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
if ! compgen -G "/tmp/*wine*/server-$prefix_id/socket" >/dev/null; then
    wineserver_start
    trap wineserver_stop EXIT
fi

TOOL="$SYNCORAVEL_BUILD/tools/securearea/securearea.exe"
RUN="$SYNCORAVEL_BUILD/wine-exec"
NAME="bench-secure-$$"
WORK="$SYNCORAVEL_BUILD/wine/drives/d/$NAME"
WIN="D:\\$NAME"
rm -rf "$WORK"
mkdir -p "$WORK/program"

# The tree: FOLDERS folders, half of them with Japanese names, files of 1 to 4 KiB.
say "creating $FILES files in $FOLDERS folders"
python3 - "$WORK/Data" "$FILES" "$FOLDERS" <<'PY'
import os, random, sys
root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(1)
for f in range(folders):
    name = f"フォルダ表{f}" if f % 2 else f"folder{f}"
    os.makedirs(os.path.join(root, name, "sub"), exist_ok=True)
for i in range(files):
    f = i % folders
    name = f"フォルダ表{f}" if f % 2 else f"folder{f}"
    sub = "sub" if i % 5 == 0 else ""
    with open(os.path.join(root, name, sub, f"ファイル{i}.dat"), "wb") as out:
        out.write(random.randbytes(random.randint(1024, 4096)))
PY
checksums() { (cd "$WORK/Data" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
BEFORE="$(checksums)"

seconds() { date +%s.%N; }
run_timed() { # label, arguments...
    local label="$1" start end out
    shift
    start="$(seconds)"
    out="$("$RUN" "$TOOL" "$@" 2>&1 </dev/null)"
    end="$(seconds)"
    printf '%-28s %-24s %8.2f s\n' "$label" "$out" "$(echo "$end - $start" | bc)"
}

echo "securearea benchmark: $FILES files in $FOLDERS folders ($(nproc) cores, $("$WINE64" --version 2>/dev/null))"
run_timed "protect (hide folders)" protect "$WIN\\program\\_PWSD" "pass word" 1 "$WIN\\Data"
run_timed "release" release "$WIN\\program\\_PWSD" "pass word"
[ "$(checksums)" = "$BEFORE" ] && echo "check: every file back" || echo "check: FILES DIFFER"
run_timed "protect (notes)" protect "$WIN\\program\\_PWSD" "pass word" 0 "$WIN\\Data"
run_timed "release" release "$WIN\\program\\_PWSD" "pass word"
[ "$(checksums)" = "$BEFORE" ] && echo "check: every file back" || echo "check: FILES DIFFER"
run_timed "tool start (probe)" probe "$WIN\\program\\_PWSD"

rm -rf "$WORK"
