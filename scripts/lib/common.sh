# Shared by scripts/test, scripts/run and the test launcher: what the project needs on a
# Debian machine, how it is built, and the Wine environment every program of ours runs in.
# Source it; it defines functions and a few variables and runs nothing by itself.

SYNCORAVEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
SYNCORAVEL_BUILD="${SYNCORAVEL_BUILD:-$SYNCORAVEL_ROOT/build}"
WINE64=/usr/lib/wine/wine64
# Debian puts neither the loader nor the server on PATH; a bare "wineserver" would be no
# command at all, and every call of it would fail without a word.
WINESERVER=/usr/lib/wine/wineserver64
# Wine's own fonts (the fonts-wine package).
WINE_FONTS=/usr/share/wine/fonts
# Raised whenever wine_prefix_prepare learns a new setting, so existing prefixes get it.
WINE_PREFIX_VERSION=6

SYNCORAVEL_PACKAGES=(
    g++-mingw-w64-x86-64-posix
    cmake
    ninja-build
    googletest
    wine64
    locales
    xvfb
    xauth
    rsync
    fonts-ipafont-gothic
    fonts-wine
    imagemagick
    x11-utils
    zip
    unzip
    python3-markdown
)

say() { printf '[syncoravel] %s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs only what is missing, so that a second run on the same machine costs nothing.
install_packages() {
    local missing=() p
    for p in "${SYNCORAVEL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        say "installing: ${missing[*]}"
        as_root apt-get update -q || return 1
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            "${missing[@]}" || return 1
    fi
    ensure_japanese_locale
}

# Wine decodes Linux file names with the process locale; without ja_JP.UTF-8 Japanese names
# on disk come back garbled and the ANSI code page is not 932.
ensure_japanese_locale() {
    if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then return 0; fi
    say "generating the ja_JP.UTF-8 locale"
    if grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        as_root sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    elif ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    fi
    as_root locale-gen >/dev/null
}

# Configures once, then builds incrementally.
build_project() {
    if [ ! -f "$SYNCORAVEL_BUILD/build.ninja" ]; then
        cmake -S "$SYNCORAVEL_ROOT" -B "$SYNCORAVEL_BUILD" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$SYNCORAVEL_ROOT/cmake/mingw-w64-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo || return 1
    fi
    cmake --build "$SYNCORAVEL_BUILD" || return 1
}

# The environment of every Wine process of ours: a prefix, home and recycle bin of the
# build tree, code page 932, and quiet start-up.
wine_environment() {
    local wine_dir="$SYNCORAVEL_BUILD/wine"
    export WINEPREFIX="$wine_dir/prefix"
    export WINEARCH=win64
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LC_ALL=ja_JP.UTF-8
    export LANG=ja_JP.UTF-8
    export HOME="$wine_dir/home"
    export XDG_DATA_HOME="$HOME/.local/share"
    # Wine's recycle bin is the XDG trash, and only an existing one; without it a delete
    # with undo would delete for good.
    mkdir -p "$XDG_DATA_HOME/Trash/files" "$XDG_DATA_HOME/Trash/info"
}

# Creates the prefix on first use. Serialised with a lock because test programs may start
# in parallel on a fresh build tree.
wine_prefix_prepare() {
    mkdir -p "$SYNCORAVEL_BUILD/wine"
    (
        flock 9
        local marker="$WINEPREFIX/.syncoravel-ready"
        if [ "$(cat "$marker" 2>/dev/null)" != "$WINE_PREFIX_VERSION" ]; then
            say "preparing the Wine prefix $WINEPREFIX"
            restricted "$WINE64" wineboot -i >/dev/null 2>&1
            # A crash must fail a test, not wait for someone to close a dialog.
            restricted "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
                /t REG_DWORD /d 0 /f >/dev/null 2>&1
            # Under Xvfb there is no window manager: Wine then draws captions and frames
            # itself, so that screenshots show them.
            restricted "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N \
                /f >/dev/null 2>&1
            # The program's fonts are the Windows Japanese ones; without a replacement Wine
            # draws their texts in a wider face, and labels sized for them are cut short.
            restricted "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
                /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1
            restricted "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
                /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1
            # U: is a removable drive, as a USB stick is. Wine reads the kinds of its drives
            # when its server starts, so the test server must find this already written.
            restricted "$WINE64" reg add 'HKLM\Software\Wine\Drives' /v 'u:' /d floppy \
                /f >/dev/null 2>&1
            # wineboot started the prefix's server and its desktop process with the display
            # of this moment, often none; a program started while they live would join that
            # desktop and get no window at all. They end before anything else starts.
            "$WINESERVER" -w >/dev/null 2>&1
            # Wine's own fonts, Marlett among them: without it the caption buttons are
            # drawn as the letters "0 1 r". The distribution's Wine looks for them under a
            # path it cannot open ("Z:\usr\share\wine\../fonts"); the prefix's font
            # folder is always searched.
            mkdir -p "$WINEPREFIX/drive_c/windows/Fonts" &&
                cp "$WINE_FONTS"/* "$WINEPREFIX/drive_c/windows/Fonts/" ||
                { say "copying Wine's fonts from $WINE_FONTS failed"; exit 1; }
            echo "$WINE_PREFIX_VERSION" >"$marker"
        fi
        wine_map_drives
    ) 9>"$SYNCORAVEL_BUILD/wine/prefix.lock"
}

# D: and E: are ordinary drives for tests to make folders in; R: is a drive whose root a
# test may fill (tests take a named lock for it); N: is a letter whose medium is missing;
# S: is a small drive on which a copy runs out of space. U: is removable (see
# wine_prefix_prepare), L: and M: are fixed, and the three have volume labels: under Wine
# the text of ".windows-label" at the top of the folder behind a drive, read when the
# server starts. U:'s label holds characters whose second byte is that of "\" (ソ, 表); L:
# and M: have the same label but for case, as two sticks named alike would.
wine_map_drives() {
    local drives="$SYNCORAVEL_BUILD/wine/drives" d
    for d in d e r s u l m; do
        mkdir -p "$drives/$d"
        ln -sfn "$drives/$d" "$WINEPREFIX/dosdevices/$d:"
    done
    small_drive_mount "$drives/s"
    drive_label "$drives/u" 'USBソ表'
    drive_label "$drives/l" 'Work表'
    drive_label "$drives/m" 'WORK表'
    rm -rf "$drives/not-ready"
    ln -sfn "$drives/not-ready" "$WINEPREFIX/dosdevices/n:"
}

# Every Wine process of a test run passes here while others read the labels: a label is
# written only when it differs, and then whole, so that no reader finds it empty.
drive_label() {
    local file="$1/.windows-label"
    [ "$(cat "$file" 2>/dev/null)" = "$2" ] && return 0
    printf '%s' "$2" >"$file.new" && mv -f "$file.new" "$file"
}

# The folder behind S: becomes a tmpfs of SMALL_DRIVE_SIZE, mounted once per build tree and
# left mounted for the next test program (small_drive_unmount ends it). Mounting needs root;
# where it is refused S: stays an ordinary folder, and the tests that need a full drive
# skip and say why.
SMALL_DRIVE_SIZE=16m
small_drive_mount() {
    local folder="$1"
    mountpoint -q "$folder" && return 0
    [ "$(id -u)" = 0 ] || return 0
    mount -t tmpfs -o "size=$SMALL_DRIVE_SIZE,mode=0755" syncoravel-small "$folder" \
        2>/dev/null || true
}

small_drive_unmount() {
    local folder="$SYNCORAVEL_BUILD/wine/drives/s"
    if mountpoint -q "$folder" 2>/dev/null; then
        umount "$folder" 2>/dev/null || true
    fi
}

# As root, a test could read a folder it has made unreadable, and write a read-only file;
# without the two rights that let root read and write anything, Wine (client and server,
# which opens the files) sees permissions as any user does.
RESTRICTED=(setpriv --bounding-set -dac_override,-dac_read_search)
restricted() {
    if [ "$(id -u)" = 0 ] && "${RESTRICTED[@]}" true 2>/dev/null; then
        "${RESTRICTED[@]}" "$@"
    else
        "$@"
    fi
}

WINESERVER_STARTED=""
XVFB_PID=""

# A persistent server makes each Wine process start in a tenth of a second.
wineserver_start() {
    # A server left from earlier could hold root's file rights; ours never does.
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    restricted "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true
    WINESERVER_STARTED=1
    # The first Wine process starts Wine's background services, which keep the standard
    # handles they inherit; started here they hold no pipe of a test or a caller.
    restricted "$WINE64" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

wineserver_stop() {
    if [ -n "$WINESERVER_STARTED" ]; then
        "$WINESERVER" -k 2>/dev/null || true
    fi
}

# Starts Xvfb on a free display unless one is given; windows need a screen under Wine.
xvfb_start() {
    local fifo display
    fifo="$(mktemp -u)"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    if ! read -r -t 20 display <"$fifo"; then
        rm -f "$fifo"
        say "Xvfb did not start"
        return 1
    fi
    rm -f "$fifo"
    export DISPLAY=":$display"
}

xvfb_stop() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# Starts the program EXE on an Xvfb screen of its own, waits for its main window, saves the
# screen as SHOT (PNG) and ends the program, its Wine server and the screen again.
screenshot_main_window() {
    local exe="$1" shot="$2"
    (
        local window="" _
        trap 'wineserver_stop; xvfb_stop' EXIT
        unset DISPLAY
        xvfb_start || exit 1
        wineserver_start
        restricted "$WINE64" "$exe" >/dev/null 2>&1 </dev/null &
        for _ in $(seq 1 300); do
            # The main window's caption names the definition file; a message box's does not.
            window=$(xwininfo -root -tree 2>/dev/null |
                awk '/"Syncoravel - 【定義ファイル/ {print $1; exit}')
            [ -n "$window" ] && break
            sleep 0.1
        done
        if [ -z "$window" ]; then
            say "the main window did not appear"
            exit 1
        fi
        sleep 1 # let the window finish painting
        import -window root "$shot"
    )
}

# save_picture NAME "X Y WIDTH HEIGHT": saves that rectangle of the screen ($DISPLAY) as
# docs/NAME.png and checks that the window in it has its close box drawn as a glyph. A
# picture that fails the check stays for a look, and the call fails.
save_picture() {
    local name="$1" x y w h full="$SYNCORAVEL_BUILD/screen.png"
    local picture="$SYNCORAVEL_ROOT/docs/$name.png"
    read -r x y w h <<<"$2"
    import -window root "$full" || return 1
    convert "$full" -crop "${w}x${h}+${x}+${y}" +repage -strip "$picture" || return 1
    if ! "$SYNCORAVEL_ROOT/scripts/lib/check-pictures" "$picture"; then
        say "docs/$name.png shows letters instead of its caption buttons"
        return 1
    fi
    say "saved docs/$name.png (${w}x${h})"
}
