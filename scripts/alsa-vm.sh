#!/usr/bin/env bash
# Runs a shell script inside a small virtual machine that has the kernel's ALSA sequencer
# (/dev/snd/seq with "Midi Through" and four VirMIDI ports), with the built programs in it.
# The USB-MIDI pieces are loaded too (dummy_hcd, libcomposite, usb_f_midi, snd-usb-audio,
# snd-seq-midi): a script can make a MIDI gadget in configfs (/sys/kernel/config) and bind it to
# dummy_udc.0, and the host side then sees it as a USB-MIDI controller, as a real one is seen.
#
#   scripts/alsa-vm.sh [OPTIONS] SCRIPT [ARGS...]
#       --build DIR     the build folder whose programs go in (default: $KORVALEN_BUILD_DIR
#                       or build/)
#       --add FILE      one more program (or a file) for the machine; may be given more than
#                       once. The build's korvalen25-cli and korvalen25-sim are always in it.
#       --timeout S     the machine is stopped after S seconds, boot included (default 1200,
#                       or $KORVALEN_ALSA_VM_TIMEOUT), and the run fails
#       --smp N         processors of the machine (default 2)
#
# The machine is Debian's kernel under QEMU's plain emulation (TCG: no KVM, which hung at boot
# here), with an initramfs made on the fly from busybox, the sound modules, the programs and
# every shared library they load. Every program keeps its own absolute path inside, so paths
# compiled into test programs hold there too; the folders of the programs are on PATH.
# SCRIPT runs as root in /tmp with ARGS, with QT_QPA_PLATFORM=offscreen; the output comes back
# on the serial console, and its exit status is this script's (1 when the machine never said
# it: a hang, a crash, a time-out).
#
# The kernel package (the one linux-image-amd64 depends on) is fetched with `apt-get download`
# and unpacked (its sound and USB modules) into ${XDG_CACHE_HOME:-~/.cache}/korvalen-alsa-vm/,
# never installed.
# Needs qemu-system-x86, busybox-static, cpio and xz-utils (scripts/install-deps.sh).
set -euo pipefail

usage() {
    echo "usage: $0 [--build DIR] [--add FILE]... [--timeout S] [--smp N] SCRIPT [ARGS...]" >&2
    exit 2
}

root_dir="$(cd "$(dirname "$0")/.." && pwd)"
build=${KORVALEN_BUILD_DIR:-$root_dir/build}
timeout_s=${KORVALEN_ALSA_VM_TIMEOUT:-1200}
smp=2
extra=()
while [ $# -gt 0 ]; do
    case "$1" in
    --build) build=$2; shift 2 ;;
    --add) extra+=("$2"); shift 2 ;;
    --timeout) timeout_s=$2; shift 2 ;;
    --smp) smp=$2; shift 2 ;;
    --help | -h) usage ;;
    --*) echo "alsa-vm: unknown option $1" >&2; usage ;;
    *) break ;;
    esac
