#!/usr/bin/env bash
# Installs the Debian packages Corvanel needs to build, run and test.
# Safe to run again: it only installs what is missing. Needs root (or sudo).
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev
  # libraries
  libjpeg62-turbo-dev libcups2-dev libcairo2-dev libfontconfig-dev fonts-liberation2
  qt6-base-dev libgl-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3 python3-pydicom
  dcmtk qpdf poppler-utils imagemagick
  cups cups-daemon cups-client cups-filters cups-ipp-utils
  procps psmisc iproute2
)

# Node.js and npm run the dcmjs-dimse test peer; take Debian's only when none is installed.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# JavaScript test peer (dcmjs-dimse), kept inside the tree.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -f "$here/tests/e2e/package.json" ] && [ ! -d "$here/tests/e2e/node_modules/dcmjs-dimse" ]; then
  (cd "$here/tests/e2e" && npm install --no-audit --no-fund --silent)
fi
