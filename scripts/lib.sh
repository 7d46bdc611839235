# Shared settings for the scripts: sourced, not run.
KAVREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$KAVREL_ROOT/build/wine-prefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine takes the ANSI code page from the Unix locale (ja_JP gives 932, ru_RU 1251);
# C.UTF-8 is always installed on Debian and gives code page 1252, which the tests expect.
export LC_ALL=C.UTF-8
# No Mono or Gecko install prompts: Kavrel needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

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

# Keeps one wineserver (and Wine's desktop and service processes) alive for a whole
# run. They are started here with their output on /dev/null: started by a test they
# would inherit its pipes, and ctest would wait for them to close.
wine_warm_up() {
  # Exits 2 when the server is already running, which is just as good.
  wineserver -p >/dev/null 2>&1 </dev/null || true
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}
