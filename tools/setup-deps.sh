#!/usr/bin/env bash
# Installs the Debian 12 packages Varnwick needs to build, test and run.
# Idempotent: packages already present are left alone, and apt-get runs only
# when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev
  qt6-base-dev libgl-dev
  libsqlite3-dev sqlite3
  libsimpleini-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth
  desktop-file-utils appstream groff-base
  python3-vobject
  time
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
  else
    echo "error: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
