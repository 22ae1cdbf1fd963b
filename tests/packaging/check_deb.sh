#!/usr/bin/env bash
# Builds the Debian package of this build tree with cpack, checks that it holds what an installed Lanwick needs
# and that lintian finds no error in it (its warnings are printed).
#   check_deb.sh BUILD_DIR
set -euo pipefail
build=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$dir" >"$dir/cpack.log" 2>&1 || { cat "$dir/cpack.log"; exit 1; }
deb=$(ls "$dir"/lanwick_*.deb)

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for want in ./usr/bin/lanwick-cli ./usr/share/man/man1/lanwick-cli.1.gz ./usr/share/lanwick/installed \
    ./usr/lib/systemd/system/lanwick-monitor.service ./usr/share/doc/lanwick/copyright \
    ./usr/share/doc/lanwick/changelog.Debian.gz; do
    grep -qx "$want" <<<"$contents" || { echo "check_deb.sh: $want is not in the package" >&2; exit 1; }
done
if grep -qx ./usr/bin/lanwick <<<"$contents"; then
    for want in ./usr/share/applications/lanwick.desktop ./usr/share/metainfo/org.example.lanwick.metainfo.xml \
        ./usr/share/icons/hicolor/256x256/apps/lanwick.png ./usr/share/man/man1/lanwick.1.gz; do
        grep -qx "$want" <<<"$contents" || { echo "check_deb.sh: $want is not in the package" >&2; exit 1; }
    done
fi
# The computed dependencies name the C++ runtime; the capability needs setcap.
depends=$(dpkg-deb -f "$deb" Depends)
grep -q libstdc++6 <<<"$depends" && grep -q libcap2-bin <<<"$depends" ||
    { echo "check_deb.sh: Depends is \"$depends\"" >&2; exit 1; }

echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
lintian --fail-on error --tag-display-limit 0 "$deb"
