#!/usr/bin/env bash
# Installs what QuorvaneConverter needs, builds it and starts it (arguments go to the program).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh" build runtime
"$root/scripts/build.sh" "$root/build" -DQC_BUILD_TESTS=OFF
exec "$root/build/bin/quorvane-converter" "$@"
