# Sourced by the scripts that need a private X display (the Windows program's tests and
# screenshots, the packages' test). vexal_start_xvfb [SCREEN] starts Xvfb on a display
# number it picks itself (no race with another Xvfb starting at the same moment), waits
# until it accepts connections, exports DISPLAY and sets xvfb_pid for the caller's clean-up.
# -noreset keeps a root-window pixmap when the last client disconnects.
vexal_start_xvfb() {
    local screen="${1:-1280x800x24}" number
    number="$(mktemp)"
    Xvfb -displayfd 1 -noreset -nolisten tcp -screen 0 "$screen" >"$number" 2>/dev/null &
    xvfb_pid=$!
    # Up to a minute: on a machine with both processors busy Xvfb can take seconds.
    for _ in $(seq 600); do
        [ -s "$number" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$number" ]; then
        rm -f "$number"
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$number")"
    rm -f "$number"
}