done
[ $# -ge 1 ] || usage
script=$1
shift
[ -f "$script" ] || { echo "alsa-vm: no script $script" >&2; exit 2; }
build=$(cd "$build" && pwd)

for tool in qemu-system-x86_64 cpio dpkg-deb apt-get ldd xz; do
    command -v "$tool" >/dev/null || {
        echo "alsa-vm: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    }
done
busybox=/bin/busybox
# The static busybox: ldd finds no libraries in it.
if [ ! -x "$busybox" ] || ldd "$busybox" >/dev/null 2>&1; then
    echo "alsa-vm: $busybox is not the static busybox (install busybox-static)" >&2
    exit 1
fi

programs=("$build/cli/korvalen25-cli" "$build/sim/korvalen25-sim" "${extra[@]}")
for p in "${programs[@]}"; do
    [ -e "$p" ] || { echo "alsa-vm: $p is missing (build first)" >&2; exit 1; }
done

started=$(date +%s.%N)
elapsed() { awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }

# --- The kernel and its modules, cached per package -------------------------------------------
# One folder per layout of what is unpacked: an older folder lacks the USB modules.
cache=${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/korvalen-alsa-vm/usb
mkdir -p "$cache"
kernel_package() { # the package linux-image-amd64 depends on, as apt-cache knows it
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1 || true
}
package=$(kernel_package)
if [ -z "$package" ] && [ "$(id -u)" -eq 0 ] &&
    ! find "$cache" -maxdepth 2 -name .complete 2>/dev/null | grep -q .; then
    apt-get update -qq || true
    package=$(kernel_package)
fi
if [ -z "$package" ]; then
    # No package list (apt-get update never ran): a kernel unpacked before will do.
    package=$(find "$cache" -maxdepth 1 -name 'linux-image-*' -type d -printf '%f\n' 2>/dev/null |
        sort -V | tail -n 1)
    [ -n "$package" ] || {
        echo "alsa-vm: apt-cache does not know linux-image-amd64 (run apt-get update)" >&2
        exit 1
    }
fi
# Fetches and unpacks PACKAGE into $cache/PACKAGE unless that is there already.
fetch_kernel() ( # PACKAGE
    local kdir=$cache/$1 deb
    # Two runs at once unpack the kernel once.
    flock -w 600 9 || { echo "alsa-vm: the kernel cache stays locked" >&2; exit 1; }
    [ ! -f "$kdir/.complete" ] || exit 0
    echo "alsa-vm: fetching $1"
    rm -rf "$kdir" "$kdir.part"
    mkdir -p "$kdir.part"
    # apt's sandbox user cannot write here; that warning is no news.
    (cd "$kdir.part" && apt-get download -q "$1" 2>&1 |
        grep -v '^W: Download is performed unsandboxed' >&2 || true)
    deb=$(find "$kdir.part" -maxdepth 1 -name '*.deb' | head -n 1)
    [ -n "$deb" ] || { echo "alsa-vm: apt-get download $1 fetched nothing" >&2; exit 1; }
    # Only the kernel and its sound and USB modules (with what they need) are used.
    mkdir -p "$kdir.part/root"
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$kdir.part/root" --wildcards \
        '*boot/vmlinuz-*' '*/modules/*/kernel/sound/*' '*/modules/*/kernel/drivers/usb/*' \
        '*/modules/*/kernel/drivers/media/mc/*' '*/modules/*/kernel/fs/configfs/*' || exit 1
    rm -f "$deb"
    touch "$kdir.part/.complete"
    mv "$kdir.part" "$kdir"
) 9>"$cache/.lock"
if ! fetch_kernel "$package"; then
    # Package lists older than the archive name a kernel that is gone: once more after an
    # update.
    [ "$(id -u)" -eq 0 ] || exit 1
    apt-get update -qq || true
    package=$(kernel_package)
    [ -n "$package" ] && fetch_kernel "$package" || exit 1
fi
kdir=$cache/$package
vmlinuz=$(find "$kdir/root" -name 'vmlinuz-*' | head -n 1)
moddir=$(find "$kdir/root" -path "*/modules/*" -name kernel -type d -printf "%h\n" | head -n 1)
[ -f "$vmlinuz" ] && [ -d "$moddir" ] || { echo "alsa-vm: no kernel in $kdir" >&2; exit 1; }

# --- The initramfs -----------------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/korvalen-alsa-vm.XXXXXX")
trap 'rm -rf "$work"' EXIT
rootfs=$work/root
mkdir -p "$rootfs"/{bin,sbin,dev,proc,sys,tmp,etc,lib/modules,korvalen,usr/bin,usr/sbin}

cp "$busybox" "$rootfs/bin/busybox"

# The sequencer modules and the USB-MIDI pieces, each after what it needs. The package has no
# modules.dep (depmod makes it on installation): a module's needs are in its .modinfo
# ("depends=a,b"), the same list. Compressed modules are unpacked here, as busybox's insmod may
# not read them. configfs is built into Debian's kernel; loaded when it is a module.
wanted=(snd snd-timer snd-seq-device snd-seq snd-rawmidi snd-seq-midi-event snd-seq-dummy
    snd-seq-virmidi snd-virmidi snd-seq-midi
    configfs dummy_hcd libcomposite usb_f_midi snd-usb-audio)
maybe_builtin=" configfs "
declare -A module_file=() module_done=()
while IFS= read -r -d '' f; do
    n=${f##*/}
    n=${n%%.ko*}
    module_file[${n//_/-}]=$f
done < <(find "$moddir/kernel" -name '*.ko*' -print0)
order=()
add_module() { # NAME
    local name=${1//_/-} f deps d
    [ -z "${module_done[$name]:-}" ] || return 0
    module_done[$name]=1
    f=${module_file[$name]:-}
    if [ -z "$f" ]; then
        case "$maybe_builtin" in *" $name "*) return 0 ;; esac
        echo "alsa-vm: the kernel has no module $name" >&2
        exit 1
    fi
    case "$f" in
    *.ko.xz) xz -dc "$f" >"$work/$name.ko" ;;
    *.ko.zst) zstd -qdc "$f" >"$work/$name.ko" ;;
    *.ko.gz) gzip -dc "$f" >"$work/$name.ko" ;;
    *) cp "$f" "$work/$name.ko" ;;
    esac
    deps=$(tr '\0' '\n' <"$work/$name.ko" | sed -n 's/^depends=//p' | head -n 1)
    for d in ${deps//,/ }; do
        add_module "$d"
    done
    mv "$work/$name.ko" "$rootfs/lib/modules/$name.ko"
    order+=("$name")
}
for m in "${wanted[@]}"; do
    add_module "$m"
done
printf '%s\n' "${order[@]}" >"$rootfs/etc/korvalen-modules"

# A file at its own absolute path inside, symbolic links followed.
put() { # FILE
    local dest=$rootfs$1
    [ -e "$dest" ] && return 0
    mkdir -p "$(dirname "$dest")"
    cp -L "$1" "$dest"
}
# A program or library with every library it loads (and the dynamic loader).
put_with_libraries() { # FILE
    local lib
    put "$1"
    while read -r lib; do
        put "$lib"
    done < <(ldd "$1" 2>/dev/null | sed -n 's/.*=> \(\/[^ ]*\) .*/\1/p; s/^[[:space:]]*\(\/[^ ]*\) .*/\1/p')
}

paths=""
for p in "${programs[@]}"; do
    p=$(cd "$(dirname "$p")" && pwd)/$(basename "$p")
    mkdir -p "$rootfs$(dirname "$p")"
    # Debug information is not needed to run, and it is most of a test program's size.
    if ! objcopy --strip-debug "$p" "$rootfs$p" 2>/dev/null; then
        cp -L "$p" "$rootfs$p"
    fi
    chmod +x "$rootfs$p"
    put_with_libraries "$p"
    case ":$paths:" in *":$(dirname "$p"):"*) ;; *) paths=$paths:$(dirname "$p") ;; esac
done

# Qt's offscreen platform for the editor's tests, with fonts for its text.
qt_plugins=$(find /usr/lib -path '*/qt6/plugins/platforms' -type d 2>/dev/null | head -n 1)
if [ -n "$qt_plugins" ] && [ -f "$qt_plugins/libqoffscreen.so" ]; then
    put_with_libraries "$qt_plugins/libqoffscreen.so"
fi
[ -d /etc/fonts ] && cp -rL /etc/fonts "$rootfs/etc/"
for f in /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf; do
    [ -f "$f" ] && put "$f"
done
# libasound reads its configuration before it opens the sequencer.
[ -f /usr/share/alsa/alsa.conf ] && put /usr/share/alsa/alsa.conf

mkdir -p "$rootfs/korvalen"
cp "$script" "$rootfs/korvalen/test.sh"
# The folder of the script goes along: scripts may share helpers beside them.
for f in "$(dirname "$script")"/*.sh; do
    [ -f "$f" ] && cp "$f" "$rootfs/korvalen/"
done
# For busybox's shell (no arrays): words in single quotes.
quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
{
    echo "KORVALEN_PATHS=$(quote "${paths#:}")"
    args=""
    for a in "$@"; do args="$args $(quote "$a")"; done
    echo "KORVALEN_ARGS=$(quote "$args")"
} >"$rootfs/korvalen/env"

cat >"$rootfs/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t tmpfs tmpfs /dev/shm
# /tmp stays on the initramfs (in memory already): a build folder below /tmp is in it.
chmod 1777 /tmp
ip link set lo up 2>/dev/null
for m in $(cat /etc/korvalen-modules); do
    insmod /lib/modules/$m.ko || echo "alsa-vm: insmod $m failed"
done
for i in $(seq 100); do
    [ -c /dev/snd/seq ] && break
    sleep 0.1
done
. /korvalen/env
export PATH=$KORVALEN_PATHS:$PATH
export LD_LIBRARY_PATH=/lib/x86_64-linux-gnu:/usr/lib/x86_64-linux-gnu
export HOME=/tmp TMPDIR=/tmp QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/runtime
mkdir -p -m 700 /tmp/runtime
echo "alsa-vm: booted after $(cut -d' ' -f1 /proc/uptime) s of the machine's time"
cd /tmp
eval "set -- $KORVALEN_ARGS"
sh /korvalen/test.sh "$@"
rc=$?
echo "alsa-vm: the script ended after $(cut -d' ' -f1 /proc/uptime) s of the machine's time"
echo "ALSA-VM-EXIT=$rc"
sync
poweroff -f
EOF
chmod +x "$rootfs/init"

# Uncompressed: under emulation, unpacking gzip costs the kernel more than reading more bytes.
(cd "$rootfs" && find . -print0 | cpio --null -o -H newc --quiet) >"$work/initramfs.cpio"
echo "alsa-vm: initramfs of $(du -m "$work/initramfs.cpio" | cut -f1) MB ready after $(elapsed) s; booting $(basename "$vmlinuz")"

# --- The run ---------------------------------------------------------------------------------
log=$work/console.log
set +e
timeout -k 10 "$timeout_s" qemu-system-x86_64 -accel tcg,thread=multi -smp "$smp" -m 1024 \
    -nographic -no-reboot -nodefaults -serial stdio -monitor none \
    -kernel "$vmlinuz" -initrd "$work/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet loglevel=3 oops=panic" </dev/null 2>&1 |
    tee "$log"
qemu_rc=${PIPESTATUS[0]}
set -e
echo "alsa-vm: the machine ran $(elapsed) s in all"
status=$(tr -d '\r' <"$log" | sed -n 's/^ALSA-VM-EXIT=\([0-9]*\)$/\1/p' | tail -n 1)
if [ -z "$status" ]; then
    if [ "$qemu_rc" = 124 ] || [ "$qemu_rc" = 137 ]; then
        echo "alsa-vm: FAILED: no result within $timeout_s s (the machine was stopped)" >&2
    else
        echo "alsa-vm: FAILED: the machine ended (status $qemu_rc) without a result" >&2
    fi
    exit 1
fi
exit "$status"
