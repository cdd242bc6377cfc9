# Shared by the project's scripts: packages, builds, the Wine prefix and server, a display.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"

PACKAGES=(
    cmake ninja-build
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    googletest
    nsis
    ntfs-3g sleuthkit
    python3
    wine wine64 wine32:i386
    xvfb xauth
)

log() { printf '== %s\n' "$*" >&2; }

install_missing_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# build_arch i686|x86_64
build_arch() {
    local arch=$1
    log "building $arch"
    cmake -S "$ROOT" -B "$BUILD/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" >/dev/null
    cmake --build "$BUILD/$arch"
}

# The two setups, from both build trees: MorvaneSetup.exe for every Windows, and
# MorvaneSetup-x64.exe for 64-bit Windows only (which runs where 32-bit programs cannot).
build_setup() {
    log "building the setups"
    local target out
    for target in x86-unicode:MorvaneSetup amd64-unicode:MorvaneSetup-x64; do
        out="$BUILD/${target#*:}.exe"
        makensis -V2 -WX -DTARGET="${target%%:*}" -DI686_BIN="$BUILD/i686/bin" -DX86_64_BIN="$BUILD/x86_64/bin" \
            -DOUTFILE="$out" "$ROOT/installer/MorvaneSetup.nsi" >&2
    done
}

export WINEPREFIX="$BUILD/wine"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

XVFB_PID=""
KEEPALIVE_PID=""

# Windows need an X display; without one, start a virtual one.
ensure_display() {
    if [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
    log "no display found: started Xvfb on $DISPLAY (windows are not visible)"
}

stop_display() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine

# Some kernels (for example in some virtual machines) have no 32-bit mode: there Wine can
# run only 64-bit programs, and the i686 tests report themselves skipped.
can_run_32bit() {
    "$WINE32" --version >/dev/null 2>&1
}

# The prefix is created once, while nothing else loads the machine: a boot under load leaves
# its services half-started.
ensure_wine_prefix() {
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    log "creating the Wine prefix in $WINEPREFIX"
    local loader=$WINE64
    can_run_32bit && loader=$WINE32
    mkdir -p "$WINEPREFIX"
    "$loader" wineboot -i >/dev/null 2>&1
    # Unmanaged windows: with a window manager missing, every hide or close would wait for it.
    "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
}

# A drive of the tests' own, empty at every start, for the jobs that erase a whole drive.
export MORVANE_TEST_DRIVE=R:
map_test_drive() {
    rm -rf "$BUILD/test-drive"
    mkdir -p "$BUILD/test-drive"
    ln -sfn "$BUILD/test-drive" "$WINEPREFIX/dosdevices/r:"
}

# One server for the whole run, with the desktop and services started before any test, so
# that they neither inherit a test's output pipe nor start anew for every test.
start_wine() {
    ensure_wine_prefix
    map_test_drive
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p
    "$WINE64" "$BUILD/x86_64/bin/WineKeepAlive.exe" </dev/null >/dev/null 2>&1 &
    KEEPALIVE_PID=$!
    "$WINE64" cmd /c exit >/dev/null 2>&1 </dev/null
}

stop_wine() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    [ -n "$KEEPALIVE_PID" ] && wait "$KEEPALIVE_PID" 2>/dev/null || true
    KEEPALIVE_PID=""
}

# Maps a folder to the first free drive letter from M on: sets DRIVE_LETTER ("M:") and
# DRIVE_LINK (the link in the prefix, for the caller to remove).
map_free_drive_letter() {
    local letter
    DRIVE_LINK=""
    for letter in m n o p q r s t u v w x y; do
        if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ] && [ ! -L "$WINEPREFIX/dosdevices/$letter:" ]; then
            DRIVE_LINK="$WINEPREFIX/dosdevices/$letter:"
            DRIVE_LETTER="${letter^^}:"
            ln -s "$1" "$DRIVE_LINK"
            return 0
        fi
    done
    echo "no free drive letter in $WINEPREFIX/dosdevices" >&2
    return 1
}

# Arithmetic with fractions, and the seconds a command takes; for the benchmarks.
calc() { awk "BEGIN { print $* }"; }
seconds_of() {
    local start end
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    calc "$end - $start"
}
