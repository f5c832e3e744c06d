# Shared helpers of the end-to-end tests; sourced, not run.
# Each test gets a private Xvfb (on a display number drawn at random), a private
# sound server with a null sink, and a work folder; all go away on exit. The
# server is PulseAudio, or PipeWire with its pulse server when
# E2E_SERVER=pipewire; the program and the tools reach either through the
# same pulse socket. E2E_MIN_QUANTUM sets PipeWire's smallest quantum, as a
# user may. E2E_SERVER=jack is JACK's dummy device alone (E2E_JACK_PERIOD
# frames a cycle), heard through E2E_JACK_MONITOR (jack_monitor.cpp).
#
# Positions given to e2e_click are relative to the 300x300 content below the
# menu bar. Recordings are 48 kHz mono s16le from the null sink's monitor;
# positions in a recording are sample numbers.

set -uo pipefail
# shellcheck source=pipewire_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/pipewire_server.sh"

readonly E2E_RATE=48000
readonly E2E_TITLE='Velumbra 17'
# Full scale is 32767; a note of the piece peaks in the thousands. Silence is
# judged at -60 dBFS, sound at -40 dBFS.
readonly E2E_SILENCE_LEVEL=33
readonly E2E_SOUND_LEVEL=328
readonly E2E_SERVER=${E2E_SERVER:-pulse}
readonly E2E_MIN_QUANTUM=${E2E_MIN_QUANTUM:-}
readonly E2E_JACK_PERIOD=${E2E_JACK_PERIOD:-1024}
readonly E2E_JACK_MONITOR=${E2E_JACK_MONITOR:-jack_monitor}

E2E_DIR=''
E2E_FAILED=0
E2E_PIDS_X=''
E2E_SERVER_PIDS=()
E2E_APP_PID=''
E2E_REC_PID=''
E2E_REC_FILE=''
E2E_ONSET=-1
E2E_CONTENT_X=0
E2E_CONTENT_Y=0

e2e_log() { printf '[%s] %s\n' "$(date +%T.%3N)" "$*"; }
e2e_fail() {
  printf '[%s] FAIL: %s\n' "$(date +%T.%3N)" "$*"
  E2E_FAILED=1
}
e2e_pass() { printf '[%s] ok: %s\n' "$(date +%T.%3N)" "$*"; }
# Ends the test now: later steps would only fail for the same cause.
e2e_abort() {
  e2e_fail "$*"
  e2e_keep_recording
  e2e_dump_logs
  exit 1
}
e2e_check() { # description, command...
  local what=$1
  shift
  if "$@"; then e2e_pass "$what"; else e2e_fail "$what"; fi
}

# Milliseconds since the epoch, without starting a process.
e2e_now_ms() {
  local us=${EPOCHREALTIME/[.,]/}
  echo $((us / 1000))
}

