#!/bin/sh
# Installs the driver from a build tree and builds a separate program against
# it, three ways: the install tree with find_package, the install tree with
# pkg-config, and (with "deb") the Debian package unpacked into a scratch
# root. Usage: consumer_test.sh <build-dir> <source-dir> <work-dir> [deb]
set -eu
build="$1"
source="$2"
work="$3"
mode="${4:-tree}"
rm -rf "$work"
mkdir -p "$work"

# consumer <prefix> <name> [cmake options]: configure, build, run.
consumer() {
    prefix="$1"
    name="$2"
    shift 2
    cmake -S "$source/tests/install/consumer" -B "$work/$name" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" "$@" >"$work/$name.log" 2>&1 \
        || { cat "$work/$name.log"; exit 1; }
    cmake --build "$work/$name" >>"$work/$name.log" 2>&1 || { cat "$work/$name.log"; exit 1; }
    out="$(cd "$work" && ZOR_QUIET=1 "$work/$name/zor_consumer")"
    echo "$name: $out"
    [ "$out" = "consumer ok 1500000000" ]
}

if [ "$mode" = deb ]; then
    (cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
    deb="$(ls "$work"/cpack/*.deb)"
    dpkg-deb --field "$deb" Package Version
    root="$work/root"
    dpkg -x "$deb" "$root"
    prefix="$root/usr"
else
    prefix="$work/prefix"
    cmake --install "$build" --prefix "$prefix" >"$work/install.log"
fi

libdir="$(dirname "$(find "$prefix" -name 'libZOR_x64.so.1' | head -n 1)")"
# The versioned library with its soname, the link name, the stand-ins in the
# private folder, the programs.
[ -L "$libdir/libZOR_x64.so" ] && [ -L "$libdir/libZOR_x64.so.1" ]
objdump -p "$libdir/libZOR_x64.so.1" | grep -q 'SONAME *libZOR_x64.so.1'
[ -f "$libdir/zor_x64/libzor_visa.so" ] && [ -f "$libdir/zor_x64/libzor_ivi_engine.so" ]
[ -x "$prefix/bin/vna-sim" ]
grep -q 'ZOR_API ViStatus ZOR_CALL ZOR_MeasurementQueryData(ViSession vi' "$prefix/include/ZOR.h"

consumer "$prefix" find_package
PKG_CONFIG_PATH="$libdir/pkgconfig" consumer "$prefix" pkg_config -DUSE_PKGCONFIG=ON

# The plain compiler line of the install guide, run from elsewhere: the
# search path comes from the .pc file, no LD_LIBRARY_PATH.
cc "$source/tests/install/consumer/consumer.c" $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs zor) \
    -o "$work/plain_cc"
out="$(cd / && ZOR_QUIET=1 "$work/plain_cc")"
echo "plain cc: $out"
[ "$out" = "consumer ok 1500000000" ]
