#!/usr/bin/env bash
# Unpacks Debian's pcre2 source package, Debian's patches applied, into build/deps/pcre2: Debian
# has no MinGW build of PCRE2, so the Windows build compiles it from these sources
# (cmake/KelvanePcre2FromSource.cmake). It takes the host's libpcre2-dev version, or, when that
# revision's files cannot be fetched, another Debian revision of the same upstream release. Run by
# ./scripts/install-deps.sh windows; does nothing once sources for the host's version are there.
set -euo pipefail
deps="$(cd "$(dirname "$0")/.." && pwd)/build/deps"
version="$(dpkg-query -W -f='${source:Version}' libpcre2-dev)"
if [ -f "$deps/pcre2/CMakeLists.txt" ] \
    && [ "$(cat "$deps/pcre2.host-version" 2>/dev/null)" = "$version" ]; then
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
# apt only finds source packages through deb-src entries; add ones mirroring the binary entries.
if ! grep -Eqs '^(Types:.*\<deb-src\>|deb-src )' /etc/apt/sources.list \
    /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
  echo "adding deb-src entries: /etc/apt/sources.list.d/debian-src.sources"
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  "${sudo_cmd[@]}" apt-get update -qq
fi

upstream="${version#*:}"
upstream="${upstream%-*}"
candidates=("$version")
while read -r candidate; do
  if [ "$candidate" != "$version" ] && [[ "${candidate#*:}" == "$upstream"-* ]]; then
    candidates+=("$candidate")
  fi
done < <(apt-cache showsrc pcre2 | sed -n 's/^Version: //p')

rm -rf "$deps/pcre2" "$deps"/pcre2_* "$deps/pcre2.host-version"
mkdir -p "$deps"
for candidate in "${candidates[@]}"; do
  echo "fetching Debian's pcre2 $candidate sources into $deps"
  if (cd "$deps" && apt-get source -qq --download-only "pcre2=$candidate" 2>/dev/null); then
    # apt has checked every file against the archive's signed index, as its own unpacking relies on.
    dpkg-source --no-check -x "$deps/pcre2_${candidate#*:}.dsc" "$deps/pcre2" >/dev/null
    echo "$version" >"$deps/pcre2.host-version"
    exit 0
  fi
  echo "pcre2 $candidate cannot be fetched"
done
echo "no Debian sources of PCRE2 $upstream could be fetched" >&2
exit 1
