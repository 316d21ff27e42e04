# Shared by the scripts: package installation and the Linux build.
# shellcheck shell=bash

ZOR_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Installs the Debian packages named when any is missing (root only).
zor_require_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

zor_linux_packages=(cmake ninja-build g++ make googletest libgtest-dev libgmock-dev libcairo2-dev libcli11-dev pkg-config
    locales libbenchmark-dev libeigen3-dev python3 doxygen pkgconf dpkg
    python3-pytest python3-numpy python3-scipy python3-scikit-rf python3-matplotlib python3-setuptools python3-pip
    libcpp-httplib-dev
    python3-pyvisa-py lxi-tools)  # the last two: VXI-11 peers in the tests

# zor_build <build-dir> [cmake options...]
zor_build() {
    local dir="$1"
    shift
    cmake -S "$ZOR_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
