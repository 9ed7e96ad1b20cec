#!/usr/bin/env bash
# Runs one of the README's commands as root in a bare Debian 12 root, from a
# clean clone of this checkout's committed HEAD, as a new user would:
#   scripts/bare-debian-check.sh 'make test'
# The minbase root is made once with debootstrap and cached under build/;
# each run starts from a fresh copy of it. Needs root.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 'README command'" >&2; exit 2; }
cd "$(dirname "$0")/.."
. scripts/bare-root.sh
bare_root=""
trap '[ -z "$bare_root" ] || bare_root_close "$bare_root"' EXIT
bare_root_open
root=$bare_root
git clone --quiet "$PWD" "$root/root/dosebridge"
# The package test makes a bare root of its own: hand it the cached one.
mkdir -p "$root/root/dosebridge/build/bare-debian"
cp "$bare_tarball" "$root/root/dosebridge/build/bare-debian/"
start=$(date +%s)
status=0
bare_root_run "$root" "cd /root/dosebridge && $1" || status=$?
echo "bare Debian 12: '$1' exited $status after $(( $(date +%s) - start )) s" >&2
exit $status
