#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing. Extra packages may be named as arguments.
set -euo pipefail
need=(cmake ninja-build g++ libgtest-dev libgmock-dev libssl-dev swig "$@")
# The XML fuzz target: clang with its libFuzzer runtime; the real-document
# test reads files with python3.
need+=(clang libclang-rt-14-dev python3)
# The Python 3 builds of the modules: Debian's python3 with its headers.
need+=(python3-dev)
# ffsmount: libfuse 3 (pkg-config finds it) and fusermount3 for the mount tests.
need+=(libfuse3-dev fuse3 pkg-config)
# ffsimage (pybind11) and the pip install of the three modules, offline:
# setuptools with the CMake build step, the wheel builder, virtual environments.
need+=(pybind11-dev python3-setuptools python3-build python3-venv)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
