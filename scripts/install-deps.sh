#!/usr/bin/env bash
# Installs the Debian packages Vidorra needs to build, run and test, and only those missing.
# When everything is present it returns at once without touching apt.
set -euo pipefail

packages=(
  # build, tests, benchmarks
  cmake ninja-build g++ pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev clang-format
  ffmpeg xvfb dbus imagemagick stress-ng
  # fuzzing (scripts/fuzz.sh): clang, libFuzzer and the sanitizer runtimes it links
  clang libfuzzer-14-dev libclang-rt-14-dev
  # the script language: Free Pascal as the reference of its tests, Lua for its benchmark
  fp-compiler lua5.4
  # user interface (its icons are SVG, Qt's own dialogs in French), D-Bus, fonts
  qt6-base-dev qt6-svg-dev qt6-translations-l10n
  # text drawn into frames
  libpango1.0-dev libcairo2-dev fonts-liberation2
  # media graph, devices, codecs, muxers
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools
  gstreamer1.0-alsa gstreamer1.0-pipewire gstreamer1.0-x
  # JPEG stills and their EXIF
  libjpeg62-turbo-dev libexif-dev
  # DV camcorder control
  libraw1394-dev libavc1394-dev libiec61883-dev
  # sound-card input lines
  libasound2-dev
  # install and package: the icon's sizes, the desktop files' validators, the Debian package
  librsvg2-bin desktop-file-utils appstream dpkg-dev file groff-base
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installation des paquets manquants : ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
