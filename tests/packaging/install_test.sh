#!/usr/bin/env bash
# cmake --install into a staging prefix puts every file in place.
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/usr" >/dev/null
missing=0
for f in bin/dosebridge bin/dosebridge-keeper bin/dosebridge-doctor include/dosebridge.h \
         lib/udev/rules.d/60-dosebridge.rules lib/systemd/user/dosebridge-keeper.service \
         share/man/man1/dosebridge.1 share/man/man1/dosebridge-keeper.1 share/dosebridge/CHANGELOG.md \
         lib/systemd/user/dosebridge.service share/dosebridge/web/index.html share/dosebridge/web/viewer.js \
         share/dosebridge/web/vendor/uplot/uPlot.iife.min.js share/dosebridge/web/vendor/uplot/LICENSE; do
  [ -e "$stage/usr/$f" ] || { echo "missing: $f"; missing=1; }
done
[ -n "$(find "$stage/usr" -name libdosebridge.so)" ] ||
  { echo "missing: libdosebridge.so"; missing=1; }
grep -q "^ExecStart=$stage/usr/bin/dosebridge$" "$stage/usr/lib/systemd/user/dosebridge.service" ||
  { echo "unit does not start the installed binary"; missing=1; }
[ $missing -eq 0 ] && echo "install ok"
exit $missing
