# Sourced after wine-env.sh by what runs Windows programs on a screen of another scale: a copy of
# a Wine prefix whose screen has a given number of dots per inch.
#   wine_dpi_prefix SOURCE DPI   WINEPREFIX (exported, and TOVALO_WINEPREFIX) as SOURCE-dpiDPI: a
#                                copy of SOURCE made from its registry as it was first made, kept
#                                between runs, with LogPixels DPI. Call it before a wineserver of
#                                the copy runs (it keeps the registry in memory and writes it back).

# Wine reads LogPixels when a program starts: from the user's desktop settings, and it keeps its own
# copies for its fonts; all of them say DPI.
_wine_dpi_set() { # prefix dpi
  local hex
  hex=$(printf '%08x' "$2")
  sed -i "s/^\"LogPixels\"=dword:[0-9a-f]*\$/\"LogPixels\"=dword:$hex/" "$1/user.reg" "$1/system.reg"
  awk -v value="\"LogPixels\"=dword:$hex" '
    /^\[/ { desktop = ($0 ~ /^\[Control Panel\\\\Desktop\]/) }
    desktop && /^"LogPixels"=/ { next }
    { print }
    desktop && /^#time=/ { print value }
  ' "$1/user.reg" >"$1/user.reg.dpi" && mv "$1/user.reg.dpi" "$1/user.reg"
}

wine_dpi_prefix() { # source dpi
  export TOVALO_WINEPREFIX=$1-dpi$2
  export WINEPREFIX=$TOVALO_WINEPREFIX
  wine_env_clone_prefix "$1" pristine
  _wine_dpi_set "$WINEPREFIX" "$2"
}
