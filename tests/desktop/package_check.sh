#!/usr/bin/env bash
# Builds the Debian package as ./package.sh does and holds it to Debian's rules:
# lintian finds no error and no warning, the package holds exactly the files that
# the build installs, and its dependencies were worked out from the binaries.
#   package_check.sh SOURCE_DIR
set -euo pipefail
cd "$1"
deb=$(./package.sh | tail -n1)
lintian --fail-on error,warning "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install build/release --prefix "$scratch" >/dev/null
diff <(cd "$scratch" && find . -type f | sort) \
     <(dpkg-deb -c "$deb" | awk '/^-/ {sub("^\\./usr/", "./", $6); print $6}' | sort)

depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* && $depends == *libstdc++6* ]] || { echo "Depends: $depends" >&2; exit 1; }
echo "PASS: $deb"
