#!/usr/bin/env bash
# Checks a built package: lintian, desktop-file-validate and appstreamcli on it, then unpacks it
# with dpkg -x into a scratch root and runs package_tests of the build folder against it.
#   tests/package/check.sh PACKAGE.deb BUILD_FOLDER
set -euo pipefail
deb=$(realpath "$1")
build=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

echo "== lintian"
lintian --fail-on error "$deb"
dpkg -x "$deb" "$root"
echo "== desktop-file-validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop
echo "== appstreamcli"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
echo "== the unpacked package"
PXW_PACKAGE_ROOT="$root" "$build/tests/package/package_tests"
