#!/usr/bin/env bash
# Sets up, builds and runs every test: the release build and the Debian package, then the whole
# suite again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, the listener's
# and the worker's threads under ThreadSanitizer, then short fuzzing runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" test

"$root/scripts/check-format.sh"

"$root/scripts/build.sh" release "$root/build"
# The Debian package, which the install test below checks, installs and runs.
"$root/scripts/package.sh" "$root/build/deb"
(cd "$root/build" && ctest --output-on-failure -j2 --timeout 600)

"$root/scripts/build.sh" asan "$root/build-asan"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" \
    ctest --output-on-failure -j2 --timeout 900)

# What runs the listener's thread and the worker's: the rest of the program has one thread.
tsan=(EpollListenerTest CommandsTest CounterTest tessel_load)
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DTESSEL_TSAN=ON -DTESSEL_BENCH=OFF >/dev/null
cmake --build "$root/build-tsan" -j"$(nproc)" --target "${tsan[@]}"
(cd "$root/build-tsan" && TSAN_OPTIONS=halt_on_error=1 \
    ctest --output-on-failure --timeout 600 -R '^(EpollListener|QtWorker|Commands|Counter|load)\.')

if [ -d "$root/fuzz" ]; then
    "$root/scripts/build.sh" fuzz "$root/build-fuzz"
    "$root/scripts/fuzz.sh" "$root/build-fuzz" 20
fi
