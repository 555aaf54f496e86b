#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A net over a virtual audio cable in the operators' windows, TRIALS times,
# each with other noise 10 dB over the check-in: how many check-ins were
# logged in each mode (test_pskcable's memberChecksInOverTheCable).
#   bench/psk/cable_net.sh BUILD_DIR [TRIALS]
set -eu
build=$(cd "${1:?build directory}" && pwd)
trials=${2:-5}
for mode in BPSK31 QPSK63; do
    logged=0
    for t in $(seq "$trials"); do
        if RC_NOISE_SEED=$((100 + t)) QT_QPA_PLATFORM=offscreen \
            "$build/tests/psk/test_pskcable" "memberChecksInOverTheCable:$mode" >/dev/null 2>&1; then
            logged=$((logged + 1))
        fi
    done
    echo "$mode at -10 dB, windows over the cable: $logged/$trials logged"
done
