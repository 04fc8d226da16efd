#!/usr/bin/env bash
# Configures and builds one flavour of the tree: build.sh [release|program|bench|asan|fuzz]
# [build dir]. `program` is the release build of the program alone, without tests and benchmarks;
# `bench` is the release build with the benchmarks too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
dir=${2:-$root/build}
jobs=$(nproc)

case "$flavour" in
    # Both say which parts to build, as they may share a build directory.
    release) options=(-DCMAKE_BUILD_TYPE=Release -DTESSEL_TESTS=ON -DTESSEL_BENCH=OFF) ;;
    bench) options=(-DCMAKE_BUILD_TYPE=Release -DTESSEL_TESTS=ON -DTESSEL_BENCH=ON) ;;
    program) options=(-DCMAKE_BUILD_TYPE=Release -DTESSEL_TESTS=OFF -DTESSEL_BENCH=OFF) ;;
    asan) options=(-DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON -DTESSEL_BENCH=OFF) ;;
    fuzz) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_FUZZ=ON -DTESSEL_TESTS=OFF
                   -DTESSEL_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++) ;;
    *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$dir" "${options[@]}" >/dev/null
cmake --build "$dir" -j"$jobs"
