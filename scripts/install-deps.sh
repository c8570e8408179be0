#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the tools need.
# Idempotent: apt-get runs only when something is missing; quiet when all is present.
set -euo pipefail

packages=(
    build-essential cmake pkg-config python3
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools libgl-dev
    # lupdate and lrelease for the translations, and Qt's own (the standard buttons)
    qt6-l10n-tools qt6-translations-l10n
    librtmidi-dev libasound2-dev libfontconfig-dev
    jackd2 libjack-jackd2-dev
    # PipeWire as the JACK server, headless, for the tests that run through pw-jack
    pipewire pipewire-bin pipewire-jack
    xvfb xauth fonts-dejavu-core fonts-liberation
    # the desktop's own GTK 3 theme for Qt (its dark Adwaita comes with GTK)
    qt6-gtk-platformtheme
    # a screen reader's view in the tests: the accessibility bus and its Python client
    at-spi2-core python3-pyatspi dbus
    clang libclang-rt-14-dev clang-format
    dpkg-dev appstream desktop-file-utils lintian help2man shared-mime-info
    # the ALSA test bed (scripts/alsa-vm.sh): a virtual machine with the kernel sequencer
    qemu-system-x86 busybox-static cpio xz-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable realtime scheduling; answer it ahead of time.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections 2>/dev/null || true
$SUDO apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
