#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Check-ins decoded over a virtual audio cable (a private PulseAudio's null
# sink) with noise played beside them, against the same noisy signal decoded
# from a file. Needs pulseaudio, pulseaudio-utils and python3.
#   [MODES="bpsk31 qpsk63"] bench/psk/cable_rate.sh BUILD_DIR [TRIALS] [SNR_DB]
set -eu
build=$(cd "${1:?build directory}" && pwd)
trials=${2:-5}
snr=${3:--10}
level=8 # per cent: the noise beside the signal is not clipped
work=$(mktemp -d)
trap 'kill "$pa" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/home/.config"
chmod 700 "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
export PULSE_SERVER="unix:$work/run/pulse/native"
printf '[Radio]\ntransmitLevel=%s\n' "$level" > "$XDG_CONFIG_HOME/rollcall.conf"
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disable-shm=yes \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=cable" \
    --load="module-remap-source master=cable.monitor source_name=cable_in" \
    > "$work/pulse.log" 2>&1 &
pa=$!
sleep 2
checkin=$(printf '\005yQ1AW\027\005yQ1AW\027de Q1AW\r\n')

# Noise `snr` dB below the mean power of the signal in `1`, in 3 kHz, 20 s long;
# also writes the signal with that noise added to `3`.
noise() {
    python3 - "$1" "$2" "$3" "$snr" <<'PY'
import math, os, random, struct, sys, wave
src, out, mixed, snr = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
w = wave.open(src); n = w.getnframes()
s = [v / 32768 * 0.08 / 0.8 for v in struct.unpack('<%dh' % n, w.readframes(n))]
p = sum(v * v for v in s) / n
sigma = math.sqrt(p / 10 ** (snr / 10) * 4000 / 3000)
r = random.Random(int(os.environ.get('SEED', '1')))
z = [r.gauss(0, sigma) for _ in range(20 * 8000)]
def put(name, xs):
    o = wave.open(name, 'wb'); o.setnchannels(1); o.setsampwidth(2); o.setframerate(8000)
    o.writeframes(b''.join(struct.pack('<h', max(-32768, min(32767, int(v * 32767)))) for v in xs))
put(out, z)
put(mixed, [z[i] + (s[i - 8000] if 8000 <= i < 8000 + n else 0) for i in range(len(z))])
PY
}

for mode in ${MODES:-bpsk31 qpsk31}; do
    cable=0
    file=0
    for t in $(seq "$trials"); do
        printf '%s' "$checkin" | "$build/rollcall" psk encode --mode "$mode" -o "$work/sig.wav" -
        export SEED="$t"
        noise "$work/sig.wav" "$work/noise.wav" "$work/mixed.wav"
        "$build/rollcall" psk decode --mode "$mode" --events "$work/mixed.wav" \
            | grep -q '^checkin Q1AW$' && file=$((file + 1))
        "$build/rollcall" psk listen --device cable_in --mode "$mode" --events --seconds 18 \
            > "$work/heard.txt" &
        listen=$!
        paplay --device=cable "$work/noise.wav" &
        play=$!
        sleep 1.5
        printf '%s' "$checkin" | "$build/rollcall" psk send --device cable --mode "$mode" -
        wait "$listen" || true
        kill "$play" 2>/dev/null || true
        grep -q '^checkin Q1AW$' "$work/heard.txt" && cable=$((cable + 1))
    done
    echo "$mode at $snr dB: cable $cable/$trials, file $file/$trials"
done
