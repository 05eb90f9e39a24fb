#!/usr/bin/env bash
# Builds the Debian packages for this machine, checks them with lintian, unpacks them into a
# scratch root and runs the consumer programs and the tool from there (test_package.sh).
# Run from the top of the source tree.
set -euo pipefail
scripts/package.sh
dir=build-package-$(dpkg --print-architecture)

# Any error or warning fails, but the ldconfig calls that CPack writes beside the trigger.
lintian --fail-on error,warning --suppress-tags maintscript-calls-ldconfig "$dir"/*.deb

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for package in "$dir"/*.deb; do
    dpkg-deb -x "$package" "$root"
done
test -s "$root/usr/share/man/man1/tzo-factoryinfo.1.gz"
TZO_PACKAGE_ROOT=$root bash tests/package/test_package.sh "$dir" "$PWD/tests/package" \
    "$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$dir/CMakeCache.txt")" ""
