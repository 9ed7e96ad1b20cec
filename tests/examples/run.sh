#!/usr/bin/env bash
# Runs the C and Python client examples against the simulated dosimeter and
# compares what they print.
#   tests/examples/run.sh <read_log binary> <libdosebridge.so> <simulator library>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
c_example=$1 library=$2 sim=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/sim.conf" <<'CONF'
serial 01 23 45 67 89 ab cd
entry 0 00 01 01 c0 fb 3b 53 0c 00 00 00 00 00 00 00
entry 5 00 01 02 fc fb 3b 53 52 80 04 00 00 00 00 00
entry 179 00 01 ff ff ff ff ff 05 f0 0a 00 00 00 00 00
CONF
expected="# model 1212, serial 0123456789abcd, 3 points
id,time,radiation,period_code
1,1396440000,0.12,0
2,1396440060,8.199999999999999,4
255,4294967295,5,10"
export DOSEBRIDGE_SIM=$work/sim.conf
c_output=$(LD_PRELOAD=$sim "$c_example")
python_output=$(LD_PRELOAD=$sim python3 "$here/../../examples/read_log.py" "$library")
status=0
[ "$c_output" = "$expected" ] || { echo "C example printed:"; echo "$c_output"; status=1; }
[ "$python_output" = "$expected" ] || { echo "Python example printed:"; echo "$python_output"; status=1; }
# Without a dosimeter both say so and fail.
printf 'present 0\n' > "$work/sim.conf"
if LD_PRELOAD=$sim "$c_example" 2>/dev/null; then echo "C example succeeded without a device"; status=1; fi
if LD_PRELOAD=$sim python3 "$here/../../examples/read_log.py" "$library" 2>/dev/null; then
  echo "Python example succeeded without a device"; status=1
fi
[ $status -eq 0 ] && echo "examples ok"
exit $status
