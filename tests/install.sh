#!/usr/bin/env bash
# Installs a build into a temporary prefix and builds and runs small C and
# C++ programs against it, once through find_package, once through
# pkg-config.
set -euo pipefail
build=${1:?build directory}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/hsum bin/rtab lib/libsamplestream.a include/samplestream.h \
         share/man/man1/hsum.1 share/man/man1/rtab.1 share/man/man3/samplestream.3 \
         share/man/man5/samplestream.5 lib/pkgconfig/samplestream.pc \
         lib/cmake/samplestream/samplestreamConfig.cmake; do
  [ -e "$prefix/$f" ] || { echo "install: missing $f"; exit 1; }
done
"$prefix/bin/hsum" -L4 1 1 0 | cmp - <("$build/hsum/hsum" -L4 1 1 0)

cmake -S "$here/install" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/roundtrip_c"
"$work/consumer/roundtrip_cxx"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
cc -std=c11 -Wall -Werror "$here/install/roundtrip.c" $(pkg-config --cflags --libs samplestream) -o "$work/pc_c"
c++ -std=c++20 -Wall -Werror "$here/install/roundtrip.cpp" $(pkg-config --cflags --libs samplestream) -o "$work/pc_cxx"
"$work/pc_c"
"$work/pc_cxx"
echo "install: ok"
