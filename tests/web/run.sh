#!/usr/bin/env bash
# Browser tests of the viewer: installs Chromium, and the npm packages when
# missing or not those that package.json asks for.
#   tests/web/run.sh <dosebridge binary> <simulator library> <dosebridge-keeper binary>
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -x /usr/bin/chromium ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi
{ [ -d node_modules ] && npm ls --silent >/dev/null 2>&1; } || npm ci --no-audit --no-fund --silent
DOSEBRIDGE_BINARY=$1 SIM_LIBRARY=$2 KEEPER_BINARY=$3 ARTIFACTS=${ARTIFACTS:-$PWD/../../build/web-artifacts} \
  node --test --test-concurrency=1 ./*.test.mjs
