#!/usr/bin/env bash
# Installs the Debian packages that building, testing and cross-building need,
# and the scheduler the farm example is tested on.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q \
  g++ cmake ninja-build pkg-config \
  libgtest-dev libbenchmark-dev \
  libopenimageio-dev openimageio-tools libcli11-dev nlohmann-json3-dev \
  openexr libtiff-tools imagemagick ffmpeg opencv-doc libopencv-dev python3-yaml \
  clang libclang-rt-14-dev \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  slurm-wlm munge
$sudo apt-get install -y -q --no-install-recommends wine wine64
