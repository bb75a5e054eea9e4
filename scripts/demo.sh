#!/usr/bin/env bash
# A short demo of the cutter: makes a 40-second song, cuts 00:05.000-00:25.000
# with a 2-second fade-in and fade-out, +3 dB and +10 % tempo, and shows the result.
set -euo pipefail
bin=${1:-build/release/bin}
demo=$(mktemp -d /tmp/zelvora-demo-XXXXXX)
ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=40" \
    -f lavfi -i "sine=frequency=660:duration=40" -filter_complex amerge=inputs=2 \
    -c:a libmp3lame -b:a 192k "$demo/demo song.mp3"
echo "Source:"
"$bin/zelvora-cli" info "$demo/demo song.mp3"
"$bin/zelvora-cli" cut "$demo/demo song.mp3" -o "$demo/[铃]demo song.mp3" --start 00:05.000 --end 00:25.000 \
    --fade-in 2 --fade-out 2 --gain 3 --tempo 10
echo "Ringtone:"
"$bin/zelvora-cli" info "$demo/[铃]demo song.mp3"
echo "Files are in $demo"
