#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Figures that need the real window: start-up, discovery, hand-over, cancel,
# idle processor time and memory. Runs the built program under its own Xvfb in
# a network namespace joined by a veth pair to a second one where the mixer
# simulator plays the mixer, and drives the window with xdotool.
#
#   bash bench/window.sh [RUNS]        (as root; default 5 runs)
#
# Every figure is the median of RUNS runs; each run starts the program afresh.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$root/build}
program=$build/app/KVR516_UPDATE_artefacts/Release/KVR516_UPDATE
simulator=$build/tools/kvr_mixer_simulator
clock=$build/bench/kvr_window_clock
runs=${1:-5}
idleSeconds=10

if [ "$(id -u)" -ne 0 ]; then
    echo "bench/window.sh needs root (network namespaces); skipped." >&2
    exit 2
fi
for f in "$program" "$simulator" "$clock"; do
    [ -x "$f" ] || { echo "missing $f: build first (bash scripts/test)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/kvr-window-bench.XXXXXX)
pc=kvrb-pc-$$
mx=kvrb-mx-$$
xvfb=
app=
sim=
watch=

cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    [ -n "$watch" ] && kill "$watch" 2>/dev/null || true
    [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    ip netns del "$pc" 2>/dev/null || true
    ip netns del "$mx" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The computer (198.51.100.10) and the mixer (198.51.100.20) on one link.
. "$root/tests/support/two_hosts.sh"
kvr_two_hosts "$pc" "$mx" "kvrb$$" "kvrm$$"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -br -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"

# The program beside its update files.
mkdir -p "$work/small" "$work/large" "$work/huge"
makeFile() { # folder, MiB, sparse?
    cp "$program" "$1/KVR516_UPDATE"
    if [ "$3" = sparse ]; then
        truncate -s "${2}M" "$1/KVR516_UPDATE.upd"
    else
        head -c "$(($2 * 1048576))" /dev/urandom >"$1/KVR516_UPDATE.upd"
    fi
    printf KVR700X2 | dd of="$1/KVR516_UPDATE.upd" conv=notrunc status=none
}
makeFile "$work/small" 1 full
makeFile "$work/large" 8 full
makeFile "$work/huge" 1024 sparse

now() { date +%s%N; }
msSince() { echo $((($(now) - $1) / 1000000)); }
fail() { echo "window bench: $*" >&2; exit 1; }

# Waits until the command succeeds, for at most $1 seconds.
within() {
    local limit=$(($(now) + $1 * 1000000000))
    shift
    until "$@"; do
        [ "$(now)" -lt "$limit" ] || return 1
        sleep 0.002
    done
}
windows() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l; }
hasBox() { [ "$(windows)" -ge 2 ]; }
gone() { ! kill -0 "$app" 2>/dev/null; }
mainWindow() { xdotool search --onlyvisible --name "KVR Firmware Downloader" 2>/dev/null | head -1; }
hasWindow() { [ -n "$(mainWindow)" ]; }
working() { [ "$(workers)" -ge 2 ]; }
idleWorker() { [ "$(workers)" -le 1 ]; }
workers() { cat /proc/"$app"/task/*/comm 2>/dev/null | grep -c '^KVR516_UPDATE$' || true; }
peakKiB() { awk '/^VmHWM/ { print $2 }' /proc/"$app"/status; }
# Processor time of all the program's threads so far, in ns; ownCpuNs only of
# the threads the program starts itself (the worker and the network threads,
# all named after the program), not the message thread or the framework's.
cpuNs() { cat /proc/"$app"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s }'; }
ownCpuNs() {
    local t s=0
    for t in /proc/"$app"/task/*; do
        [ "${t##*/}" != "$app" ] && [ "$(cat "$t/comm" 2>/dev/null)" = KVR516_UPDATE ] &&
            s=$((s + $(cut -d' ' -f1 "$t/schedstat")))
    done
    echo "$s"
}

# The two buttons, in the window's own coordinates.
leftButton() { xdotool mousemove --window "$window" 280 197 click 1; }
rightButton() { xdotool mousemove --window "$window" 410 197 click 1; }
# Points at a button; clockStart --click then clicks it.
pointLeft() { xdotool mousemove --sync --window "$window" 280 197; }
pointRight() { xdotool mousemove --sync --window "$window" 410 197; }

# Watches for the next window to be mapped and painted (with --click, clicks
# first); clockTimes then waits for it and sets clicked, mappedAt, paintedAt.
clockStart() {
    "$clock" --timeout 20 "$@" >"$work/clock" &
    watch=$!
    within 5 grep -qs ready "$work/clock" || fail "window clock not ready"
}
clockTimes() {
    wait "$watch" || fail "no window appeared"
    watch=
    clicked=$(sed -n 's/^clicked=//p' "$work/clock")
    mappedAt=$(sed -n 's/^mapped=//p' "$work/clock")
    paintedAt=$(sed -n 's/^painted=//p' "$work/clock")
}
msBetween() { echo $((($2 - $1) / 1000000)); }
msBetweenFine() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1e6 }'; }
dismissBox() {
    local box
    box=$(xdotool search --onlyvisible --pid "$app" | grep -v "^$window\$" | head -1)
    xdotool windowfocus --sync "$box" key Return
}

