#!/usr/bin/env bash
# Installs every Debian package that the build, the program and the tests need.
# Runs as root on a fresh machine; safe to run again (installs only what is missing).
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  clang libclang-rt-14-dev clang-format clang-tidy python3
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libx11-dev libfreetype-dev libfontconfig-dev libpng-dev
  fonts-liberation2 fonts-dejavu-core fonts-wine
  xvfb xauth xdotool x11-apps x11-utils openbox
  iproute2 util-linux socat iptables
  tftpd-hpa tftp-hpa atftp busybox-static dante-server microsocks tinyproxy
  imagemagick libgif-dev stress-ng
)
# The command-line upgrader and its Debian package: argument parsing, JSON in its tests, the
# manual page made from --help, the package build (file, dpkg-shlibdeps) and Debian's checkers
# of packages, menu entries and metadata.
packages+=(libcli11-dev nlohmann-json3-dev help2man lintian desktop-file-utils appstream file dpkg-dev)
# The Windows build: mingw-w64 with POSIX threads and its zlib, Wine to run its tests, zip for
# its download.
packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 zip)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The atftpd server conflicts with tftpd-hpa as a package, so it is unpacked beside the build.
atftpd_dir="${ATFTPD_DIR:-/opt/upgrade-wizard/atftpd}"
if [ ! -x "$atftpd_dir/usr/sbin/atftpd" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download atftpd >/dev/null 2>&1)
  mkdir -p "$atftpd_dir"
  dpkg -x "$tmp"/atftpd_*.deb "$atftpd_dir"
  rm -rf "$tmp"
fi
echo "dependencies ready"
