#!/usr/bin/env bash
# Serves every route under valgrind's leak checker, stops with SIGTERM and
# prints valgrind's leak summary. Exits non-zero on any definite or indirect leak.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev --target dosebridge dosebridge_sim >/dev/null
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'log 180\n' > "$dir/sim.conf"
LD_PRELOAD=$PWD/build/dev/sim/libdosebridge_sim.so DOSEBRIDGE_SIM=$dir/sim.conf \
  valgrind --leak-check=full --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
  --error-exitcode=99 --log-file="$dir/valgrind.log" build/dev/app/dosebridge &
pid=$!
for _ in $(seq 100); do curl -s -o /dev/null http://localhost:5000/ && break; sleep 0.2; done
for uri in '/?cb=f' '/GetDeviceInfo?callback=f' '/Erase?cb=f' '/?cb=f' '/?cb=%zz'; do
  for _ in 1 2 3 4 5; do curl -s -o /dev/null "http://localhost:5000$uri"; done
done
printf 'GET / http/1.0\r\n\r\n' | timeout 5 bash -c 'cat > /dev/tcp/localhost/5000' || true
exec 3<>/dev/tcp/localhost/5000  # an idle client at the stop
kill -TERM $pid
status=0
wait $pid || status=$?
exec 3>&-
grep -E 'in use at exit|total heap usage|All heap blocks|definitely lost|indirectly lost|possibly lost|still reachable|ERROR SUMMARY' "$dir/valgrind.log" | sed 's/^==[0-9]*== *//'
echo "exit status $status"
[ "$status" -eq 0 ]
