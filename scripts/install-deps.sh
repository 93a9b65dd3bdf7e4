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
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
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
