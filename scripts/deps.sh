#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
          libtiff-dev libtiff-tools libminizip-dev zlib1g-dev libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev
          libgif-dev libfreetype-dev libharfbuzz-dev libfribidi-dev fonts-liberation fonts-dejavu-core
          fonts-droid-fallback fonts-noto-core fonts-noto-ui-core fonts-noto-cjk libx11-dev xvfb qpdf
          poppler-utils unzip libxml2-utils locales)
# bench_pagefixes times leptonica beside the page fixes when its development files are present.
packages+=(libleptonica-dev)
# The fuzz configuration (scripts/fuzz.sh): clang with its libFuzzer and sanitizer runtimes, and the symbolizer.
packages+=(clang libclang-rt-14-dev llvm)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A locale with a decimal comma, so that the tests of numbers written the same in every locale run.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    echo "Generating the locale de_DE.UTF-8"
    $sudo_cmd localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
