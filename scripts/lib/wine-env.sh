# Sourced by the scripts that run Windows programs: a private 64-bit Wine prefix under build/ (64-bit
# programs beside 32-bit ones under WoW64, each with its own registry view and system folder, as on
# every user's Windows), the Korean locale (code page 949), one Xvfb and one persistent wineserver for a whole run.
# Call wine_env_start once; it arranges wine_env_stop on exit.
#   wine_env_clone_prefix SOURCE [pristine]  WINEPREFIX as a copy of SOURCE (below)
#   wine_env_start_server                  a wineserver of this prefix on the caller's display
#   wine_register_ocx OCX                  registers it (regsvr32); says so on stderr when it fails
#   wine_path PATH                         PATH as Windows programs see it (drive Z: is /)

TOVALO_ROOT=${TOVALO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
export WINEPREFIX=${TOVALO_WINEPREFIX:-$TOVALO_ROOT/build/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8

_wine_env_xvfb_pid=${_wine_env_xvfb_pid:-}  # kept when this file is sourced again

# What a prefix is made with: a prefix made by an older version of this file is made again.
_wine_env_prefix_version=3

_wine_env_make_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ "$(cat "$WINEPREFIX/.tovalo-ready" 2>/dev/null)" = "$_wine_env_prefix_version" ] && exit 0
    rm -rf "$WINEPREFIX"
    echo "wine-env: creating prefix $WINEPREFIX" >&2
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # Without a window manager Wine waits about two seconds whenever a dialog closes.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A program that crashes prints its backtrace and ends. Wine's crash dialog would instead wait
    # for a user forever, with the program's threads (its own time limit among them) suspended.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    # The registry as made, before anything is registered: a copy with it is a fresh machine.
    mkdir -p "$WINEPREFIX/.tovalo-pristine"
    cp "$WINEPREFIX"/*.reg "$WINEPREFIX/.tovalo-pristine/"
    echo "$_wine_env_prefix_version" >"$WINEPREFIX/.tovalo-ready"
  ) 9>"$WINEPREFIX.lock"
}

# The prefix WINEPREFIX as a copy of SOURCE (made first if need be): for a second Wine
# environment beside the first, which needs a wineserver, and so a prefix, of its own. Kept
# between runs while SOURCE is not newer. With "pristine", the copy gets SOURCE's registry as it was
# made, before anything was registered in it: a fresh machine in a moment instead of a wineboot
# of a minute or more (a SOURCE made before such copies were kept gets a wineboot of its own).
wine_env_clone_prefix() { # source [pristine]
  local source=$1 registry=$1
  WINEPREFIX=$source _wine_env_make_prefix
  if [ "${2:-}" = pristine ]; then
    registry=$source/.tovalo-pristine
    [ -f "$registry/system.reg" ] || { _wine_env_make_prefix; return; }
  fi
  (
    flock 9
    [ "$WINEPREFIX/.tovalo-ready" -nt "$source/.tovalo-ready" ] && exit 0
    rm -rf "$WINEPREFIX"
    # Hard links: 600 MB in a moment. Wine writes a prefix's files by replacing them, which leaves
    # the source's alone; the registry, which it writes all the time, is copied outright all the
    # same.
    cp -al "$source" "$WINEPREFIX"
    local reg
    for reg in "$WINEPREFIX"/*.reg; do cp --remove-destination "$registry/$(basename "$reg")" "$reg"; done
    # Its own file, not a link to the source's (which writing through would make newer again).
    rm -f "$WINEPREFIX/.tovalo-ready"
    echo "$_wine_env_prefix_version" >"$WINEPREFIX/.tovalo-ready"
  ) 9>"$WINEPREFIX.lock"
}

wine_env_stop() {
  trap '' INT TERM  # it runs as the script ends: a second TERM must not cut it short
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$_wine_env_xvfb_pid" ]; then
    kill "$_wine_env_xvfb_pid" 2>/dev/null || true
    wait "$_wine_env_xvfb_pid" 2>/dev/null || true
    _wine_env_xvfb_pid=""
  fi
}

# A wineserver of this prefix only, on the display the caller already has (a second environment
# beside a first one; Xlib reaches the first one's display through its socket file).
wine_env_start_server() {
  trap wine_env_stop EXIT
  wineserver -p
}

wine_env_start() {
  _wine_env_make_prefix
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  _wine_env_xvfb_pid=$!
  local display
  read -r display <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$display"
  trap wine_env_stop EXIT
  wineserver -p
}

# Through the real regsvr32, judged by its exit code.
wine_register_ocx() {
  wine regsvr32 /s "$(wine_path "$1")" >/dev/null 2>&1 || { echo "regsvr32 failed for $1" >&2; return 1; }
}

# Made here rather than by winepath, which starts a Wine process for each path.
wine_path() {
  local path=$1
  [[ $path == /* ]] || path=$PWD/$path
  printf 'Z:%s' "${path//\//\\}"
}
