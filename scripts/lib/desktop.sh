# A private virtual desktop: Xvfb at 1920x1080x24 (or DESKTOP_SIZE, such as 3840x2160) on a free
# display number, openbox as window manager, xcompmgr as compositing manager (without one, the
# transparent overlay shows black over the game) and trayer as tray host. Sourced by scripts/test and scripts/demo.
#
#   start_desktop      exports DISPLAY; returns non-zero if a piece did not come up
#   stop_desktop       stops exactly the processes start_desktop started

DESKTOP_PIDS=()
DESKTOP_DIR=""

wait_until() { # wait_until <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# xcompmgr names the window that holds the compositing selection (_NET_WM_CM_S0) after itself.
compositor_ready() { xwininfo -root -children | grep -q '"xcompmgr"'; }
window_manager_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
# trayer maps its panel and keeps a hidden window that owns the tray selection; both carry its name.
tray_ready() { [ "$(xwininfo -root -tree | grep -c '"trayer"')" -ge 2 ]; }

start_desktop() {
  DESKTOP_DIR=$(mktemp -d /tmp/corvanta-desktop.XXXXXX)
  # -displayfd: Xvfb picks a free display number itself and writes it once it accepts clients.
  Xvfb -displayfd 3 -screen 0 "${DESKTOP_SIZE:-1920x1080}x24" -nolisten tcp 3>"$DESKTOP_DIR/display" \
    >"$DESKTOP_DIR/xvfb.log" 2>&1 &
  DESKTOP_PIDS+=($!)
  wait_until 15 grep -q '[0-9]' "$DESKTOP_DIR/display" || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n 1 "$DESKTOP_DIR/display")"

  openbox --sm-disable >"$DESKTOP_DIR/openbox.log" 2>&1 &
  DESKTOP_PIDS+=($!)
  wait_until 15 window_manager_ready || { echo "openbox did not start" >&2; return 1; }

  xcompmgr -n >"$DESKTOP_DIR/xcompmgr.log" 2>&1 &
  DESKTOP_PIDS+=($!)
  wait_until 15 compositor_ready || { echo "xcompmgr did not start" >&2; return 1; }

  trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
    >"$DESKTOP_DIR/trayer.log" 2>&1 &
  DESKTOP_PIDS+=($!)
  wait_until 15 tray_ready || { echo "trayer did not start" >&2; return 1; }
  echo "virtual desktop on DISPLAY=$DISPLAY (Xvfb, openbox, xcompmgr, trayer)"
}

stop_desktop() {
  local i
  for ((i = ${#DESKTOP_PIDS[@]} - 1; i >= 0; i--)); do
    kill "${DESKTOP_PIDS[i]}" 2>/dev/null || true
    wait "${DESKTOP_PIDS[i]}" 2>/dev/null || true
  done
  DESKTOP_PIDS=()
  [ -n "$DESKTOP_DIR" ] && rm -rf "$DESKTOP_DIR"
  DESKTOP_DIR=""
}
