#!/usr/bin/env bash
# Kills the mirror tool (tools/mirrorpass) under Wine at random moments of a run and checks
# what each kill left: every target file whole (its old bytes or the master's), temporary
# copies only under their own names, the master unchanged, entries the master lacks either
# still there or in the recycle bin, every replaced file's old version kept whole in the
# target's holding folder; then that a following run completes the mirror.
#
#   bench/mirror_kill.sh [COUNT]        (default: 200)
#
# Needs a build (bash scripts/test, or cmake --build build). Run it alone: it restarts the
# Wine server of the build's prefix, as bench/mirror/run does. The trees live on the test
# drives D: and E:, the deleted entries in a recycle bin of its own; both are removed at the
# end, except the trees of a kill that did not hold, which are kept for a look.
set -uo pipefail
. "$(dirname "$0")/../scripts/lib/common.sh"

COUNT="${1:-200}"
TOOL="$SYNCORAVEL_BUILD/tools/mirrorpass/mirrorpass.exe"
[ -f "$TOOL" ] || { say "build first: $TOOL is missing"; exit 1; }

wine_environment
# A bin of its own, emptied before each kill, so that it holds only what that run deleted
# and the tests' bin is left alone.
export XDG_DATA_HOME="$SYNCORAVEL_BUILD/wine/mirror-kill-share"
TRASH="$XDG_DATA_HOME/Trash"
wine_prefix_prepare || { say "preparing the Wine prefix failed"; exit 1; }
cleanup() { wineserver_stop; }
trap cleanup EXIT
wineserver_start

NAME=mirror-kill
MASTER_DRIVE="$SYNCORAVEL_BUILD/wine/drives/d/$NAME"
TARGET_DRIVE="$SYNCORAVEL_BUILD/wine/drives/e/$NAME"
TEMPLATE="$SYNCORAVEL_BUILD/wine/$NAME-template"
KEPT="$SYNCORAVEL_BUILD/wine/$NAME-failed"
MASTER="$MASTER_DRIVE/マスタ"
TARGET="$TARGET_DRIVE/ソ先"
BIG=$((24 << 20))
BULK=150

# Names of the temporary file of a copy: "~SCV", four hexadecimal digits, ".TMP", any case.
TEMPORARY='^~[Ss][Cc][Vv][0-9A-Fa-f]{4}\.[Tt][Mm][Pp]$'

