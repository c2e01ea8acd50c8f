#!/usr/bin/env bash
# Installs what is missing, builds everything with the tests, starts the services
# the end-to-end tests need (CUPS with a PDF queue) and runs every test with ctest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-test"

bash "$root/scripts/install-deps.sh" --test
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPAGORA_BUILD_TESTS=ON -DPAGORA_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"

bash "$root/scripts/start-services.sh"

cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
