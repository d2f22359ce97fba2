#!/usr/bin/env bash
# Remakes the seed corpus of the fuzz targets (tests/fuzz/corpus/<target>) from the program's
# own material: recordings made with the muxers the program records with, cut as a crash
# leaves them; the stores, DV frames and commands the seed maker writes; the scripts of the
# script tests. Needs the fuzz build folder (scripts/fuzz.sh makes it). Regression inputs
# (files named regression-*) are kept.
set -euo pipefail
cd "$(dirname "$0")/../.."
corpus=tests/fuzz/corpus
build=build-fuzz
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
find "$corpus" -type f ! -name 'regression-*' -delete 2>/dev/null || true

cmake --build "$build" --target fuzz_make_seeds
"$build/tests/fuzz/fuzz_make_seeds" "$corpus"

launch() { gst-launch-1.0 -q "$@" >/dev/null; }
video="videotestsrc num-buffers=10 ! video/x-raw,width=16,height=16,framerate=25/1"
sound="audiotestsrc num-buffers=4 samplesperbuffer=400 ! audio/x-raw,rate=8000,channels=1"
launch $video,format=I420 ! avimux ! filesink location="$tmp/brut.avi"
launch $video ! avenc_mpeg4 ! avimux name=m ! filesink location="$tmp/divx.avi" $sound ! m.
launch $sound,format=S16LE ! wavenc ! filesink location="$tmp/son.wav"
launch $video ! avenc_wmv1 ! asfmux packet-size=1000 streamable=true \
  ! filesink location="$tmp/wmv.asf"

# name, file, bytes kept (0: all)
seed() {
  mkdir -p "$corpus/$1"
  if (($4 > 0)); then head -c "$4" "$3" >"$corpus/$1/$2"; else cp "$3" "$corpus/$1/$2"; fi
}
seed avi_repair entier "$tmp/brut.avi" 0
seed avi_repair coupe "$tmp/brut.avi" 3000
seed avi_repair divx-son "$tmp/divx.avi" 0
seed avi_repair divx-son-coupe "$tmp/divx.avi" 4000
seed wav_repair entier "$tmp/son.wav" 0
seed wav_repair coupe "$tmp/son.wav" 2001
seed asf_repair entier "$tmp/wmv.asf" 0
seed asf_repair coupe "$tmp/wmv.asf" 1300
# The rate (12.5 frames per second, a double) before the file.
printf '\x00\x00\x00\x00\x00\x00\x29\x40' >"$tmp/rate"
cat "$tmp/rate" "$tmp/brut.avi" >"$tmp/rate.avi"
seed patch_frame_rate images "$tmp/rate.avi" 0
cat "$tmp/rate" "$tmp/divx.avi" >"$tmp/rate2.avi"
seed patch_frame_rate divx-son "$tmp/rate2.avi" 2000

mkdir -p "$corpus/script"
for f in tests/script/corpus/*.pas tests/script/errors/*.pas; do
  if (($(stat -c %s "$f") <= 4096)); then cp "$f" "$corpus/script/$(basename "$f" .pas)"; fi
done
du -sh "$corpus"
