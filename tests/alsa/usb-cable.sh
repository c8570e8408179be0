#!/bin/sh
# The USB cable of the test machine (busybox sh): a MIDI gadget made in configfs, bound to the
# kernel's dummy USB controller. The host sees a USB-Audio card "Korvalen25" whose port on the
# sequencer is "Korvalen25 MIDI 1"; the device side is the sound card "gadget", whose raw MIDI
# device korvalen25-sim --rawmidi serves. Binding the gadget to dummy_udc.0 plugs the cable in,
# an empty UDC pulls it out.
#
# Sourced by alsa-tests.sh for its functions, or run as
#   usb-cable.sh plug STATE-DIR SIM [SIM-OPTIONS...]   start korvalen25-sim on the gadget, plug in
#   usb-cable.sh unplug STATE-DIR                      pull the cable, stop korvalen25-sim
# (the editor's hot-plug test runs these to make the controller come and go).

gadget=/sys/kernel/config/usb_gadget/korvalen25

gadget_make() {
    [ -d /sys/kernel/config/usb_gadget ] ||
        mount -t configfs none /sys/kernel/config 2>/dev/null
    [ -d /sys/kernel/config/usb_gadget ] || return 1
    [ -d $gadget ] && return 0
    mkdir -p $gadget/strings/0x409 $gadget/configs/c.1 $gadget/functions/midi.usb0 || return 1
    echo 0x1d6b >$gadget/idVendor
    echo 0x0104 >$gadget/idProduct
    echo Korvalen >$gadget/strings/0x409/manufacturer
    echo Korvalen25 >$gadget/strings/0x409/product
    echo 0000001 >$gadget/strings/0x409/serialnumber
    echo 1 >$gadget/functions/midi.usb0/in_ports
    echo 1 >$gadget/functions/midi.usb0/out_ports
    echo gadget >$gadget/functions/midi.usb0/id
    ln -s $gadget/functions/midi.usb0 $gadget/configs/c.1/ || return 1
}

# The host's port of the controller, as the sequencer lists it.
usb_port_there() { grep -q 'Port.*"Korvalen25 MIDI 1"' /proc/asound/seq/clients; }

# usb_plug SIM-OUT: plugs the cable in and waits until the simulator (whose stdout is SIM-OUT)
# has opened the device side once more and the host's port exists.
usb_plug() {
    opened=$(grep -c '^open ' "$1")
    echo dummy_udc.0 >$gadget/UDC || return 1
    i=0
    while [ $i -lt 300 ]; do
        [ "$(grep -c '^open ' "$1")" -gt "$opened" ] && usb_port_there && return 0
        sleep 0.1
        i=$((i + 1))
    done
    echo "    the gadget did not come up: the simulator said $(tr '\n' '|' <"$1")"
    return 1
}

# usb_pull SIM-PID SIM-OUT: pulls the cable: the simulator closes the device side first, then
# the gadget is unbound; waits until the host's port is gone.
usb_pull() {
    closed=$(grep -c '^closed' "$2")
    kill -USR1 "$1" 2>/dev/null
    i=0
    while [ "$(grep -c '^closed' "$2")" -le "$closed" ] && [ $i -lt 100 ]; do
        sleep 0.05
        i=$((i + 1))
    done
    echo "" >$gadget/UDC || return 1
    i=0
    while usb_port_there && [ $i -lt 300 ]; do
        sleep 0.1
        i=$((i + 1))
    done
    ! usb_port_there
}

case "${1:-}" in
plug)
    state=$2
    sim=$3
    shift 3
    gadget_make || exit 1
    mkdir -p "$state"
    : >"$state/sim.out"
    "$sim" --rawmidi gadget "$@" >"$state/sim.out" 2>>"$state/sim.log" &
    echo $! >"$state/sim.pid"
    i=0
    until grep -q '^ready ' "$state/sim.out"; do
        [ $i -lt 300 ] || exit 1
        sleep 0.1
        i=$((i + 1))
    done
    usb_plug "$state/sim.out"
    ;;
unplug)
    state=$2
    pid=$(cat "$state/sim.pid" 2>/dev/null)
    [ -n "$pid" ] || exit 1
    usb_pull "$pid" "$state/sim.out"
    rc=$?
    kill -TERM "$pid" 2>/dev/null
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 200 ]; do
        sleep 0.1
        i=$((i + 1))
    done
    rm -f "$state/sim.pid"
    exit $rc
    ;;
esac
