#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, only when some are missing.
set -euo pipefail

packages=(build-essential g++ cmake ninja-build pkg-config make libboost-dev libhidapi-dev libgtest-dev
  libbenchmark-dev clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix zip curl python3
  clang-format debhelper dpkg-dev lintian debootstrap iproute2 libsqlite3-dev nlohmann-json3-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# Node may come from elsewhere than Debian (with npm inside), so ask for the commands.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
