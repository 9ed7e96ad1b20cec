#!/usr/bin/env bash
# Installs the Debian package into a fresh bare Debian 12 root with apt, as a
# user would, and checks what it put in place, that both programs start, that
# systemd accepts both units, and what removing and purging leave behind.
#   tests/packaging/package_test.sh build/dosebridge_<version>_<arch>.deb
# Needs root. The root runs in a network namespace of its own, so its port
# 5000 is not the machine's.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 path/to/dosebridge.deb" >&2; exit 2; }
deb=$(readlink -f "$1")
cd "$(dirname "$0")/../.."
. scripts/bare-root.sh
bare_root=""
trap '[ -z "$bare_root" ] || bare_root_close "$bare_root"' EXIT
bare_root_open
root=$bare_root
cp "$deb" "$root/tmp/"
in_root() { bare_root_run "$root" "$@"; }

failures=0
check() {  # $1 label, then a command that must succeed
  local label=$1
  shift
  if "$@" >/dev/null 2>&1; then echo "ok    $label"; else echo "FAIL  $label"; failures=$((failures + 1)); fi
}

echo "installing $(basename "$deb") with apt"
in_root "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$deb")" \
  >"$bare_cache/package-install.log" 2>&1 || { tail -30 "$bare_cache/package-install.log"; exit 1; }

for f in /usr/bin/dosebridge /usr/bin/dosebridge-keeper /usr/bin/dosebridge-doctor \
         /usr/include/dosebridge.h /usr/lib/udev/rules.d/60-dosebridge.rules \
         /usr/lib/systemd/user/dosebridge.service /usr/lib/systemd/user/dosebridge-keeper.service \
         /usr/share/dosebridge/web/index.html /usr/share/dosebridge/README.md; do
  check "installs $f" test -e "$root$f"
done
check "installs libdosebridge with a versioned soname" \
  bash -c "readelf -d $root/usr/lib/*/libdosebridge.so.0 | grep -q 'soname: \[libdosebridge.so.0\]'"
for unit in dosebridge dosebridge-keeper; do
  check "enables $unit.service for every user's login" \
    test -L "$root/etc/systemd/user/default.target.wants/$unit.service"
done

# Both programs, in the root and a network namespace of their own.
answer=$(unshare --net bash -c '
  ip link set lo up
  chroot "$1" /usr/bin/env -i PATH=/usr/bin:/bin /usr/bin/dosebridge &
  pid=$!
  for _ in $(seq 50); do
    reply=$(chroot "$1" /bin/bash -c "exec 3<>/dev/tcp/localhost/5000 && printf \"GET /?callback=f HTTP/1.0\\r\\n\\r\\n\" >&3 && cat <&3" 2>/dev/null) && break
    sleep 0.1
  done
  kill "$pid"
  wait "$pid" 2>/dev/null
  printf "%s" "$reply"' _ "$root")
check "dosebridge answers /?callback=f with status 6 (no dosimeter)" grep -q '"Status": "6"' <<<"$answer"
header=$(in_root "HOME=/root dosebridge-keeper export" 2>/dev/null || true)
check "dosebridge-keeper export prints the CSV header" test "$header" = "serial,id,time,time_utc,radiation,period"

in_root "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends systemd" >/dev/null 2>&1
check "systemd-analyze verify accepts both units" \
  in_root "systemd-analyze verify /usr/lib/systemd/user/dosebridge.service /usr/lib/systemd/user/dosebridge-keeper.service"

# A user's kept history, which purging must leave alone.
mkdir -p "$root/root/.local/state/dosebridge"
echo kept >"$root/root/.local/state/dosebridge/readings.sqlite3"
in_root "dpkg -L dosebridge" | grep -v '^/\.$' >"$root/tmp/package-files"
in_root "DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq dosebridge" >/dev/null 2>&1
left=$(in_root 'while read -r f; do [ -f "$f" ] || [ -L "$f" ] && echo "$f"; done </tmp/package-files
  find /etc /usr /var/lib/systemd -name "*dosebridge*" 2>/dev/null' || true)
check "removing leaves no files of its own" test -z "$left"
[ -z "$left" ] || echo "$left" | head -20
in_root "DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq dosebridge" >/dev/null 2>&1
check "purging leaves the user's kept history" test -s "$root/root/.local/state/dosebridge/readings.sqlite3"
check "purging leaves no trace in dpkg" in_root "! dpkg -s dosebridge"

echo "package: $failures failed"
[ $failures -eq 0 ]
