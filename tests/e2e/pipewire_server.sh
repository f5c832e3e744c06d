# A private PipeWire as a desktop runs it, on a machine without a user session
# of systemd or a sound card; sourced by e2e_lib.sh and bench/scripts/common.sh.
#
# Three servers: pipewire (the graph) with a null sink, WirePlumber (the
# session manager, which makes that sink the default) and pipewire-pulse (the
# PulseAudio protocol). The sink is an object of pipewire itself, so it
# outlives a restart of pipewire-pulse, and it drives the graph on its own
# timer as a sound card's clock would. WirePlumber quits without a session bus,
# hence a private dbus-daemon. A mono recording of the stereo sink gets the
# mean of its channels, as PulseAudio gives it, not their sum at -3 dB each,
# so that levels read the same on both servers. The caller owns
# XDG_RUNTIME_DIR (mode 700), where the sockets go; configuration, state and
# logs go to PIPEWIRE_DIR.

PIPEWIRE_DIR=''
PIPEWIRE_BUS_PID=''
PIPEWIRE_PIDS=()  # pipewire, wireplumber, pipewire-pulse

# folder, sink name, rate, path of the pulse socket
pipewire_configure() {
  local sink=$2 rate=$3 socket=$4
  PIPEWIRE_DIR=$1
  local config=$PIPEWIRE_DIR/config/pipewire
  mkdir -p "$config/pipewire.conf.d" "$config/pipewire-pulse.conf.d" "$PIPEWIRE_DIR/state" \
    "$(dirname "$socket")"
  cat >"$config/pipewire.conf.d/null-sink.conf" <<EOF
context.properties = {
    default.clock.rate = $rate
    default.clock.allowed-rates = [ $rate ]
}
context.objects = [
    { factory = adapter
        args = {
            factory.name = support.null-audio-sink
            node.name = $sink
            node.description = $sink
            media.class = Audio/Sink
            audio.rate = $rate
            audio.position = [ FL FR ]
            node.driver = true
            object.linger = true
        }
    }
]
EOF
  cat >"$config/pipewire-pulse.conf.d/socket.conf" <<EOF
pulse.properties = {
    server.address = [ "unix:$socket" ]
}
stream.properties = {
    channelmix.normalize = true
}
EOF
}

pipewire_start_bus() {
  local i
  rm -f "$XDG_RUNTIME_DIR/bus"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus" \
    >>"$PIPEWIRE_DIR/dbus-daemon.log" 2>&1 &
  PIPEWIRE_BUS_PID=$!
  for ((i = 0; i < 100; i++)); do
    [[ -S $XDG_RUNTIME_DIR/bus ]] && return 0
    sleep 0.05
  done
  return 1
}

# Not on the display: a server that held a connection to it would die with it.
pipewire_run() {
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$PIPEWIRE_DIR/config" \
    XDG_STATE_HOME="$PIPEWIRE_DIR/state" DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus" \
    "$1" >>"$PIPEWIRE_DIR/$1.log" 2>&1 &
  PIPEWIRE_PIDS+=($!)
}

# The three servers, the bus being up. The other two quit at once if pipewire's
# socket is not there yet, so they wait for it; a killed pipewire leaves its
# socket behind, hence the removal first.
pipewire_start() {
  local i
  PIPEWIRE_PIDS=()
  rm -f "$XDG_RUNTIME_DIR/pipewire-0"
  pipewire_run pipewire
  for ((i = 0; i < 100; i++)); do
    [[ -S $XDG_RUNTIME_DIR/pipewire-0 ]] && break
    sleep 0.05
  done
  [[ -S $XDG_RUNTIME_DIR/pipewire-0 ]] || return 1
  pipewire_run wireplumber
  pipewire_run pipewire-pulse
}

# True once the pulse server answers with the sink as its default sink and the
# sink's monitor as its default source (WirePlumber has chosen them).
pipewire_ready() {
  local sink=$1
  [[ $(pactl get-default-sink 2>/dev/null) == "$sink" &&
    $(pactl get-default-source 2>/dev/null) == "$sink.monitor" ]]
}

# Sets clock.KIND-quantum (KIND min, max or force) in the running server's
# settings, as a user tunes a device for larger buffers; true once it reads back.
pipewire_set_quantum() {
  local kind=$1 frames=$2 settings
  pw-metadata -n settings 0 "clock.$kind-quantum" "$frames" >/dev/null
  # Read into a variable: grep -q ending the pipe early would fail it under pipefail.
  settings=$(pw-metadata -n settings 0 "clock.$kind-quantum" 2>/dev/null)
  [[ $settings == *"value:'$frames'"* ]]
}

# The quantum the driver runs at, in frames at the given rate: the median over
# a second of pw-profiler's cycles (its fourth column is the cycle in µs). The
# graph must be running, or nothing is printed.
pipewire_driver_quantum() {
  local rate=$1 folder=$PIPEWIRE_DIR/profiler
  mkdir -p "$folder"
  # It leaves plot scripts in its working folder.
  (cd "$folder" && timeout 1 pw-profiler -o cycles.log >/dev/null 2>&1)
  sort -n -k4,4 "$folder/cycles.log" 2>/dev/null |
    awk -v rate="$rate" '{us[NR] = $4} END {if (NR) printf "%d\n", us[int((NR + 1) / 2)] * rate / 1e6 + 0.5}'
}
