#!/usr/bin/env bash
# Packs build/dosebridge-windows-x64.zip: the Windows programs, the header,
# the viewer page and a short README. hidapi.dll is not included: the user
# takes it from hidapi's own Windows release.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
out=build/dosebridge-windows-x64
rm -rf "$out" "$out.zip"
mkdir -p "$out"
cp build/windows/app/dosebridge.exe build/windows/device/dosebridge.dll device/dosebridge.h "$out/"
cp -r web "$out/web"
sed 's/$/\r/' windows/README-windows.txt > "$out/README-windows.txt"
(cd build && zip -qr dosebridge-windows-x64.zip dosebridge-windows-x64)
echo "build/dosebridge-windows-x64.zip"
