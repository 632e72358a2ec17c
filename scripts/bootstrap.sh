#!/usr/bin/env bash
# Installs, from Debian's packages only, everything the builds and tests need. Idempotent: a machine that
# already has everything is left alone (and no package list is fetched).
set -euo pipefail

packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  wine wine64 wine32:i386
  googletest libgtest-dev libgmock-dev libbenchmark-dev libspdlog-dev libasio-dev
  # Boost.Beast's HTTP parser: the reference the request reader's fuzzer checks it against.
  libboost1.81-dev
  curl microsocks python3 socat
  nginx-light libnginx-mod-rtmp tinyproxy ffmpeg
  # The end-to-end tests' certificate for nginx's TLS, and their WebSocket stream source and player.
  openssl python3-websockets
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "bootstrap: installing ${missing[*]}"
$sudo dpkg --add-architecture i386
# A mirror caught mid-sync fails an index now and then (seen: the i386 security list for a day): try again, then
# go on with the lists that did arrive, and let the install say whether what it needs was among them.
lists_whole=1
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  [ $attempt -eq 3 ] && lists_whole=0 && echo "bootstrap: some package lists did not download; installing from the others" && break
  sleep 10
done
# The servers among them (nginx, tinyproxy) are for tests that start their own on 127.0.0.1: a policy that
# refuses every service start keeps the system's from starting while they install.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod +x "$policy"
  own_policy=1
fi
apt_install() { DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" "${missing[@]}" >/dev/null; }
status=0
apt_install || status=$?
if [ $status -ne 0 ] && [ $lists_whole -eq 0 ]; then
  # Seen: the mirror's i386 security list stale for days. The security suite's amd64 libraries are then newer
  # than any i386 twin the other lists know, and a library of both architectures must be one version: take
  # both from the point release instead, for this install only.
  echo "bootstrap: installing from the point release, the security suite's lists being incomplete"
  pin=$(mktemp)
  printf 'Package: *\nPin: release n=bookworm-security\nPin-Priority: 50\n' >"$pin"
  status=0
  apt_install -o Dir::Etc::Preferences="$pin" || status=$?
  rm -f "$pin"
fi
[ $own_policy -eq 0 ] || $sudo rm -f "$policy"
exit $status
