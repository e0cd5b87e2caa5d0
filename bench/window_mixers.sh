#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Figures of the window serving several mixers beside the console doing the
# same: the program runs as the end-to-end test runs it (its harness: its own
# Xvfb, the program in one network namespace, one mixer simulator per mixer in
# another, each from its own address 198.51.100.21 on). For each count of
# mixers and each run, the console run (--console --mixers N) and then the
# window (--mixers N, driven by the keyboard to START) send one update file
# to N simulators. Printed:
#   - pacing: each mixer's transfer_ms (the simulator's, first byte to last)
#     over the floor of 1 ms per 1024-byte piece, the mean of the N mixers;
#   - processor time of the program's process while sending (utime + stime
#     from /proc/PID/stat), as a share of one core: from the moment all N
#     mixers are connected, for 0.8 of the floor, so inside the send; for the
#     window also its message thread alone (the task whose id is the
#     process's: it paints) and the X server's (it draws what the window
#     sends); each run's lines give every thread's, by name;
#   - the window's paints per second over the same stretch, seen from outside
#     by build/bench/kvr_window_damage (the X server's DAMAGE extension), and
#     the area painted most often per second (each run's lines list every
#     area painted: a row is its bar, 334 x 12, and its line, 532 x 18).
#
#   bash bench/window_mixers.sh [RUNS] ["COUNTS"]   (as root; default 1 run, "8")
#   KVR_BENCH_MIB=4 (default) sets the update file's size in MiB.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$root/build}
program=$build/app/KVR516_UPDATE_artefacts/Release/KVR516_UPDATE
simulator=$build/tools/kvr_mixer_simulator
close_helper=$build/tests/app/kvr_window_close
damage=$build/bench/kvr_window_damage
runs=${1:-1}
counts=${2:-8}
mib=${KVR_BENCH_MIB:-4}

if [ "$(id -u)" -ne 0 ]; then
    echo "bench/window_mixers.sh needs root (network namespaces); skipped." >&2
    exit 2
fi
for f in "$program" "$simulator" "$close_helper" "$damage"; do
    [ -x "$f" ] || { echo "missing $f: build the targets KVR516_UPDATE kvr_mixer_simulator" \
        "kvr_window_close kvr_window_damage first" >&2; exit 1; }
done

# The end-to-end test's harness, as tests/app/fault_rows.sh takes it, with its
# own folder named where it names the files beside it.
set -- "$program" "$simulator" "$close_helper"
harness=$(sed -e '/^step "a whole update in English"/,$d' \
    -e "s|\$(dirname \"\${BASH_SOURCE\[0\]}\")|$root/tests/app|g" "$root/tests/app/end_to_end.sh")
grep -q '^launch()' <<<"$harness" || { echo "no harness in tests/app/end_to_end.sh" >&2; exit 1; }
eval "$harness"
damage_pid=""
# The harness's cleanup, after the paint counter's end; it exits with the
# status it finds.
end_bench() {
    local status=$?
    set +e
    [ -z "$damage_pid" ] || { kill "$damage_pid" 2>/dev/null; wait "$damage_pid" 2>/dev/null; }
    (exit "$status")
    cleanup
}
trap end_bench EXIT

console_start() {
    : >"$work/console.out"
    ip netns exec "$ns_pc" env -i HOME="$work/home" LANG=en_US.UTF-8 PATH=/usr/bin:/bin \
        XDG_STATE_HOME="$work/state" sh -c 'mount --bind "$1" /var/tmp && shift && exec "$@"' sh \
        "$work/lockdir" "$work/prog/KVR516_UPDATE" --console "$@" >>"$work/console.out" 2>>"$work/app.log" &
    app_pid=$!
}
key() { xdotool key --delay 50 "$@"; }

size=$((mib * 1024 * 1024))
floor_ms=$(((size + 4 + 1023) / 1024))
measure_s=$(awk -v f="$floor_ms" 'BEGIN { printf "%.3f", f * 0.8 / 1000 }')
ticks=$(getconf CLK_TCK)
make_update_file "$size"

