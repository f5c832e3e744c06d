#!/usr/bin/env bash
# Installs the Debian packages a build needs: "run" for the program, "test"
# for everything the tests use as well. Only missing packages are fetched.
set -euo pipefail

run_packages=(cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libpulse-dev
  libfluidsynth-dev libglib2.0-dev libxcb1-dev fluid-soundfont-gm fonts-dejavu-core)
test_packages=(googletest libgtest-dev xvfb xdotool pulseaudio pulseaudio-utils sox
  imagemagick x11-utils fluidsynth util-linux procps qt6-gtk-platformtheme
  pipewire pipewire-pulse wireplumber dbus-daemon jackd2)

wanted=("${run_packages[@]}")
if [[ "${1:-run}" == "test" ]]; then wanted+=("${test_packages[@]}"); fi

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
