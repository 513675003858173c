#!/usr/bin/env bash
# Kills tools/securearea at random moments of a protect or a release, releases again, and
# checks that nothing was lost: every file back byte for byte, no stored file or index left
# in the store, and the area can be set and released again. Prints how many runs held.
#
#   bench/secure/kill.sh [RUNS] [FILES]
#
# Half of the runs stop the tool from inside at a random step (it ends itself with
# TerminateProcess through --stop-at: before a random move, after every move, while the
# index is scrambled; before a random move back, before the index goes). The other half
# kill it from outside with SIGKILL after a random delay within the time the operation
# takes, so that the kill can land anywhere, inside a write or a move included.
set -uo pipefail
. "$(dirname "$0")/../../scripts/lib/common.sh"

RUNS="${1:-200}"
FILES="${2:-40}"

build_project >/dev/null || { say "the build failed"; exit 1; }
wine_environment
wine_prefix_prepare || exit 1
prefix_id="$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
own_server=0
if ! compgen -G "/tmp/*wine*/server-$prefix_id/socket" >/dev/null; then
    wineserver_start
    own_server=1
fi

TOOL="$SYNCORAVEL_BUILD/tools/securearea/securearea.exe"
RUN="$SYNCORAVEL_BUILD/wine-exec"
NAME="bench-secure-kill-$$"
WORK="$SYNCORAVEL_BUILD/wine/drives/d/$NAME"
WIN="D:\\$NAME"
ROOT="$WIN\\program\\_PWSD"
STORE="$WORK/program/_PWSD/VRSYS"
rm -rf "$WORK"
mkdir -p "$WORK/program"
cleanup() {
    rm -rf "$WORK" "$ERRORS" "$ERRORS.out"
    [ "$own_server" = 1 ] && wineserver_stop
}
trap cleanup EXIT

python3 - "$WORK/Data" "$FILES" <<'PY'
import os, random, sys
root, files = sys.argv[1], int(sys.argv[2])
random.seed(2)
folders = ["folder0", "フォルダ表1", "folder0/sub", "フォルダ表1/ソ"]
for f in folders:
    os.makedirs(os.path.join(root, f), exist_ok=True)
for i in range(files):
    with open(os.path.join(root, folders[i % len(folders)], f"ファイル{i}.dat"), "wb") as out:
        out.write(random.randbytes(random.randint(0, 2048)))
PY
checksums() { (cd "$WORK/Data" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
BEFORE="$(checksums)"
# The tool's errors and exit code of its last call, for the line of a run that failed.
ERRORS="$(mktemp)"
tool() {
    "$RUN" "$TOOL" "$@" 2>"$ERRORS" </dev/null
    LAST_CODE=$?
}
# Runs the tool and keeps what it printed in $out, its exit code and errors at hand.
ask() {
    tool "$@" >"$ERRORS.out"
    out="$(cat "$ERRORS.out")"
}
said() { echo "$1 (exit code $LAST_CODE; errors: $(head -c 400 "$ERRORS" | tr '\n' ' '))"; }
protect_args() { echo protect "$ROOT" pw "$1" "$WIN\\Data\\folder0" "$WIN\\Data\\フォルダ表1"; }

# Whether the area is as it was before the run: files, an empty store, and a working
# protect and release.
holds() {
    local hide="$1"
    ask release "$ROOT" pw
    case "$out" in "result 1 "* | "result 9 "*) ;; *) said "release said: $out"; return 1 ;; esac
    [ "$(checksums)" = "$BEFORE" ] || { echo "files differ"; return 1; }
    [ "$(ls -A "$STORE")" = "Desktop.ini" ] || { echo "store holds: $(ls -A "$STORE" | tr '\n' ' ')"; return 1; }
    ask $(protect_args "$hide")
    [ "$out" = "result 1 files $FILES" ] || { said "protect again said: $out"; return 1; }
    ask release "$ROOT" pw
    [ "$out" = "result 1 files $FILES" ] || { said "release again said: $out"; return 1; }
    [ "$(checksums)" = "$BEFORE" ] || { echo "files differ after setting again"; return 1; }
}

# How long a whole protect and release take, start of the process included.
start="$(date +%s%N)"; tool $(protect_args 0) >/dev/null; middle="$(date +%s%N)"
tool release "$ROOT" pw >/dev/null; end="$(date +%s%N)"
PROTECT_MS=$(((middle - start) / 1000000)); RELEASE_MS=$(((end - middle) / 1000000))
[ "$(checksums)" = "$BEFORE" ] || { say "the first protect and release did not round-trip"; exit 1; }
echo "secure kill runs: $RUNS runs, $FILES files; protect ${PROTECT_MS} ms, release ${RELEASE_MS} ms"

held=0
midway=0
for ((run = 1; run <= RUNS; run++)); do
    hide=$((RANDOM % 2))
    phase=$((RANDOM % 2))   # 0: protect, 1: release
    how=$((RANDOM % 2))     # 0: stop from inside, 1: kill from outside
    if [ "$phase" = 1 ]; then
        tool $(protect_args "$hide") >/dev/null
    fi
    if [ "$how" = 0 ]; then
        if [ "$phase" = 0 ]; then
            case $((RANDOM % 6)) in
                4) point=walked ;; 5) point=scramble ;; *) point="move:$((RANDOM % FILES))" ;;
            esac
            tool --stop-at "$point" $(protect_args "$hide") >/dev/null
        else
            case $((RANDOM % 6)) in
                5) point=cleanup ;; *) point="back:$((RANDOM % FILES))" ;;
            esac
            tool --stop-at "$point" release "$ROOT" pw >/dev/null
        fi
        moment="stop at $point"
    else
        limit=$([ "$phase" = 0 ] && echo "$PROTECT_MS" || echo "$RELEASE_MS")
        delay=$((RANDOM * 32768 + RANDOM))
        delay=$((delay % (limit + 1)))
        if [ "$phase" = 0 ]; then
            "$RUN" "$TOOL" $(protect_args "$hide") >/dev/null 2>&1 </dev/null &
        else
            "$RUN" "$TOOL" release "$ROOT" pw >/dev/null 2>&1 </dev/null &
        fi
        pid=$!
        sleep "$(echo "scale=3; $delay / 1000" | bc)"
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        moment="kill after ${delay} ms"
    fi
    phase_name=$([ "$phase" = 0 ] && echo protect || echo release)
    stored=$(ls "$STORE" | grep '^Vaultrowan[0-9]*\.exe$' | grep -vc '^Vaultrowan00000\.exe$')
    [ "$stored" -gt 0 ] && [ "$stored" -lt "$FILES" ] && midway=$((midway + 1))
    if why="$(holds "$hide")"; then
        held=$((held + 1))
    else
        echo "run $run ($phase_name, hide $hide, $moment) failed: $why"
        # Start the next run from the tree as it was.
        tool release "$ROOT" pw >/dev/null
    fi
done
echo "cut with some but not all files in the store: $midway of $RUNS"
echo "held: $held of $RUNS"
[ "$held" = "$RUNS" ]
