#!/bin/sh
# Installs the build into a scratch prefix, then builds and runs a host project
# against it with find_package(qvxml) and with pkg-config.
set -eu
build="$1"; src="$2"
prefix=$(mktemp -d); trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S "$src" -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
LD_LIBRARY_PATH="$prefix/lib" "$prefix/consumer/consumer"
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name qvxml.pc)") pkg-config --cflags --libs qvxml | grep -q -- "-lqvxml"
"$prefix/bin/qvxml" --help | grep -q "qvxml SUBCOMMAND"
echo "installed tree usable"
