#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job: a firmware update of
# two modules of a simulated 7352A mainframe over a pseudo-terminal, with the
# narrative on screen and the report file printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target karvel-cli karvel-sim karvelvisa

work=$(mktemp -d /tmp/karvel-demo-XXXXXX)
build/bin/karvel-sim --scenario examples/7352a-demo.json --pty "$work/pty" \
  --log "$work/events.jsonl" --flash-dir "$work/flash" > "$work/sim.out" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "$work/pty" ] && break; sleep 0.05; done
build/bin/karvel-sim make-image --kind FLS --size 65536 --revision "V2.10(120)" --out "$work/fls.bin"
echo "ASRL1::INSTR serial:$work/pty" > "$work/visa.conf"

echo "== karvel-cli slots ASRL1::INSTR"
KARVEL_VISA_CONF="$work/visa.conf" KARVEL_WAIT_SCALE=0.01 TMP="$work" \
  build/bin/karvel-cli slots ASRL1::INSTR | grep -P '^\d+\t'
echo "== karvel-cli update ASRL1::INSTR fls.bin 4,1   (protocol waits scaled to 1 %)"
KARVEL_VISA_CONF="$work/visa.conf" KARVEL_WAIT_SCALE=0.01 TMP="$work" \
  build/bin/karvel-cli update ASRL1::INSTR "$work/fls.bin" 4,1
echo
echo "== report file $work/KarvRep.log"
tr -d '\r' < "$work/KarvRep.log"
echo "== flash contents the simulated mainframe stored"
ls -l "$work/flash"
