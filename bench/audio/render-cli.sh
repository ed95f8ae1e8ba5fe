#!/bin/sh
# Times `orvella-cli render` of a three-minute mono 48 kHz DI file through
# a backup's preset 1 (the default record), RUNS times (default 5), and
# prints each wall time with the load average before it, then the range.
#   bench/audio/render-cli.sh [build-dir] [runs]
set -eu
build=${1:-build}
runs=${2:-5}
cli="$build/src/cli/orvella-cli"
data=$(cd "$(dirname "$0")/../../data" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import math, struct, sys
rate, seconds = 48000, 180
frames = rate * seconds
data = bytearray()
for n in range(frames):
    t = (n % rate) / rate                       # a plucked note each second
    v = 0.4 * math.exp(-4 * t) * math.sin(2 * math.pi * 110 * (1 + (n // rate) % 5 / 4) * t)
    data += struct.pack('<h', int(v * 32767))
with open(sys.argv[1] + '/di.wav', 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' +
            struct.pack('<IHHIIHH', 16, 1, 1, rate, rate * 2, 2, 16) + b'data' + struct.pack('<I', len(data)) + data)
with open(sys.argv[1] + '/default.bkp', 'wb') as f:
    f.write(bytes(96) + b' ' * 96)
PY
all=""
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    load=$(cut -d' ' -f1 /proc/loadavg)
    start=$(date +%s.%N)
    "$cli" render "$work/di.wav" "$work/out.wav" --backup "$work/default.bkp" --index 1 \
        --data "$data" -q >/dev/null
    end=$(date +%s.%N)
    t=$(awk "BEGIN { printf \"%.2f\", $end - $start }")
    echo "run $i: ${t} s (load average $load)"
    all="$all $t"
done
echo "$all" | tr ' ' '\n' | grep . | sort -n | sed -n '1p;$p' | paste -sd' ' | awk '{ printf "range: %s-%s s over '"$runs"' runs on %s cores\n", $1, $2, "'"$(nproc)"'" }'
