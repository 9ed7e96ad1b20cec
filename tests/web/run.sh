#!/usr/bin/env bash
# Browser tests of the viewer: installs Chromium and playwright-core when missing.
#   tests/web/run.sh <dosebridge binary> <simulator library>
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -x /usr/bin/chromium ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi
[ -d node_modules/playwright-core ] || npm ci --no-audit --no-fund --silent
DOSEBRIDGE_BINARY=$1 SIM_LIBRARY=$2 ARTIFACTS=${ARTIFACTS:-$PWD/../../build/web-artifacts} \
  node --test --test-concurrency=1 viewer.test.mjs
