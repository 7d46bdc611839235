# shellcheck shell=bash
# Shared settings for the scripts: sourced, not run.
KAVREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine takes the ANSI code page from the Unix locale (ja_JP gives 932, ru_RU 1251);
# C.UTF-8 is always installed on Debian and gives code page 1252, which the tests expect.
export LC_ALL=C.UTF-8
# No Mono or Gecko install prompts: Kavrel needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Compile jobs at once, for every script: one per core.
export KAVREL_JOBS
KAVREL_JOBS=$(nproc)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Installs those of the Debian packages named that are not installed yet.
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing ${missing[*]}"
  if [[ " ${missing[*]} " == *:i386* ]]; then
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Whether this kernel runs 32-bit x86 programs. Some kernels are built without
# that layer, and Wine's 32-bit loader then fails with "Exec format error", so
# ask the kernel directly: run a 93-byte i386 program that only exits with 0.
# KAVREL_32BIT_PROBLEM says why not when it cannot.
kernel_runs_32bit() {
  local probe
  probe=$(mktemp)
  # shellcheck disable=SC2059 # the format is the program's bytes, written as escapes
  printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0'`              # 32-bit, little-endian
        `'\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0'`   # executable, i386, entry
        `'\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0'`     # one program header
        `'\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08'`     # load the file at 0x8048000
        `'\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0'`           # 93 bytes, read and execute
        `'\xb8\x01\0\0\0\x31\xdb\xcd\x80' >"$probe"             # exit(0)
  chmod +x "$probe"
  if KAVREL_32BIT_PROBLEM=$("$probe" 2>&1); then rm -f "$probe"; return 0; fi
  KAVREL_32BIT_PROBLEM=${KAVREL_32BIT_PROBLEM##*: }
  KAVREL_32BIT_PROBLEM="the kernel cannot run 32-bit programs (${KAVREL_32BIT_PROBLEM:-exit status not 0})"
  rm -f "$probe"
  return 1
}

# The Windows architectures this machine runs: KAVREL_ARCHS is "win32 win64"
# where the kernel runs 32-bit programs and "win64" elsewhere (then
# KAVREL_32BIT_PROBLEM says why); KAVREL_SHOWN_ARCH is the one to show a
# person, the 32-bit program where it runs, since it runs on every Windows.
choose_archs() {
  if kernel_runs_32bit; then KAVREL_ARCHS="win32 win64"; else KAVREL_ARCHS="win64"; fi
  KAVREL_SHOWN_ARCH=${KAVREL_ARCHS%% *}
  export KAVREL_ARCHS KAVREL_SHOWN_ARCH
}

# Debian's Wine: each architecture has its own loader and its own prefix.
wine_loader() { case $1 in win32) echo /usr/lib/wine/wine ;; win64) echo /usr/lib/wine/wine64 ;; *) return 1 ;; esac; }
# One server serves both kinds of program; like Debian's own wrapper, take the
# 64-bit one where it is installed (it always is: setup installs wine64).
wine_server() {
  case $1 in win32 | win64) ;; *) return 1 ;; esac
  if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64; else echo /usr/lib/wine/wineserver32; fi
}

# Chooses the Wine of one architecture (win32 or win64) for what follows. Programs
# then start with "$KAVREL_WINE" and the server is "$WINESERVER" (Wine reads it too).
use_wine() {
  local arch=$1
  KAVREL_WINE=$(wine_loader "$arch") || { echo "unknown Windows architecture '$arch'" >&2; return 1; }
  WINESERVER=$(wine_server "$arch")
  export KAVREL_WINE WINESERVER WINEARCH=$arch WINEPREFIX="$KAVREL_ROOT/build/wine-$arch"
}

# Makes the current architecture's prefix once: quiet, with no crash dialog.
make_wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  echo "setup: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$KAVREL_WINE" wineboot -i >/dev/null 2>&1 || true
  "$KAVREL_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$WINESERVER" -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "setup: Wine could not make $WINEPREFIX" >&2; return 1; }
}

# Starts Xvfb on a free display number and exports DISPLAY; KAVREL_XVFB_PID names it.
start_xvfb() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    KAVREL_XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$KAVREL_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Keeps one wineserver (and Wine's desktop and service processes) of the current
# architecture alive for a whole run. They are started here with their output on
# /dev/null: started by a test they would inherit its pipes, and ctest would wait
# for them to close.
wine_warm_up() {
  # Exits 2 when the server is already running, which is just as good.
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true
  "$KAVREL_WINE" cmd /c exit >/dev/null 2>&1 </dev/null
}

# Ends the wineservers of every prefix this run used.
stop_wineservers() {
  local arch
  for arch in win32 win64; do
    WINEPREFIX="$KAVREL_ROOT/build/wine-$arch" "$(wine_server $arch)" -k 2>/dev/null || true
  done
}
