#!/usr/bin/env bash
# Builds the Debian package build/dosebridge_<version>_<arch>.deb with debhelper
# from the committed HEAD (what a clean clone holds), and checks it with lintian. The version is
# the top-level project()'s; debian/changelog is written from it here.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(dosebridge VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
arch=$(dpkg --print-architecture)
work=build/package
src=$work/dosebridge-$version
rm -rf "$work" build/dosebridge_*.deb
mkdir -p "$src"
git archive HEAD | tar -C "$src" -xf -
when=$(date -R -d "@$(git log -1 --format=%ct)")
cat >"$src/debian/changelog" <<CHANGES
dosebridge ($version) unstable; urgency=medium

  * Release $version. What changed: /usr/share/dosebridge/CHANGELOG.md.

 -- dosebridge developers <dosebridge@users.noreply.github.com>  $when
CHANGES
(cd "$src" && dpkg-buildpackage -b -us -uc >../build.log 2>&1) ||
  { tail -40 "$work/build.log" >&2; exit 1; }
deb=build/dosebridge_${version}_${arch}.deb
mv "$work/dosebridge_${version}_${arch}.deb" "$deb"
echo "$deb"
# Errors fail the build; warnings that remain are listed and justified in
# debian/dosebridge.lintian-overrides.
lintian --fail-on error --tag-display-limit 0 "$deb"