# Starts the program in folder $1 with a lock folder of its own, so that other
# copies on this machine do not make it give way; started holds the time to
# its visible window.
startProgram() {
    local t0
    clockStart --painted
    t0=$(now)
    ip netns exec "$pc" sh -c 'mount -t tmpfs kvr-lock /var/tmp && exec "$0"' \
        "$1/KVR516_UPDATE" >>"$work/program.log" 2>&1 &
    app=$!
    clockTimes
    started=$(msBetweenFine "$t0" "$paintedAt")
    within 10 hasWindow || fail "no window; $(tail -3 "$work/program.log")"
    window=$(mainWindow)
}

# The language screen's OK; returns when the initialise stage has ended.
initialise() {
    leftButton
    within 1 working || true
    within 30 idleWorker || fail "initialise stage did not end"
    sleep 0.2
}

endProgram() {
    within 10 gone || fail "program did not end"
    wait "$app" 2>/dev/null || true
    app=
}

field() { tr ' ' '\n' <"$1" | sed -n "s/^$2=//p"; }

declare -a startup handover discovery cadence peakRun peakSmall peakHuge idle idleOwn cancelConnect \
    cancelSend quitMs
for run in $(seq "$runs"); do
    # A whole delivery of 1 MiB.
    startProgram "$work/small"
    startup+=("$started")
    initialise
    peakSmall+=("$(peakKiB)")
    ip netns exec "$mx" "$simulator" --datagrams 10 --timeout 60 \
        --expect "$work/small/KVR516_UPDATE.upd" >"$work/sim" &
    sim=$!
    sleep 0.3
    pointLeft
    "$clock" --click >"$work/clock" || fail "cannot click"
    t0=$(sed -n 's/^clicked=//p' "$work/clock")
    wait "$sim" || fail "delivery failed: $(cat "$work/sim")"
    sim=
    at=$(field "$work/sim" first_datagram_at)
    discovery+=("$(awk -v a="$at" -v b="$t0" 'BEGIN { printf "%.1f", a * 1000 - b / 1e6 }')")
    cadence+=("$(field "$work/sim" cadence_ms | cut -d/ -f2)")
    handover+=("$(field "$work/sim" first_byte_ms)")
    sleep 0.3
    peakRun+=("$(peakKiB)")
    pointLeft
    "$clock" --click >"$work/clock" || fail "cannot click"
    clicked=$(sed -n 's/^clicked=//p' "$work/clock")
    endProgram
    quitMs+=("$(msSince "$clicked")")

    # The check of a 1 GiB file, then EXIT.
    startProgram "$work/huge"
    initialise
    peakHuge+=("$(peakKiB)")
    rightButton
    endProgram

    # Waiting for a mixer that never comes, then Cancel.
    startProgram "$work/small"
    initialise
    leftButton
    sleep 1
    c0=$(cpuNs)
    o0=$(ownCpuNs)
    sleep "$idleSeconds"
    c1=$(cpuNs)
    o1=$(ownCpuNs)
    idle+=("$(awk -v a="$c0" -v b="$c1" -v s="$idleSeconds" 'BEGIN { printf "%.3f", (b - a) / (s * 1e7) }')")
    idleOwn+=("$(awk -v a="$o0" -v b="$o1" -v s="$idleSeconds" 'BEGIN { printf "%.3f", (b - a) / (s * 1e7) }')")
    pointRight
    clockStart --click --painted
    clockTimes
    cancelConnect+=("$(msBetweenFine "$clicked" "$paintedAt")")
    within 5 hasBox || fail "no cancel message in the connect stage"
    dismissBox
    endProgram

    # Cancel while 8 MiB are being sent.
    startProgram "$work/large"
    initialise
    ip netns exec "$mx" "$simulator" --datagrams 3 --timeout 60 >"$work/sim" &
    sim=$!
    sleep 0.3
    leftButton
    sleep 2
    pointRight
    clockStart --click --painted
    clockTimes
    cancelSend+=("$(msBetweenFine "$clicked" "$paintedAt")")
    within 5 hasBox || fail "no cancel message in the send stage"
    dismissBox
    endProgram
    wait "$sim" 2>/dev/null || true
    sim=
    echo "run $run of $runs done" >&2
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print lo "-" hi }'; }
row() { # name, unit, goal, values...
    local name=$1 unit=$2 goal=$3
    shift 3
    printf '%-44s %10s %-6s %15s  %s\n' "$name" "$(median "$@")" "$unit" "$(range "$@")" "$goal"
}

echo "Window figures, median of $runs runs (program under Xvfb, mixer simulator in a network namespace)"
printf '%-44s %10s %-6s %15s  %s\n' "figure" "median" "unit" "min-max" "floor / goal"
row "start-up: process start to painted window" ms "-" "${startup[@]}"
row "discovery: START to first datagram" ms "-" "${discovery[@]}"
row "discovery: cycle period" ms "floor 100" "${cadence[@]}"
row "hand-over: connection to first length byte" ms "goal <= 15" "${handover[@]}"
row "cancel in the connect stage: to message box" ms "-" "${cancelConnect[@]}"
row "cancel in the send stage: to message box" ms "-" "${cancelSend[@]}"
row "last OK to process end (includes polling)" ms "-" "${quitMs[@]}"
row "idle while waiting for the mixer" "%core" "goal < 0.5" "${idle[@]}"
row "  of which worker and network threads" "%core" "-" "${idleOwn[@]}"
row "peak memory after the check, 1 MiB file" KiB "-" "${peakSmall[@]}"
row "peak memory after the check, 1 GiB file" KiB "= 1 MiB row" "${peakHuge[@]}"
row "peak memory of a whole 1 MiB delivery" KiB "-" "${peakRun[@]}"