e2e_dump_logs() {
  local f
  for f in "$E2E_DIR"/app*.err; do
    [[ -s $f ]] || continue
    echo "--- $(basename "$f") (last lines) ---"
    tail -n 20 "$f"
  done
  # The servers warn about running as root, D-Bus and real-time priority;
  # only their errors matter.
  for f in "$E2E_DIR/pulse.log" "$E2E_DIR"/pipewire/*.log "$E2E_DIR/jackd.log" "$E2E_DIR/xvfb.log" \
    "$E2E_DIR/parec.err"; do
    grep -a -E '^E:|^\[E\]|^E |error|fatal|^Cannot' "$f" 2>/dev/null | tail -n 10 | sed "s|^|$(basename "$f"): |"
  done
  # Which of the program's ports it heard, if any.
  [[ -s $E2E_DIR/monitor.err ]] && sed 's/^/monitor.err: /' "$E2E_DIR/monitor.err" | tail -n 10
}

e2e_stop_pid() { # pid: TERM, then KILL if it lingers
  local pid=$1 i
  [[ -n $pid ]] || return 0
  kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
  kill -TERM "$pid" 2>/dev/null
  for ((i = 0; i < 50; i++)); do
    e2e_pid_ended "$pid" && break
    sleep 0.05
  done
  e2e_pid_ended "$pid" || kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

e2e_cleanup() {
  local status=$?
  e2e_stop_pid "$E2E_REC_PID"
  e2e_stop_pid "$E2E_APP_PID"
  e2e_stop_sound_server
  e2e_stop_pid "$PIPEWIRE_BUS_PID"
  e2e_stop_pid "$E2E_PIDS_X"
  [[ -n $E2E_DIR && -d $E2E_DIR ]] && rm -rf "$E2E_DIR"
  if ((status == 0 && E2E_FAILED != 0)); then status=1; fi
  if ((status == 0)); then echo "PASSED"; elif ((status == 77)); then echo "SKIPPED"; else echo "FAILED"; fi
  exit "$status"
}

e2e_finish() {
  if ((E2E_FAILED)); then
    e2e_keep_recording
    e2e_dump_logs
    exit 1
  fi
  exit 0
}

# Makes the work folder and installs the clean-up; call first. A recording
# named by E2E_RECORDING_NAME is kept among the artifacts when a check fails;
# one left by an earlier run goes now, so that it cannot mislead.
e2e_init() {
  local tool
  [[ -n ${E2E_ARTIFACTS:-} && -n ${E2E_RECORDING_NAME:-} ]] && rm -f "$E2E_ARTIFACTS/$E2E_RECORDING_NAME.wav"
  local server_tools=(pulseaudio)
  [[ $E2E_SERVER == pipewire ]] && server_tools=(pipewire wireplumber pipewire-pulse dbus-daemon)
  [[ $E2E_SERVER == pipewire && -n $E2E_MIN_QUANTUM ]] && server_tools+=(pw-metadata pw-profiler)
  if [[ $E2E_SERVER == jack ]]; then
    command -v jackd >/dev/null || { echo "jackd is not installed: skipped"; exit 77; }
    server_tools=(jack_lsp "$E2E_JACK_MONITOR")
  fi
  for tool in Xvfb xdotool xwininfo "${server_tools[@]}" parec pactl sox; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/install-deps.sh test)"; exit 1; }
  done
  E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/velumbra-e2e.XXXXXX") || exit 1
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM HUP
  mkdir -p "$E2E_DIR/home" "$E2E_DIR/runtime" "$E2E_DIR/pulse"
  chmod 700 "$E2E_DIR/runtime"
  export HOME="$E2E_DIR/home"
  export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
  export XDG_CONFIG_HOME="$E2E_DIR/home/.config"
  export PULSE_RUNTIME_PATH="$E2E_DIR/pulse"
  export PULSE_STATE_PATH="$E2E_DIR/pulse"
  # Never reach a user's own sound server, nor start one behind our back.
  printf 'autospawn = no\n' >"$E2E_DIR/client.conf"
  export PULSE_CLIENTCONFIG="$E2E_DIR/client.conf"
  export PULSE_SERVER="unix:$E2E_DIR/pulse/native"
  # JACK's clients likewise: a server of this test's own name, never one started for them.
  export JACK_DEFAULT_SERVER="velumbra-e2e-${E2E_DIR##*.}"
  export JACK_NO_START_SERVER=1
  unset WAYLAND_DISPLAY PULSE_SINK PULSE_SOURCE
  # The suite may run with QT_QPA_PLATFORM=offscreen; these tests need real X windows.
  export QT_QPA_PLATFORM=xcb
}

# Starts Xvfb on a display number drawn at random; returns 1 if it does not
# answer. Servers started side by side with -displayfd all reach for the
# lowest free number at once, and the loser of that race answers once, then
# goes; a random number in a wide range keeps them apart.
e2e_try_start_x() {
  local i number=$((100 + RANDOM % 5000))
  E2E_PIDS_X=''
  : >"$E2E_DIR/xvfb.log"
  [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]] && return 1
  export DISPLAY=":$number"
  # -noreset: a server whose last client leaves resets, and a client that
  # connects during the reset is refused (our own xwininfo calls leave it so).
  Xvfb "$DISPLAY" -noreset -screen 0 1024x768x24 -nolisten tcp >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_PIDS_X=$!
  for ((i = 0; i < 200; i++)); do
    xwininfo -root >/dev/null 2>&1 && break
    e2e_pid_ended "$E2E_PIDS_X" && return 1
    sleep 0.05
  done
  # Asked twice: a server that lost a race for its display answers once, then goes.
  sleep 0.2
  xwininfo -root >/dev/null 2>&1 && ! e2e_pid_ended "$E2E_PIDS_X"
}

e2e_start_x() {
  local attempt
  for attempt in 1 2 3 4 5; do
    if e2e_try_start_x; then
      e2e_log "Xvfb on $DISPLAY"
      return 0
    fi
    e2e_log "Xvfb on ${DISPLAY:-?} did not answer (attempt $attempt): $(tail -n 2 "$E2E_DIR/xvfb.log" | tr '\n' ' ')"
    e2e_stop_pid "$E2E_PIDS_X"
  done
  e2e_abort "Xvfb did not start with a display that answers"
}

e2e_start_pulse() {
  local i
  cat >"$E2E_DIR/pulse.pa" <<EOF
load-module module-native-protocol-unix socket=$E2E_DIR/pulse/native auth-anonymous=1
load-module module-null-sink sink_name=e2e_sink rate=$E2E_RATE channels=2
set-default-sink e2e_sink
EOF
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --use-pid-file=no \
    --realtime=no --high-priority=no --log-target=stderr -F "$E2E_DIR/pulse.pa" \
    >"$E2E_DIR/pulse.log" 2>&1 &
  E2E_SERVER_PIDS=($!)
  for ((i = 0; i < 200; i++)); do
    pactl info >/dev/null 2>&1 && break
    e2e_pid_ended "${E2E_SERVER_PIDS[0]}" && break
    sleep 0.05
  done
  pactl info >/dev/null 2>&1 || e2e_abort "PulseAudio did not start"
  e2e_log "PulseAudio at $PULSE_SERVER"
}

# PipeWire with the same sink, rate and socket. The session bus and
# WirePlumber's state outlive a restart of the sound server, as on a desktop.
e2e_start_pipewire() {
  local i
  if [[ -z $PIPEWIRE_BUS_PID ]]; then
    pipewire_configure "$E2E_DIR/pipewire" e2e_sink $E2E_RATE "$E2E_DIR/pulse/native"
    pipewire_start_bus || e2e_abort "dbus-daemon did not start"
  fi
  pipewire_start || e2e_abort "pipewire did not start"
  E2E_SERVER_PIDS=("${PIPEWIRE_PIDS[@]}")
  for ((i = 0; i < 200; i++)); do
    pipewire_ready e2e_sink && break
    sleep 0.05
  done
  pipewire_ready e2e_sink || e2e_abort "PipeWire did not start with e2e_sink as its default sink"
  if [[ -n $E2E_MIN_QUANTUM ]]; then
    pipewire_set_quantum min "$E2E_MIN_QUANTUM" || e2e_abort "PipeWire did not take clock.min-quantum $E2E_MIN_QUANTUM"
  fi
  e2e_log "$(pactl info | sed -n 's/^Server Name: //p') at $PULSE_SERVER"
}

# JACK's dummy device and nothing else: neither PulseAudio nor ALSA must
# answer the program, which tries them first. ALSA gets a configuration
# without devices, as a card of the machine's would otherwise answer.
e2e_start_jack() {
  local i
  : >"$E2E_DIR/alsa.conf"
  export ALSA_CONFIG_PATH="$E2E_DIR/alsa.conf"
  pactl info >/dev/null 2>&1 && e2e_abort "a PulseAudio server answers at $PULSE_SERVER"
  jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r $E2E_RATE -p "$E2E_JACK_PERIOD" \
    >"$E2E_DIR/jackd.log" 2>&1 &
  E2E_SERVER_PIDS=($!)
  for ((i = 0; i < 200; i++)); do
    jack_lsp >/dev/null 2>&1 && break
    e2e_pid_ended "${E2E_SERVER_PIDS[0]}" && break
    sleep 0.05
  done
  jack_lsp >/dev/null 2>&1 || e2e_abort "jackd did not start"
  e2e_log "JACK's dummy device as $JACK_DEFAULT_SERVER, $E2E_JACK_PERIOD frames a cycle"
}

e2e_start_sound_server() {
  case $E2E_SERVER in
    pulse) e2e_start_pulse ;;
    pipewire) e2e_start_pipewire ;;
    jack) e2e_start_jack ;;
    *) e2e_abort "E2E_SERVER must be pulse, pipewire or jack, not $E2E_SERVER" ;;
  esac
}

# Stops the sound server's processes, the last started first.
e2e_stop_sound_server() {
  local i
  for ((i = ${#E2E_SERVER_PIDS[@]} - 1; i >= 0; i--)); do e2e_stop_pid "${E2E_SERVER_PIDS[i]}"; done
  E2E_SERVER_PIDS=()
  # A jackd that had to be killed leaves its socket and semaphores behind.
  if [[ $E2E_SERVER == jack ]]; then
    rm -f /dev/shm/jack_"$JACK_DEFAULT_SERVER"_* /dev/shm/jack_sem.*_"$JACK_DEFAULT_SERVER"_*
  fi
}

# Every process of the sound server dies at once (disowned: no "Killed" lines).
e2e_kill_sound_server() {
  local pid
  disown "${E2E_SERVER_PIDS[@]}" 2>/dev/null
  kill -KILL "${E2E_SERVER_PIDS[@]}" 2>/dev/null
  for pid in "${E2E_SERVER_PIDS[@]}"; do
    while ! e2e_pid_ended "$pid"; do sleep 0.01; done
  done
  E2E_SERVER_PIDS=()
}

# Freezes (STOP) or thaws (CONT) every process of the sound server.
e2e_signal_sound_server() { kill "-$1" "${E2E_SERVER_PIDS[@]}"; }

# A child that has exited but not been waited for is a zombie: kill -0 still
# succeeds on it, so look at its state.
e2e_pid_ended() {
  local stat
  [[ -r /proc/$1/stat ]] || return 0
  read -r stat <"/proc/$1/stat" 2>/dev/null || return 0
  stat=${stat##*) }
  [[ ${stat:0:1} == Z || ${stat:0:1} == X ]]
}

e2e_running() { [[ -n $E2E_APP_PID ]] && ! e2e_pid_ended "$E2E_APP_PID"; }

# Starts the program; extra arguments are run before it (e.g. env -u X).
# Its stderr goes to $E2E_DIR/app<N>.err, named in E2E_APP_ERR.
E2E_APP_RUNS=0
e2e_start_app() {
  E2E_APP_RUNS=$((E2E_APP_RUNS + 1))
  E2E_APP_ERR="$E2E_DIR/app$E2E_APP_RUNS.err"
  "$@" "$E2E_BINARY" >"$E2E_DIR/app$E2E_APP_RUNS.out" 2>"$E2E_APP_ERR" &
  E2E_APP_PID=$!
}

# Waits up to timeout_ms for the program to end; sets E2E_EXIT_STATUS and
# E2E_EXIT_MS (time from `since`, in ms since the epoch, else from the call;
# -1 and status -1 if it did not end).
e2e_wait_exit() {
  local timeout_ms=$1 start=${2:-} now
  [[ -n $start ]] || start=$(e2e_now_ms)
  E2E_EXIT_MS=-1
  E2E_EXIT_STATUS=-1
  while :; do
    now=$(e2e_now_ms)
    if e2e_pid_ended "$E2E_APP_PID"; then
      E2E_EXIT_MS=$((now - start))
      wait "$E2E_APP_PID"
      E2E_EXIT_STATUS=$?
      E2E_APP_PID=''
      return 0
    fi
    ((now - start > timeout_ms)) && return 1
    sleep 0.01
  done
}

# Visible top-level windows titled exactly like the program; menus (override-
# redirect popups) do not count.
e2e_windows() {
  local win
  for win in $(xdotool search --onlyvisible --name "^${E2E_TITLE}\$" 2>/dev/null); do
    xwininfo -id "$win" 2>/dev/null | grep -q 'Override Redirect State: no' && echo "$win"
  done
}
e2e_window_count() { e2e_windows | wc -l; }

# Polls until the number of visible "Velumbra 17" windows is n (timeout in ms).
e2e_wait_window_count() {
  local n=$1 timeout_ms=${2:-10000} start
  start=$(e2e_now_ms)
  while (($(e2e_window_count) != n)); do
    (($(e2e_now_ms) - start > timeout_ms)) && return 1
    if [[ -n $E2E_APP_PID ]] && e2e_pid_ended "$E2E_APP_PID"; then return 1; fi
    sleep 0.05
  done
}

# Geometry of a window: sets E2E_GEOM_X E2E_GEOM_Y E2E_GEOM_W E2E_GEOM_H.
e2e_geometry() {
  local info
  info=$(xwininfo -id "$1" 2>/dev/null) || return 1
  E2E_GEOM_X=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
  E2E_GEOM_Y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
  E2E_GEOM_W=$(awk '/Width:/ {print $2}' <<<"$info")
  E2E_GEOM_H=$(awk '/Height:/ {print $2}' <<<"$info")
}

# Waits for the main window and works out where its content begins.
# Sets E2E_MAIN_WIN, E2E_CONTENT_X/Y and E2E_BAR_H.
e2e_wait_main_window() {
  local timeout_ms=${1:-20000} start win
  start=$(e2e_now_ms)
  E2E_MAIN_WIN=''
  while [[ -z $E2E_MAIN_WIN ]]; do
    for win in $(e2e_windows); do
      e2e_geometry "$win" || continue
      # The main window is the one 300 wide with the content at its bottom.
      if ((E2E_GEOM_W == 300 && E2E_GEOM_H > 300)); then E2E_MAIN_WIN=$win; fi
    done
    [[ -n $E2E_MAIN_WIN ]] && break
    (($(e2e_now_ms) - start > timeout_ms)) && { e2e_log "no main window after ${timeout_ms} ms"; return 1; }
    if e2e_pid_ended "$E2E_APP_PID"; then
      wait "$E2E_APP_PID"
      e2e_log "the program ended before its window appeared (exit status $?)"
      return 1
    fi
    sleep 0.1
  done
  E2E_BAR_H=$((E2E_GEOM_H - 300))
  E2E_CONTENT_X=$E2E_GEOM_X
  E2E_CONTENT_Y=$((E2E_GEOM_Y + E2E_BAR_H))
  # Without a window manager nothing gives focus; keys go to the focus window.
  xdotool windowfocus --sync "$E2E_MAIN_WIN" 2>/dev/null || true
  e2e_wait_painted 115 140 70 20 || { e2e_log "the window was never painted"; return 1; }
}

# The window is mapped before Qt has painted it: wait until a region shows
# more than a flat background (x y w h, content coordinates).
e2e_wait_painted() {
  local start colors
  start=$(e2e_now_ms)
  while :; do
    e2e_grab "$E2E_DIR/paint.png" "$@"
    colors=$(identify -format '%k' "$E2E_DIR/paint.png" 2>/dev/null || echo 0)
    ((colors > 2)) && return 0
    (($(e2e_now_ms) - start > 10000)) && return 1
    sleep 0.1
  done
}

e2e_move() { xdotool mousemove --sync $((E2E_CONTENT_X + $1)) $((E2E_CONTENT_Y + $2)); }
# "click" alone holds the button for ~100 ms; a push button acts on release.
e2e_click() { e2e_move "$1" "$2" && xdotool click --delay 0 1; }
e2e_click_named() { e2e_click ${E2E_AT[$1]}; }

# Clicks a control and works out where in the recording the button went up.
# The recording file lags real time by a varying amount (parec may be slow to
# write on a loaded machine), while the sink itself runs in real time. Each
# reading (length L at time t, read after L) bounds the real position from
# below: P(T) >= L + rate * (T - t). The best of several readings around the
# click gives E2E_CLICK_POS for the moment just before the release (the
# click cannot be earlier, so delays measured from it are upper bounds), and
# E2E_CLICK_POS_AFTER for the moment mouseup returned.
e2e_timed_click() {
  local readings=() i t_down t_up t_after best=0 reading len t bound
  e2e_move ${E2E_AT[$1]} || return 1
  t_down=${EPOCHREALTIME/[.,]/}
  xdotool mousedown 1
  for ((i = 0; i < 4; i++)); do readings+=("$(e2e_reading)"); done
  t_up=${EPOCHREALTIME/[.,]/}
  xdotool mouseup 1
  t_after=${EPOCHREALTIME/[.,]/}
  for ((i = 0; i < 8; i++)); do readings+=("$(e2e_reading)"); sleep 0.01; done
  best=-1
  for reading in "${readings[@]}"; do
    read -r len t <<<"$reading"
    bound=$((len + (t_up - t) * E2E_RATE / 1000000))
    ((bound > best)) && best=$bound
  done
  E2E_CLICK_POS=$best
  E2E_HELD_MS=$(((t_up - t_down) / 1000))
  E2E_CLICK_POS_AFTER=$((best + (t_after - t_up) * E2E_RATE / 1000000))
}

# Judges a delay measured in samples from E2E_CLICK_POS against a bound in ms.
# Measured from just before the release it can only be too long, from just
# after it too short; when the bound lies between the two (xdotool itself was
# slow to run), the measurement says nothing and returns 2. Logs both figures.
e2e_judge_delay() {
  local what=$1 samples=$2 bound=$3 early late
  early=$(e2e_ms "$samples")
  late=$(e2e_ms $((samples - (E2E_CLICK_POS_AFTER - E2E_CLICK_POS))))
  e2e_log "$what: $early ms after the click ($late ms counted from when the release had surely happened; the button was held $E2E_HELD_MS ms)"
  if ((early <= bound)); then
    e2e_pass "$what: within $bound ms"
  elif ((late > bound)); then
    e2e_fail "$what: over $bound ms"
    return 1
  else
    e2e_log "$what: inconclusive, xdotool took $((early - late)) ms to release the button; measuring again"
    return 2
  fi
}

# "length time_us": the recording's length, then the time it was surely reached.
e2e_reading() {
  local len
  len=$(e2e_record_pos)
  echo "$len ${EPOCHREALTIME/[.,]/}"
}

# Centres of the controls, in content coordinates.
declare -A E2E_AT=(
  [start]='150 150' [stop]='150 250'
  ['one shot']='45 30' [looped]='195 30' [original]='195 85' ['one shot with ending']='45 85'
)

# Grabs a region of the content (x y w h) into a PNG file.
e2e_grab() {
  local file=$1 x=$2 y=$3 w=$4 h=$5
  import -window root -crop "${w}x${h}+$((E2E_CONTENT_X + x))+$((E2E_CONTENT_Y + y))" +repage "$file" 2>/dev/null
}

# Number of differing pixels between two PNG files of one size; "error" if
# they could not be compared.
e2e_pixels_differ() {
  compare -metric AE "$1" "$2" null: 2>&1 | awk '$1 ~ /^[0-9.e+]+$/ {print int($1 + 0); next} {print "error"}'
}

# The open popup menu of the program, if any: override-redirect, unlike boxes.
e2e_popup() {
  xdotool search --onlyvisible --classname velumbra17 2>/dev/null | while read -r w; do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && echo "$w"
  done | head -n 1
}

# Clicks the title of the first menu, at the left of the menu bar, and waits
# for its popup: E2E_MENU_WIN, its corner E2E_MENU_X/Y, its height E2E_MENU_H.
e2e_open_first_menu() {
  local start
  xdotool mousemove --sync $((E2E_CONTENT_X + 30)) $((E2E_CONTENT_Y - E2E_BAR_H / 2)) click --delay 0 1
  start=$(e2e_now_ms)
  while E2E_MENU_WIN=$(e2e_popup); [[ -z $E2E_MENU_WIN ]]; do
    (($(e2e_now_ms) - start > 3000)) && return 1
    sleep 0.05
  done
  local info
  info=$(xwininfo -id "$E2E_MENU_WIN") || return 1
  E2E_MENU_X=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
  E2E_MENU_Y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
  E2E_MENU_H=$(awk '/Height:/ {print $2}' <<<"$info")
}

# Presses Return in a message box: the newest "Velumbra 17" window that is
# not the main one, focused first as no window manager does it.
e2e_dismiss_box() {
  local win
  win=$(e2e_windows | while read -r w; do [[ $w != "$E2E_MAIN_WIN" ]] && echo "$w"; done | tail -n 1)
  [[ -n $win ]] || return 1
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool key --clearmodifiers Return
}

# --- recording -------------------------------------------------------------

# A private display and sound server, with the sink's monitor being recorded.
e2e_start_session() {
  e2e_init
  e2e_start_x
  e2e_start_sound_server
  e2e_record_start
}

# --no-wait: return at once (a new server's monitor takes seconds to deliver).
e2e_record_start() {
  E2E_REC_FILE="$E2E_DIR/rec$(date +%s%N).raw"
  : >"$E2E_REC_FILE"
  if [[ $E2E_SERVER == jack ]]; then
    "$E2E_JACK_MONITOR" >"$E2E_REC_FILE" 2>"$E2E_DIR/monitor.err" &
  else
    parec -d e2e_sink.monitor --rate=$E2E_RATE --channels=1 --format=s16le --raw \
      --latency-msec=5 >"$E2E_REC_FILE" 2>"$E2E_DIR/parec.err" &
  fi
  E2E_REC_PID=$!
  [[ ${1:-} == --no-wait ]] && return 0
  local i quantum
  for ((i = 0; i < 100; i++)); do
    [[ -s $E2E_REC_FILE ]] && break
    sleep 0.05
  done
  [[ -s $E2E_REC_FILE ]] || e2e_abort "the sink's monitor records nothing"
  # The graph runs now: the quantum asked for must be the one in force.
  if [[ $E2E_SERVER == pipewire && -n $E2E_MIN_QUANTUM ]]; then
    quantum=$(pipewire_driver_quantum $E2E_RATE)
    e2e_log "PipeWire's driver runs at a quantum of $quantum frames"
    if ! [[ $quantum =~ ^[0-9]+$ ]] || ((quantum < E2E_MIN_QUANTUM)); then
      e2e_abort "the quantum in force is '$quantum', not at least $E2E_MIN_QUANTUM"
    fi
  fi
  return 0
}

# Samples recorded so far: the position of "now" in the recording.
e2e_record_pos() { echo $(($(stat -c %s "$E2E_REC_FILE") / 2)); }

# Waits until the recording holds at least the given sample position.
e2e_record_until() {
  local pos=$1 timeout_ms=${2:-10000} start
  start=$(e2e_now_ms)
  while (($(e2e_record_pos) < pos)); do
    (($(e2e_now_ms) - start > timeout_ms)) && return 1
    sleep 0.05
  done
}

e2e_sox_in() { sox -t raw -r $E2E_RATE -e signed -b 16 -c 1 "$E2E_REC_FILE" "$@"; }

# Absolute sample values of [from, from+len) (len empty: to the end), one a line.
e2e_samples() {
  local from=$1 len=${2:-}
  e2e_sox_in -t raw - trim "${from}s" ${len:+"${len}s"} 2>/dev/null |
    od -An -v -td2 -w2 | awk '{print ($1 < 0 ? -$1 : $1)}'
}

# Peak level (0..32768) of [from, from+len), measured by sox; "none" if sox
# could not read it, which no numeric comparison accepts.
e2e_peak() {
  e2e_sox_in -n trim "${1}s" "${2}s" stat 2>&1 |
    awk '/Maximum amplitude/ {max=$3; seen=1} /Minimum amplitude/ {min=-$3}
         END {if (!seen) {print "none"; exit}
              if (min > max) max = min; printf "%d\n", max * 32768 + 0.5}'
}

# Samples from `from` to the first sample at or above the sound level; -1 if none.
e2e_onset() {
  e2e_samples "$1" | awk -v t=$E2E_SOUND_LEVEL '$1 >= t {print NR - 1; found = 1; exit}
                                               END {if (!found) print -1}'
}

# Samples from `from` to just after the last sample above the given level
# within [from, from+len); 0 if none is, -1 if nothing could be read.
e2e_last_above() {
  e2e_samples "$1" "$2" | awk -v t="$3" '$1 > t {last = NR} END {print (NR ? last + 0 : -1)}'
}

e2e_ms() { echo $(($1 * 1000 / E2E_RATE)); }

# Clicks start and records 2 s: E2E_ONSET is where the sound began, in
# samples from the click (-1: none).
e2e_start_and_listen() {
  e2e_timed_click start
  local click=$E2E_CLICK_POS
  e2e_record_until $((click + E2E_RATE * 2)) 15000 || e2e_abort "the recording stalled"
  E2E_ONSET=$(e2e_onset "$click")
  e2e_log "sound $(e2e_ms "$E2E_ONSET") ms after the start click (-1: none)"
}

e2e_show_stderr() { sed 's/^/    stderr: /' "$E2E_APP_ERR"; }

# The program sounded until `from` and has ended at `exit_pos` (recording
# positions): the sink is silent after the exit, and the sound faded rather
# than stopping mid-note, which clicks. Faded, its last 3 ms above -72 dBFS
# lie at least 18 dB below the note.
e2e_check_faded_out() { # label, from, exit_pos
  local label=$1 from=$2 exit_pos=$3 before peak end tail
  before=$(e2e_peak $((from - E2E_RATE * 3 / 10)) $((E2E_RATE * 3 / 10)))
  e2e_check "$label: sounding just before (peak $before)" test "$before" -ge $E2E_SOUND_LEVEL
  e2e_record_until $((exit_pos + E2E_RATE / 2)) 10000 || e2e_abort "the recording stalled"
  peak=$(e2e_peak "$exit_pos" $((E2E_RATE / 2)))
  e2e_check "$label: the sink is silent after the exit (peak $peak)" test "$peak" -le $E2E_SILENCE_LEVEL
  end=$(e2e_last_above "$from" $((exit_pos + E2E_RATE / 2 - from)) 8)
  tail=$(e2e_peak $((from + end - E2E_RATE * 3 / 1000)) $((E2E_RATE * 3 / 1000)))
  e2e_log "$label: sound ends $(e2e_ms "$end") ms after; peak of its last 3 ms $tail, before $before"
  e2e_check "$label: the sound fades out (last 3 ms peak $tail, at most 1/8 of $before)" \
    test $((tail * 8)) -le "$before"
}

# Keeps the recording (as WAV) among the artifacts.
e2e_keep_recording() {
  [[ -n ${E2E_ARTIFACTS:-} && -n ${E2E_RECORDING_NAME:-} && -s $E2E_REC_FILE ]] || return 0
  mkdir -p "$E2E_ARTIFACTS"
  e2e_sox_in "$E2E_ARTIFACTS/$E2E_RECORDING_NAME.wav" 2>/dev/null &&
    echo "recording kept as $E2E_ARTIFACTS/$E2E_RECORDING_NAME.wav"
}
