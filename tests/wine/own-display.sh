# Sourced by window tests. start_own_display starts an Xvfb display that no
# other test uses (windows of tests running beside this one must not stand in
# front of the window being photographed or clicked), exports DISPLAY, sets
# $xvfb to its process id and returns once the display accepts clients. The
# caller's EXIT trap kills "$xvfb".
start_own_display() {
  local n
  for n in $(shuf -i 200-400 -n 50); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}
