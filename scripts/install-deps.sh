#!/usr/bin/env bash
# Installs the Debian packages the build, tests, benchmarks, fuzzers, the API reference and the
# Python module need, when any is missing. The Python packages serve Debian's own interpreter,
# /usr/bin/python3.
set -euo pipefail

# ./scripts/install-deps.sh windows adds the cross-compiler, Wine, GoogleTest's sources and
# dpkg-source, then unpacks PCRE2's sources (scripts/fetch-pcre2-source.sh).
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev clang-14
          libclang-rt-14-dev clang-format zlib1g-dev ccache pkg-config doxygen libpcre2-dev
          libcli11-dev nlohmann-json3-dev
          pybind11-dev python3-dev python3-pytest python3-mypy python3-venv python3-setuptools
          python3-pip)
# String tables for translators: PO through libgettextpo, checked with gettext's msgfmt and
# msgmerge; XLIFF checked with xmllint.
packages+=(libgettextpo-dev gettext libxml2-utils)
# The tool's shell completions are tried in each shell, its manual page linted with mandoc.
packages+=(bash zsh fish mandoc)
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest dpkg-dev)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

if [ "${1:-}" = windows ]; then
  "$(dirname "$0")/fetch-pcre2-source.sh"
fi