now() { date +%s%N; }
connected() {
    [ "$(ip netns exec "$ns_pc" ss -Htn state established '( sport = :54000 )' | wc -l)" -ge "$1" ]
}
cpu_ticks() { awk '{ print $14 + $15 }' "$1"; }
share() { # ticks before, after, ns before, after: % of one core
    awk -v a="$1" -v b="$2" -v s="$3" -v e="$4" -v t="$ticks" 'BEGIN { printf "%.1f", (b - a) / t / ((e - s) / 1e9) * 100 }'
}
# The N mixers' transfer_ms over the floor: their mean and the largest.
pacing() {
    local k
    for ((k = 1; k <= $1; k++)); do
        sed -n 's/.*transfer_ms=\([0-9.]*\).*/\1/p' "$work/mixer.$k.log"
    done | awk -v f="$floor_ms" '{ s += $1; if ($1 > m) m = $1 } END { printf "%.4f %.4f", s / NR / f, m / f }'
}
# Each thread's processor time so far, in ticks: "name ticks", the message
# thread (the task whose id is the process's) named "message".
thread_ticks() {
    local t
    for t in /proc/"$1"/task/*; do
        if [ "${t##*/}" = "$1" ]; then
            echo "message $(cpu_ticks "$t/stat" 2>/dev/null)"
        else
            echo "$(tr ' ' _ <"$t/comm" 2>/dev/null) $(cpu_ticks "$t/stat" 2>/dev/null)"
        fi
    done
}
# Reads the process's processor time for measure_s from now: process_share,
# thread_share (its message thread's), threads (every thread's, summed by
# name: "name=share% ...") and xvfb_share (the X server's, which draws what
# the window sends it).
measure() {
    local p0 p1 t0 t1 x0 x1
    t0=$(now)
    p0=$(cpu_ticks "/proc/$1/stat")
    x0=$(cpu_ticks "/proc/$xvfb_pid/stat")
    thread_ticks "$1" | sed 's/^/- /' >"$work/threads"
    sleep "$measure_s"
    p1=$(cpu_ticks "/proc/$1/stat")
    x1=$(cpu_ticks "/proc/$xvfb_pid/stat")
    thread_ticks "$1" | sed 's/^/+ /' >>"$work/threads"
    t1=$(now)
    process_share=$(share "$p0" "$p1" "$t0" "$t1")
    xvfb_share=$(share "$x0" "$x1" "$t0" "$t1")
    threads=$(awk -v s="$(((t1 - t0) / 1000000))" -v t="$ticks" '
        NF == 3 { d[$2] += ($1 == "+" ? $3 : -$3) }
        END { for (n in d) printf "%s=%.1f%% ", n, d[n] / t / (s / 1000) * 100 }' "$work/threads")
    thread_share=$(sed -n 's/.*message=\([0-9.-]*\)%.*/\1/p' <<<"$threads")
}

declare -A results
for n in $counts; do
    for run in $(seq "$runs"); do
        load=$(cut -d' ' -f1 /proc/loadavg)
        step "$n mixers, run $run of $runs: the console (load $load)"
        start_mixers "$n"
        console_start --mixers "$n"
        wait_for 30 "$n connections" connected "$n"
        measure "$app_pid"
        console_share=$process_share
        echo "    threads: $threads"
        wait_for 120 "the console run to end" program_ended
        wait "$app_pid" || fail "the console run ended with exit code $?: $(tail -n1 "$work/console.out")"
        app_pid=""
        end_mixers
        expect_mixers_ok $(seq "$n")
        console_pacing=$(pacing "$n")

        step "$n mixers, run $run of $runs: the window"
        launch "$work/prog" "$work/prog/KVR516_UPDATE" --mixers "$n"
        wait_text "Please choose a language used."
        key Return
        wait_text "push START."
        start_mixers "$n"
        key Return
        wait_for 30 "$n connections" connected "$n"
        "$damage" "$window" >"$work/damage.out" &
        damage_pid=$!
        wait_for 5 "the paint counter" grep -qs ready "$work/damage.out"
        measure "$app_pid"
        kill "$damage_pid"
        wait "$damage_pid" || fail "the paint counter: $(cat "$work/damage.out")"
        damage_pid=""
        if [ "$n" -eq 1 ]; then
            wait_text "Finish sending the firmware."
        else
            wait_text "$n of $n mixers finished"
        fi
        end_mixers
        expect_mixers_ok $(seq "$n")
        key Return
        expect_end
        window_pacing=$(pacing "$n")
        paints=$(sed -n 's/.* paints_per_s=\([0-9.]*\).*/\1/p' "$work/damage.out")
        area=$(grep -m1 '^area=' "$work/damage.out" | sed 's/^area=\([^ ]*\) .* per_s=\([0-9.]*\)$/\2 \1/')
        areas=$(grep -c '^area=' "$work/damage.out" || true)
        sed -n '2,$s/^/    painted: /p' "$work/damage.out"
        echo "    threads: $threads"
        line="$console_pacing $window_pacing"
        line+=" $(awk -v a="${console_pacing% *}" -v b="${window_pacing% *}" 'BEGIN { printf "%+.4f", b - a }')"
        line+=" $console_share $process_share $thread_share $xvfb_share $paints ${area:-0 -} $areas $load"
        results[$n.$run]=$line
        echo "    $line"
    done
done

echo
echo "Several mixers, console and window: $mib MiB to each, floor $floor_ms ms;" \
    "processor time and paints over $measure_s s of the send"
echo "Machine: $(nproc) cores, $(uname -r), load now $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-7s %-4s %-15s %-15s %-8s %-21s %-8s %-7s %-17s %-6s\n' mixers run "console pacing" "window pacing" \
    "window-" "%core console/window" "message" "X" "window paints/s;" load
printf '%-7s %-4s %-15s %-15s %-8s %-21s %-8s %-7s %-17s %-6s\n' "" "" "mean / largest" "mean / largest" \
    console "(whole process)" "thread" "server" "busiest area /s" ""
for n in $counts; do
    for run in $(seq "$runs"); do
        read -r cp cm wp wm diff cs ws ts xs ps ar _ _ ld <<<"${results[$n.$run]}"
        printf '%-7s %-4s %-15s %-15s %-8s %-21s %-8s %-7s %-17s %-6s\n' "$n" "$run" "$cp / $cm" "$wp / $wm" \
            "$diff" "$cs % / $ws %" "$ts %" "$xs %" "$ps; $ar" "$ld"
    done
done
echo "Goals at 8 mixers: window pacing within 0.01 of the console's; the window's own share of a core"
echo "under 5 %; a row repainted at most 4 times a second."
