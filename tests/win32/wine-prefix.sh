#!/bin/sh
# Creates the private Wine prefix named by WINEPREFIX unless it is there already, and
# waits until Wine has finished setting it up.
set -e
: "${WINEPREFIX:?WINEPREFIX must name the private prefix}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i
fi
wineserver -w
