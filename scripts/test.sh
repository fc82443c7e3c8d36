#!/usr/bin/env bash
# Builds everything and runs every test: ./scripts/test.sh [dev|release|asan|tsan|python]
# (python: the Python module and its pytest suite, with Debian's /usr/bin/python3)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
./scripts/install-deps.sh
cmake --workflow --preset "$preset"
