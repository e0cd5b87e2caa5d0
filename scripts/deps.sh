#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# calling apt only when one of them is missing, and sets the build's time
# (epoch.sh). Sourced by every script.
kvr_packages=(
    cmake g++ make pkg-config
    juce-modules-source
    libgtest-dev libgmock-dev
    libfontconfig-dev libssl-dev
    fonts-ipafont-gothic fonts-liberation
    xvfb xauth xdotool x11-utils libx11-dev
    imagemagick tesseract-ocr tesseract-ocr-eng tesseract-ocr-jpn locales
    iproute2 nftables procps python3-fusepy libfuse2 python3-jsonschema
    openbox xsettingsd python3-gi gir1.2-glib-2.0
    clang-14 libclang-rt-14-dev libfuzzer-14-dev
)

kvr_install_missing() {
    local missing=()
    local p
    for p in "${kvr_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

. "$(dirname "${BASH_SOURCE[0]}")/epoch.sh"
