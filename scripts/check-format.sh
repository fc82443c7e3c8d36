#!/usr/bin/env bash
# Fails when any C++ file differs from what .clang-format asks for.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.hpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
echo "formatting ok"
