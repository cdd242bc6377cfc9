# Shared by the project's scripts: packages, builds, the Wine prefix and server, a display.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"

PACKAGES=(
    cmake ninja-build g++
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    googletest
    nsis wixl
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

# The setups, from both build trees: MorvaneSetup.exe for every Windows and MorvaneSetup-x64.exe
# for 64-bit Windows only (which runs where 32-bit programs cannot), and the Windows Installer
# packages Morvane-x64.msi and Morvane-x86.msi. next/Morvane-x64.msi is the same package with a
# higher version, with which the tests upgrade.
# One product for both kinds of package: each refuses to install over the other's installation.
MORVANE_UPGRADE_CODE="{5B0E2C4A-7D1F-4E36-9A58-2F6C1B7D3E90}"
build_setup() {
    log "building the setups"
    local generated="$BUILD/setup" version target out
    mkdir -p "$generated" "$BUILD/next"
    # The extension's registration for the setups, from its registrar script, by a tool of the
    # build machine's own that reads it with the extension's own parser.
    g++ -std=c++17 -O1 -I"$ROOT" -o "$generated/registration-rows" \
        "$ROOT/installer/RegistrationRows.cpp" "$ROOT/com/RegistrarScript.cpp"
    "$generated/registration-rows" nsis "$ROOT/resources/MorvaneExt.rgs" >"$generated/ExtensionRows.nsh"
    "$generated/registration-rows" wix "$ROOT/resources/MorvaneExt.rgs" '[#MorvaneExt.dll]' >"$generated/ExtensionRows.wxi"
    "$generated/registration-rows" wix "$ROOT/resources/MorvaneExt.rgs" '[#MorvaneExt32.dll]' >"$generated/ExtensionRows32.wxi"
    for target in x86-unicode:MorvaneSetup amd64-unicode:MorvaneSetup-x64; do
        out="$BUILD/${target#*:}.exe"
        makensis -V2 -WX -DTARGET="${target%%:*}" -DI686_BIN="$BUILD/i686/bin" -DX86_64_BIN="$BUILD/x86_64/bin" \
            -DUPGRADE_CODE="$MORVANE_UPGRADE_CODE" -DREGISTRATION="$generated/ExtensionRows.nsh" \
            -DOUTFILE="$out" "$ROOT/installer/MorvaneSetup.nsi" >&2
    done
    version=$(sed -n 's/^#define MORVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$BUILD/x86_64/resources/Version.h")
    build_msi x64 "$version" "$BUILD/Morvane-x64.msi"
    build_msi x86 "$version" "$BUILD/Morvane-x86.msi"
    # Windows Installer compares the first three numbers only.
    build_msi x64 "$(echo "$version" | awk -F. '{ printf "%d.%d.%d.%d", $1, $2, $3 + 1, $4 }')" "$BUILD/next/Morvane-x64.msi"
}

# build_msi x64|x86 VERSION OUTPUT
build_msi() {
    local arch=$1 bin=x86_64/bin
    [ "$arch" = x64 ] || bin=i686/bin
    rm -f "$3"
    # wixl takes the binaries' paths relative to the folder it runs in, and warns about its own
    # internals on the way.
    (cd "$BUILD" && wixl -a "$arch" -D Arch="$arch" -D Version="$2" -D UpgradeCode="$MORVANE_UPGRADE_CODE" \
        -D Bin="$bin" -D Bin32=i686/bin -I "$BUILD/setup" -o "$3" "$ROOT/installer/Morvane.wxs" 2>&1 |
        grep -v -e 'CRITICAL' -e '^$' >&2 || true)
    [ -s "$3" ]
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

# A drive of the tests' own, empty at every start, for the jobs that erase a whole drive, and
# the same folder through another drive letter (Wine's drive for the whole file system). A
# second drive letter for the Windows folder, as a user could map one. A drive letter whose
# folder is gone, as a drive removed while its letter stays.
export MORVANE_TEST_DRIVE=R:
export MORVANE_GONE_DRIVE=Q:
export MORVANE_TEST_DRIVE_ALIAS="Z:$BUILD/test-drive"
export MORVANE_WINDOWS_DRIVE=W:
map_test_drive() {
    rm -rf "$BUILD/test-drive"
    mkdir -p "$BUILD/test-drive"
    ln -sfn "$BUILD/test-drive" "$WINEPREFIX/dosdevices/r:"
    ln -sfn ../drive_c/windows "$WINEPREFIX/dosdevices/w:"
    ln -sfn "$BUILD/gone-drive" "$WINEPREFIX/dosdevices/q:"
}

# One server for the whole run, with the desktop and services started before any test, so
# that they neither inherit a test's output pipe nor start anew for every test.
start_wine() {
    ensure_wine_prefix
    # In the tests' prefix only: the demo's has no drive beyond its own two.
    [ "$WINEPREFIX" != "$BUILD/wine" ] || map_test_drive
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p
    local ready="$BUILD/wine-desktop-ready"
    rm -f "$ready"
    "$WINE64" "$BUILD/x86_64/bin/WineKeepAlive.exe" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
    KEEPALIVE_PID=$!
    # Under load the desktop can take a while; a test must not be the one that starts it.
    local waited=0
    while [ ! -f "$ready" ] && [ "$waited" -lt 600 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    [ -f "$ready" ] || log "Wine's desktop did not start within 60 s"
    "$WINE64" cmd /c exit >/dev/null 2>&1 </dev/null
}

# The demo: a Wine prefix of its own in which no drive reaches this machine's files. C: is the
# prefix's own folder and D: a folder of sample files, made anew each time. It is not the tests'
# prefix; the run command and the screenshots use it.
DEMO="$BUILD/demo"

use_demo_prefix() {
    export WINEPREFIX="$DEMO/wine"
    # Wine links the user's folders (Documents, Desktop, ...) to those of $HOME: a home of the
    # demo's own, with the display's key kept.
    export XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}"
    export HOME="$DEMO/home"
    unset XDG_CONFIG_HOME XDG_DATA_HOME
    # No drive letters for the removable media a desktop's disk service reports.
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent
    mkdir -p "$HOME"
    # A demo whose Windows folder was erased is set up anew.
    [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] || rm -rf "$WINEPREFIX"
    ensure_wine_prefix
    make_demo_files "$DEMO/files"
    confine_demo_prefix
    install -D "$BUILD/x86_64/bin/Morvane.exe" "$WINEPREFIX/drive_c/Program Files/Tarnwick/Morvane.exe"
}

# A few folders and files to erase.
make_demo_files() { # folder
    local files=$1 i
    mkdir -p "$files"
    find "$files" -mindepth 1 -delete
    mkdir -p "$files/Old reports" "$files/Holiday photos/2019" "$files/Projects/Website"
    for i in 1 2 3 4 5 6; do
        head -c 300000 /dev/urandom >"$files/Old reports/report $i.doc"
    done
    for i in 01 02 03 04 05 06 07 08; do
        head -c 200000 /dev/urandom >"$files/Holiday photos/2019/IMG_00$i.jpg"
    done
    printf 'Call the bank on Monday.\n' >"$files/Notes.txt"
    printf '<html><body>Under construction</body></html>\n' >"$files/Projects/Website/index.html"
    printf 'body { color: black; }\n' >"$files/Projects/Website/style.css"
    head -c 50000 /dev/urandom >"$files/Projects/budget 2020.xls"
}

# The demo's drive D: is a small NTFS file system of its own where this machine can mount one
# (as root, with FUSE), so that wiping its free space fills that and nothing else; otherwise it
# is a folder on the disk that holds build/, whose free space a wipe would fill for a while.
mount_demo_drive() {
    local image=$DEMO/drive.img
    unmount_demo_drive
    mkdir -p "$DEMO/files"
    if [ "$(id -u)" -eq 0 ] && command -v ntfs-3g >/dev/null && { exec 3<>/dev/fuse; } 2>/dev/null; then
        exec 3>&-
        rm -f "$image"
        truncate -s 128M "$image"
        if mkntfs -F -q -f -L Demo "$image" >/dev/null 2>&1 && ntfs-3g "$image" "$DEMO/files"; then
            return 0
        fi
    fi
    log "drive D: is a folder on the disk that holds build/: wiping its free space fills that disk until the wipe ends"
}

unmount_demo_drive() {
    mountpoint -q "$DEMO/files" 2>/dev/null || return 0
    fusermount -u "$DEMO/files" 2>/dev/null || fusermount -u -z "$DEMO/files"
}

# Only C: and D: stay, and no link below C: leads out of the demo: Wine makes drive Z: the
# whole file system and links the user's folders to the home folder.
confine_demo_prefix() {
    local link
    for link in "$WINEPREFIX"/dosdevices/*:*; do
        case "$(basename "$link")" in
        c: | d:) ;;
        *) rm -f "$link" ;;
        esac
    done
    ln -sfn ../drive_c "$WINEPREFIX/dosdevices/c:"
    ln -sfn "$DEMO/files" "$WINEPREFIX/dosdevices/d:"
    find "$WINEPREFIX/drive_c" -type l -print0 | while IFS= read -r -d '' link; do
        case "$(realpath -m "$link")" in
        "$DEMO"/*) ;;
        *)
            local folder=false
            [ -d "$link" ] && folder=true
            rm -f "$link"
            "$folder" && mkdir "$link"
            ;;
        esac
    done
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

# For a benchmark on a folder right below drive C: of the tests' prefix (named $1): starts the
# display and Wine with the folder made empty, and removes it and stops both on exit. Sets
# BENCH_FOLDER.
start_bench_folder() {
    BENCH_FOLDER="$WINEPREFIX/drive_c/$1"
    trap 'rm -rf "$BENCH_FOLDER"; stop_wine; stop_display' EXIT
    ensure_display
    start_wine
    rm -rf "$BENCH_FOLDER"
    mkdir -p "$BENCH_FOLDER"
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
