#!/usr/bin/env bash
# Makes samples/noisy-speech-stereo.wav: synthetic speech (espeak-ng) with
# background noise, 16 kHz, 16-bit stereo. The left channel carries a fan-like
# low rumble and hiss, the right the same speech with babble-like pink noise,
# as two microphones in one room would. Needs espeak-ng and sox.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
espeak-ng -v en-us -s 150 -w "$tmp/speech.wav" \
  "The recording starts with a short pause. Then a speaker reads two sentences. \
   Background noise should be removed while the words stay clear and natural."
# 0.6 s of silence before and after the speech, 16 kHz mono.
sox -R "$tmp/speech.wav" -r 16000 -c 1 -b 16 "$tmp/clean.wav" pad 0.6 0.6 norm -3
len=$(soxi -D "$tmp/clean.wav")
sox -R -n -r 16000 -c 1 -b 16 "$tmp/brown.wav" synth "$len" brownnoise gain -20
sox -R -n -r 16000 -c 1 -b 16 "$tmp/hiss.wav" synth "$len" whitenoise gain -34
sox -R -n -r 16000 -c 1 -b 16 "$tmp/hum.wav" synth "$len" sine 120 gain -36
sox -R -m "$tmp/brown.wav" "$tmp/hiss.wav" "$tmp/hum.wav" "$tmp/noiseL.wav"
sox -R -n -r 16000 -c 1 -b 16 "$tmp/noiseR.wav" synth "$len" pinknoise gain -22
sox -R -m "$tmp/clean.wav" "$tmp/noiseL.wav" "$tmp/left.wav"
sox -R -m "$tmp/clean.wav" "$tmp/noiseR.wav" "$tmp/right.wav"
sox -R -M "$tmp/left.wav" "$tmp/right.wav" -b 16 noisy-speech-stereo.wav
soxi noisy-speech-stereo.wav
