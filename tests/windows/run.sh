#!/usr/bin/env bash
# Cross-builds the Windows programs and checks them under wine:
#   - the export tables of dosebridge.exe and dosebridge.dll list exactly the six functions;
#   - a Windows client drives dosebridge.dll and frees the texts with CoTaskMemFree;
#   - dosebridge.exe gives byte for byte the replies of the Linux build, for a
#     full log, no device, an erase and a malformed request, and stops on Ctrl-C.
# The simulated dosimeter stands in as hidapi.dll.
#   tests/windows/run.sh <Linux dosebridge> <Linux simulator library>
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux_binary=$1 linux_sim=$2

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
command -v zip >/dev/null || need+=(zip)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null

export WINEPREFIX=$root/build/wineprefix WINEDEBUG=-all
wine=/usr/lib/wine/wine64
stage=$(mktemp -d /tmp/dosebridge-wine-XXXXXX)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  rm -rf "$stage"
}
trap cleanup EXIT
cp build/windows/app/dosebridge.exe build/windows/device/dosebridge.dll build/windows/sim/hidapi.dll \
   build/windows/windows/dosebridge_client.exe "$stage/"
failures=0
check() {  # $1 label, $2 expected, $3 actual
  if [ "$2" == "$3" ]; then echo "ok    $1"; else echo "FAIL  $1"; { diff <(echo "$2") <(echo "$3") | head -20 || true; }; failures=$((failures + 1)); fi
}

# Export tables.
six="GetDeviceModel GetDeviceSerialNumber GetPoint UsbConnect UsbErase UsbReadAll"
exports() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    awk '/^\t\[/ {print $NF}' | sort | tr '\n' ' ' | sed 's/ $//'
}
check "dosebridge.exe exports exactly the six" "$six" "$(exports "$stage/dosebridge.exe")"
check "dosebridge.dll exports exactly the six" "$six" "$(exports "$stage/dosebridge.dll")"

# The Windows client against dosebridge.dll.
cat > "$stage/sim.conf" <<'CONF'
serial 01 23 45 67 89 ab cd
entry 0 00 01 01 c0 fb 3b 53 0c 00 00 00 00 00 00 00
entry 1 00 01 02 fc fb 3b 53 52 80 04 00 00 00 00 00
CONF
windows_script='Z:'$(echo "$stage/sim.conf" | tr / '\\')
client=$(cd "$stage" && DOSEBRIDGE_SIM=$windows_script timeout 120 "$wine" dosebridge_client.exe 2>"$stage/client.err" | tr -d '\r')
check "client loads dosebridge.dll, reads, frees with CoTaskMemFree, erases" \
  "model 1212 serial 0123456789abcd points 2
1 1396440000 0.12 0
2 1396440060 8.199999999999999 4
erase ok" "$client"

wait_listening() { for _ in $(seq 300); do curl -s -o /dev/null http://localhost:5000/x && return 0; sleep 0.1; done; return 1; }
fetch() { curl -s -i --http1.0 "http://localhost:5000$1"; }
replies() {  # the replies to every route, in order
  fetch '/?callback=f'; fetch '/GetDeviceInfo?callback=g'; fetch '/Erase?cb=h'; fetch '/?callback=f'
  printf 'GET / http/1.0\r\n\r\n' | timeout 5 bash -c 'exec 3<>/dev/tcp/localhost/5000; cat >&3; cat <&3'
}

for scenario in full nodevice; do
  if [ $scenario = nodevice ]; then printf 'present 0\n' > "$stage/sim.conf"; else
    printf 'serial 01 23 45 67 89 ab cd\nlog 180\n' > "$stage/sim.conf"; fi
  cp "$stage/sim.conf" "$stage/linux.conf"
  LD_PRELOAD=$linux_sim DOSEBRIDGE_SIM=$stage/linux.conf "$linux_binary" & pid=$!
  wait_listening
  expected=$(replies | od -c)
  kill -TERM $pid; wait $pid || true; pid=""

  (cd "$stage" && DOSEBRIDGE_SIM=$windows_script exec "$wine" dosebridge.exe > "$stage/stdout" 2> "$stage/stderr") & pid=$!
  wait_listening || { echo "FAIL  dosebridge.exe did not start"; failures=$((failures + 1)); continue; }
  actual=$(replies | od -c)
  exec 3<>/dev/tcp/localhost/5000  # an idle client at the stop
  # wine turns SIGINT into the console's Ctrl-C event, which stops the server.
  kill -INT $pid
  status=0; wait $pid || status=$?; pid=""
  idle=$(timeout 5 cat <&3 | wc -c); exec 3>&-
  check "exe replies byte for byte as on Linux ($scenario: readout, info, erase, readout, malformed)" "$expected" "$actual"
  check "exe stops on Ctrl-C with status 0, silently, closing an idle client ($scenario)" \
    "0 0 0 0" "$status $idle $(wc -c < "$stage/stdout") $(wc -c < "$stage/stderr")"
done

[ $failures -eq 0 ] && echo "windows ok"
exit $failures
