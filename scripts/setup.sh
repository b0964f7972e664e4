#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages only.
# Idempotent and quiet when everything is present. Needs root (or sudo) only when
# something is missing.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# Any command that fails without its own message still says which one it was.
trap 'echo "setup: \"$BASH_COMMAND\" failed (status $?) at line $LINENO of scripts/setup.sh" >&2' ERR
# Dependency sources and builds live outside the checkout so later runs reuse them.
deps="${MURLAVO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/murlavo}"

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 wine xvfb xauth x11-utils x11-xserver-utils nasm cmake ninja-build googletest imagemagick
  libjpeg62-turbo-dev libjpeg-turbo-progs dpkg-dev g++ make
  libvips-tools time
  nsis
  clang libclang-rt-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ -n "$SUDO" ] && ! command -v sudo >/dev/null; then SUDO="setup_fail_no_root"; fi

# One line saying what went wrong and what to do.
setup_fail() {
  echo "setup: $*" >&2
  exit 1
}
setup_fail_no_root() {
  setup_fail "installing packages (${missing[*]:-none}) or adding the deb-src entry needs root, and sudo is not here: run as root"
}

# 'apt-get source' needs a deb-src entry for the same suite as the installed system.
ensure_deb_src() {
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    . /etc/os-release
    $SUDO tee /etc/apt/sources.list.d/murlavo-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${VERSION_CODENAME}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    return 0
  fi
  return 1
}

updated=0
if ensure_deb_src; then updated=1; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || setup_fail "could not read Debian's package lists (apt-get update failed; check the network and the apt sources)"
  updated=0
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null \
    || setup_fail "could not install ${missing[*]} (apt-get install failed; it needs root or sudo and Debian's package servers)"
fi

# libjpeg-turbo sources from Debian, unpacked once into the build folder.
if [ ! -f "$deps/libjpeg-turbo-src/CMakeLists.txt" ]; then
  echo "setup: fetching the libjpeg-turbo source package"
  [ $updated -eq 1 ] && $SUDO apt-get update -qq
  mkdir -p "$deps/src-download"
  chmod 777 "$deps/src-download" 2>/dev/null || true
  (cd "$deps/src-download" && apt-get source -qq --download-only libjpeg-turbo >/dev/null) \
    || setup_fail "could not fetch the libjpeg-turbo source package (apt-get source needs a deb-src entry and Debian's servers)"
  rm -rf "$deps/libjpeg-turbo-src"
  (cd "$deps/src-download" && dpkg-source -x libjpeg-turbo_*.dsc "$deps/libjpeg-turbo-src" >/dev/null 2>&1) \
    || setup_fail "could not unpack the libjpeg-turbo source package in $deps (remove $deps/src-download and try again)"
fi

# Other Debian source packages, unpacked once the same way: fetch_source PACKAGE FOLDER MARKER
# (MARKER: a file inside FOLDER that only a complete unpack has).
fetch_source() {
  local package=$1 folder=$2 marker=$3
  [ -e "$deps/$folder/$marker" ] && return 0
  echo "setup: fetching the $package source package"
  if [ $updated -eq 1 ]; then $SUDO apt-get update -qq; updated=0; fi
  mkdir -p "$deps/src-download"
  chmod 777 "$deps/src-download" 2>/dev/null || true
  (cd "$deps/src-download" && apt-get source -qq --download-only "$package" >/dev/null) \
    || setup_fail "could not fetch the $package source package (apt-get source needs a deb-src entry and Debian's servers)"
  rm -rf "$deps/$folder"
  (cd "$deps/src-download" && dpkg-source -x "$(ls -t "${package}"_*.dsc | head -1)" "$deps/$folder" >/dev/null 2>&1) \
    || setup_fail "could not unpack the $package source package in $deps (remove $deps/src-download and try again)"
}
# PNG: libspng decodes, inflating with zlib; both are built static by cmake/png.cmake.
fetch_source libspng libspng-src spng/spng.c
fetch_source zlib zlib-src inflate.c
# GIF: giflib's decoding part, compiled with our own code by cmake/gif.cmake; its pic/ folder
# holds the test pictures.
fetch_source giflib giflib-src dgif_lib.c
# libpng only for its test pictures (contrib/pngsuite, contrib/testpngs), read in place.
fetch_source libpng1.6 libpng-src contrib/pngsuite
# WebP: libwebp's decoder and demuxer, built static by cmake/webp.cmake; its test pictures
# (examples/test.webp and its reference) are read in place.
fetch_source libwebp libwebp-src src/dec/vp8_dec.c