put() { # path content date
    mkdir -p "$(dirname "$1")"
    printf '%s' "$2" >"$1"
    touch -d "$3" "$1"
}
big() { # path size mark date
    mkdir -p "$(dirname "$1")"
    truncate -s "$2" "$1"
    printf '%s' "$3" | dd of="$1" conv=notrunc status=none
    printf '%s' "$3" | dd of="$1" bs=1 seek=$(($2 - ${#3})) conv=notrunc status=none
    touch -d "$4" "$1"
}

# The master holds newer versions of all the target's files, files in folders the target
# lacks, three big files; the target holds old versions and entries the master lacks, a
# folder among them; many equal small files make the walks last.
make_template() {
    local m="$TEMPLATE/master" t="$TEMPLATE/target" i now='2024-08-01 09:30:00'
    rm -rf "$TEMPLATE"
    put "$m/表.txt" "new 表 text" "$now"
    put "$t/表.txt" "old" "2024-08-01 07:30:00"
    for i in 0 1 2 3; do
        put "$m/s$i.txt" "new s$i $(printf '%*s' $((i * 100)) '')" "2024-08-01 09:2$i:00"
        put "$t/s$i.txt" "old s$i" "2024-08-01 06:30:00"
    done
    for i in 0 1 2; do
        put "$m/能/n$i.txt" "new n$i" "2024-08-01 09:20:00"
        put "$t/能/n$i.txt" "old version of n$i" "2024-08-01 06:30:00"
        put "$m/新/m$i.txt" "only in the master" "2024-08-01 09:10:00"
        put "$t/d$i.txt" "only in the target" "2024-08-01 08:30:00"
        put "$t/消/x$i.txt" "only in the target" "2024-08-01 08:30:00"
    done
    put "$t/能/gone.txt" "only in the target" "2024-08-01 08:30:00"
    put "$m/same.txt" "same" "2024-08-01 05:30:00"
    put "$t/same.txt" "same" "2024-08-01 05:30:00"
    big "$m/big0.bin" "$BIG" NEW0 "2024-08-01 09:25:00"
    big "$m/能/big1.bin" "$BIG" NEW1 "2024-08-01 09:25:00"
    big "$m/表/big2.bin" "$BIG" NEW2 "2024-08-01 09:25:00"
    big "$t/big0.bin" $((16 << 20)) OLD0 "2024-08-01 04:30:00"
    big "$t/能/big1.bin" $((16 << 20)) OLD1 "2024-08-01 04:30:00"
    mkdir -p "$m/bulk"
    (cd "$m/bulk" && seq 1 "$BULK" | xargs touch -d 2020-01-01)
    cp -a "$m/bulk" "$t/"
}

fresh_trees() {
    rm -rf "$MASTER_DRIVE" "$TARGET_DRIVE" "$TRASH"
    mkdir -p "$MASTER_DRIVE" "$TARGET_DRIVE" "$TRASH/files" "$TRASH/info"
    cp -a --sparse=always "$TEMPLATE/master" "$MASTER"
    cp -a --sparse=always "$TEMPLATE/target" "$TARGET"
    printf 'Sync.D:\\%s\\マスタ\r\nSync.E:\\%s\\ソ先\r\n' "$NAME" "$NAME" |
        iconv -f UTF-8 -t CP932 >"$MASTER_DRIVE/definition.txt"
}

DEFINITION="D:\\$NAME\\definition.txt"

# The holding folder a target keeps replaced files in, one dated folder per run.
HOLDING=_Syncoravel保管

# Entries with what a comparison needs: folders by name, files with size and write time. The
# holding folder is the program's, not part of the mirror.
listing() {
    (cd "$1" && find . -mindepth 1 -path "./$HOLDING" -prune -o \( -type d -printf 'd %P\n' \) \
        -o \( -type f -printf 'f %P %s %T@\n' \) | LC_ALL=C sort)
}

# Whether the file at relative path $3 is the same in the trees $1 and $2: bytes and time.
same_file() {
    [ -f "$1/$3" ] && [ -f "$2/$3" ] && cmp -s "$1/$3" "$2/$3" &&
        [ "$(stat -c %Y.%y "$1/$3")" = "$(stat -c %Y.%y "$2/$3")" ]
}

# The Linux paths the bin holds items of.
trashed() {
    cat "$TRASH"/info/*.trashinfo 2>/dev/null | sed -n 's/^Path=//p' |
        python3 -c 'import sys, urllib.parse
for line in sys.stdin: print(urllib.parse.unquote(line.rstrip("\n")))'
}

# Whether the entry at relative path $1 of the target, or a folder above it, is in the bin.
in_bin() {
    local relative="$1" list="$2"
    while [ -n "$relative" ] && [ "$relative" != . ]; do
        grep -qxF -- "$NAME/ソ先/$relative" <(sed 's|.*/dosdevices/e:/||' <<<"$list") && return 0
        relative="$(dirname "$relative")"
    done
    return 1
}

# Whether the old version of the target's file at relative path $1 is kept whole in a dated
# folder of the holding folder (under its own name, or with " (N)" where that was taken).
kept_whole() {
    local copy stem="${1%.*}" extension=""
    [ "$stem" != "$1" ] && extension=".${1##*.}"
    for copy in "$TARGET/$HOLDING"/*/"$1" "$TARGET/$HOLDING"/*/"$stem ("*")$extension"; do
        [ -f "$copy" ] && cmp -s "$copy" "$TEMPLATE/target/$1" &&
            [ "$(stat -c %Y "$copy")" = "$(stat -c %Y "$TEMPLATE/target/$1")" ] && return 0
    done
    return 1
}

FAULTS=()
fault() { FAULTS+=("$*"); }

# Checks what a kill left. Sets STATE to a rough name of the moment it came at.
check_killed() {
    local relative original name list new=0 gone=0 temporaries=0 kept=0
    [ "$(listing "$MASTER")" = "$(listing "$TEMPLATE/master")" ] &&
        diff -rq "$MASTER" "$TEMPLATE/master" >/dev/null || fault "the master changed"
    while IFS= read -r -d '' relative; do
        relative="${relative#./}"
        name="$(basename "$relative")"
        if [ ! -e "$TEMPLATE/target/$relative" ] && [ ! -e "$TEMPLATE/master/$relative" ] &&
            [[ "$name" =~ $TEMPORARY ]]; then
            temporaries=$((temporaries + 1))
        elif same_file "$TARGET" "$TEMPLATE/target" "$relative"; then
            :
        elif same_file "$TARGET" "$TEMPLATE/master" "$relative"; then
            new=$((new + 1))
        else
            fault "neither old nor new: $relative ($(stat -c '%s bytes, %y' "$TARGET/$relative"))"
        fi
    done < <(cd "$TARGET" && find . -path "./$HOLDING" -prune -o -type f -print0)
    # Whatever reached the holding folder is an old version of a target file, whole.
    while IFS= read -r -d '' relative; do
        relative="${relative#./}"
        kept=$((kept + 1))
        original="$(sed -E 's/ \([0-9]+\)(\.[^./]*)?$/\1/' <<<"${relative#*/}")"
        cmp -s "$TARGET/$HOLDING/$relative" "$TEMPLATE/target/$original" 2>/dev/null ||
            fault "the holding folder has no whole old version at: $relative"
    done < <(cd "$TARGET/$HOLDING" 2>/dev/null && find . -type f -print0)
    list="$(trashed)"
    while IFS= read -r -d '' relative; do
        relative="${relative#./}"
        [ -e "$TARGET/$relative" ] && continue
        gone=$((gone + 1))
        if [ -f "$TEMPLATE/master/$relative" ] && [ -f "$TEMPLATE/target/$relative" ]; then
            # A replaced file leaves for the holding folder just before its copy lands.
            kept_whole "$relative" || fault "a replaced file is neither there nor kept: $relative"
        elif [ -e "$TEMPLATE/master/$relative" ]; then
            fault "an entry the master has is gone: $relative"
        elif ! in_bin "$relative" "$list"; then
            fault "deleted but not in the recycle bin: $relative"
        fi
    done < <(cd "$TEMPLATE/target" && find . -mindepth 1 -print0)
    if [ "$new" -gt 0 ] || [ "$temporaries" -gt 0 ] || [ "$kept" -gt 0 ]; then
        STATE=copies
    elif [ "$gone" -gt 0 ]; then
        STATE=deletions
    else
        STATE="walks (nothing changed yet)"
    fi
    DETAILS="$new new, $gone gone, $temporaries temporary, $kept kept"
}

# Checks that the run after the kill completed the mirror.
check_completed() {
    local relative list
    [ "$(listing "$TARGET")" = "$(listing "$TEMPLATE/master")" ] &&
        diff -rq -x "$HOLDING" "$TARGET" "$TEMPLATE/master" >/dev/null ||
        fault "the next run left the target unlike the master: $(diff <(listing "$TARGET") \
            <(listing "$TEMPLATE/master") | head -5 | tr '\n' ' ')"
    [ "$(listing "$MASTER")" = "$(listing "$TEMPLATE/master")" ] &&
        diff -rq "$MASTER" "$TEMPLATE/master" >/dev/null || fault "the next run changed the master"
    list="$(trashed)"
    while IFS= read -r -d '' relative; do
        relative="${relative#./}"
        if [ ! -e "$TEMPLATE/master/$relative" ]; then
            in_bin "$relative" "$list" || fault "after the next run not in the recycle bin: $relative"
        elif [ -f "$TEMPLATE/target/$relative" ] &&
            ! same_file "$TEMPLATE/target" "$TEMPLATE/master" "$relative"; then
            kept_whole "$relative" || fault "after the next run a replaced file is not kept: $relative"
        fi
    done < <(cd "$TEMPLATE/target" && find . -mindepth 1 -print0)
}

# As the test launcher starts programs, but with this script's recycle bin (the launcher
# sets the tests' one). Replaces the shell, so that a background start's process id is the
# tool's own.
exec_tool() {
    if [ "$(id -u)" = 0 ] && "${RESTRICTED[@]}" true 2>/dev/null; then
        exec "${RESTRICTED[@]}" "$WINE64" "$TOOL" "$DEFINITION"
    fi
    exec "$WINE64" "$TOOL" "$DEFINITION"
}

run_tool() { # output file
    (exec_tool) >"$1" 2>&1 </dev/null
}

now_ms() { date +%s%3N; }

say "machine: $(nproc) cores, $("$WINE64" --version 2>/dev/null)"
make_template

# One whole run tells how long the kill moments may be.
fresh_trees
start=$(now_ms)
run_tool /dev/null
WHOLE=$(($(now_ms) - start))
FAULTS=()
check_completed
if [ ${#FAULTS[@]} -gt 0 ]; then
    say "the run without a kill does not complete the mirror: ${FAULTS[*]}"
    exit 1
fi
say "a whole run takes ${WHOLE} ms; killing at random moments within it"

held=0
declare -A moments
rm -rf "$KEPT"
bench_start=$(now_ms)
# Only kills that cut a run off count; a run that ended before its kill shows that runs are
# shorter than the first one measured, and the moments are drawn from its length on.
finished_first=0
for ((k = 1; k <= COUNT; k++)); do
    fresh_trees
    delay=$(((RANDOM * 32768 + RANDOM) % (WHOLE + 1)))
    (exec_tool) >/dev/null 2>&1 </dev/null &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    status=$?
    FAULTS=()
    if [ "$status" -eq 0 ]; then
        finished_first=$((finished_first + 1))
        WHOLE=$((delay > 50 ? delay : 50))
        k=$((k - 1))
        continue
    fi
    check_killed
    run_tool "$MASTER_DRIVE/next.log" || fault "the next run ended with status $?"
    check_completed
    moments["$STATE"]=$((${moments["$STATE"]:-0} + 1))
    if [ ${#FAULTS[@]} -eq 0 ]; then
        held=$((held + 1))
    else
        printf 'kill %d at %d ms (%s; %s) did not hold:\n' "$k" "$delay" "$STATE" "$DETAILS"
        printf '    %s\n' "${FAULTS[@]}"
        mkdir -p "$KEPT/$k"
        cp -a "$MASTER_DRIVE" "$KEPT/$k/d" && cp -a "$TARGET_DRIVE" "$KEPT/$k/e"
        printf '    trees kept in %s\n' "$KEPT/$k"
    fi
    [ $((k % 20)) -eq 0 ] && say "$k kills, $held held, $((($(now_ms) - bench_start) / 1000)) s"
done
elapsed=$(($(now_ms) - bench_start))

rm -rf "$MASTER_DRIVE" "$TARGET_DRIVE" "$TRASH" "$TEMPLATE"
for state in "${!moments[@]}"; do
    printf '%4d kills %s\n' "${moments[$state]}" "$state"
done
printf '%d runs ended before their kill and are not counted\n' "$finished_first"
printf '%d of %d held (%d.%d s)\n' "$held" "$COUNT" $((elapsed / 1000)) $((elapsed % 1000 / 100))
[ "$held" -eq "$COUNT" ]
