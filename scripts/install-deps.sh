#!/usr/bin/env bash
# Installs what building and testing Bytewren needs on Debian 12. Safe to run again:
# it does nothing when everything is already there.
set -euo pipefail

# Both Wine architectures: 32-bit Wine needs a machine that executes 32-bit x86 code,
# and where it cannot the tests run an x64 build under 64-bit Wine.
need=(cmake make g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
      binutils-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick
      fonts-wqy-microhei locales googletest libbenchmark-dev procps)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync serves an index that fails its checksum; apt keeps the
  # old one, so the 32-bit and 64-bit lists of the same suite can disagree.
  updated=no
  for attempt in 1 2 3; do
    if apt-get update -qq; then updated=yes; break; fi
    sleep $((attempt * 5))
  done
  install=(apt-get install -y -qq --no-install-recommends)
  if ! DEBIAN_FRONTEND=noninteractive "${install[@]}" "${missing[@]}"; then
    [ "$updated" = yes ] && exit 1
    # Wine's 32-bit libraries must match the 64-bit ones version for version: take
    # both from the release's own suite, whose lists were read whole.
    echo "Some package lists could not be read; installing from the release's own suite" >&2
    DEBIAN_FRONTEND=noninteractive "${install[@]}" -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" "${missing[@]}"
  fi
fi

# The program's texts are written for code page 936; Wine takes it from the locale.
for loc in zh_CN.UTF-8 en_US.UTF-8; do
  if ! locale -a 2>/dev/null | grep -qix "${loc/UTF-8/utf8}"; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "Locale $loc is missing (run as root to generate it)" >&2
      exit 1
    fi
    sed -i "s/^# *\(${loc} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${loc} UTF-8" /etc/locale.gen || echo "${loc} UTF-8" >> /etc/locale.gen
    locale-gen >/dev/null
  fi
done
