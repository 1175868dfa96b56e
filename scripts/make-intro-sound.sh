#!/bin/sh
# Synthesises the intro chime (about 2.5 s) and encodes it as AAC in resources/intro-sound.m4a.
# A rising three-note arpeggio with soft overtones, each note decaying on its own.
set -eu

out="${1:-$(dirname "$0")/../resources/intro-sound.m4a}"

# note ONSET FREQ GAIN DECAY: a sine that starts at ONSET seconds and dies away exponentially,
# with a quiet octave above it for a little shimmer.
note() {
  printf '%s*gte(t,%s)*(sin(2*PI*%s*(t-%s))+0.18*sin(4*PI*%s*(t-%s)))*exp(-%s*(t-%s))' \
    "$3" "$1" "$2" "$1" "$2" "$1" "$4" "$1"
}

expr="$(note 0.00 523.25 0.22 2.4)+$(note 0.16 659.25 0.19 2.6)+$(note 0.32 783.99 0.17 2.8)"
expr="$expr+$(note 0.48 1046.50 0.12 3.2)"
# Gentle attack so the first sample does not click; silent by the end.
expr="($expr)*min(1,t/0.006)*min(1,(2.5-t)/0.25)"

ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i "aevalsrc=exprs='$expr':s=44100:d=2.5" \
  -af "alimiter=limit=0.9" \
  -c:a aac -b:a 96k -ac 1 -map_metadata -1 -fflags +bitexact -flags:a +bitexact \
  -movflags +faststart "$out"
echo "wrote $out"
