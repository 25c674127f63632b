#!/usr/bin/env bash
# Draws the program's own alarm sound, played when the desktop's sound theme has no alarm sound:
# four pairs of short 1760 Hz beeps, 2.4 s, mono 16-bit PCM at 22,050 Hz (libcanberra reads 8- and
# 16-bit PCM only). Without dither sox gives the same bytes every time.
#   src/resources/generator/make_alarm_sound.sh src/resources/sounds/alarm.wav
set -euo pipefail
out="${1:?usage: $0 output.wav}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

format=(-r 22050 -c 1 -b 16 -e signed-integer)
sox -D -n "${format[@]}" "$work/beep.wav" synth 0.1 sine 1760 fade h 0.005 0.1 0.02 vol 0.6
sox -D -n "${format[@]}" "$work/gap.wav" trim 0 0.08
sox -D -n "${format[@]}" "$work/pause.wav" trim 0 0.32
pair=("$work/beep.wav" "$work/gap.wav" "$work/beep.wav" "$work/pause.wav")
sox -D "${pair[@]}" "${pair[@]}" "${pair[@]}" "${pair[@]}" "${format[@]}" "$out"
