#!/usr/bin/env bash
# Shared by scripts/run and scripts/test: installs the Debian packages the build needs
# (only those that are missing) and configures and builds the project into build/.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"

PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-translations-l10n
          libsqlcipher-dev sqlcipher libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth fonts-liberation cups libcups2-dev printer-driver-cups-pdf poppler-utils
          libreoffice-calc-nogui)

# The auditor's export is checked against its description with xmllint.
PACKAGES+=(libxml2-utils)

# Restorix's repair reads the pages of a keyed cash book with OpenSSL's libcrypto.
PACKAGES+=(libssl-dev)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}"
}

build_project() {
    local type="${BUILD_TYPE:-RelWithDebInfo}"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
    cmake --build "$BUILD" --parallel "$(nproc)"
}
