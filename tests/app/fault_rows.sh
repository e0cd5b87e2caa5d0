#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# The rows of the fault matrix that live on the wire or in the window, run
# against the real program as the end-to-end test runs it: its own Xvfb, the
# program in one network namespace, the mixer simulator with a fault mode in
# another, xdotool for the buttons, OCR for the boxes. Each row checks the
# box the user sees (or that none is shown) and that the process ends with
# exit code 0 (a second try with another file, or the window refusing a
# console option: 1), and the report (--report) where it asks for one. None
# may hang. The console run's rows are console_rows.sh's.
#
# Usage: fault_rows.sh PROGRAM SIMULATOR CLOSE_HELPER
# Exits 0 when every row behaved, 77 (skipped) when not root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# The end-to-end test's harness: everything in end_to_end.sh before its first
# run (the X server, the namespaces, the program's folder and the functions
# that drive the program), so that both drive the program the same way.
harness=$(sed '/^step "a whole update in English"/,$d' "$here/end_to_end.sh")
grep -q '^launch()' <<<"$harness" || { echo "FAIL: no harness in end_to_end.sh"; exit 1; }
eval "$harness"

# The program's send queue to the mixer is full: the same non-zero Send-Q
# five polls in a row.
send_queue_full() {
    local q last="" same=0
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        q=$(ip netns exec "$ns_pc" ss -Htn state established '( sport = :54000 )' | awk '{print $2}')
        if [ -n "$q" ] && [ "$q" != 0 ] && [ "$q" = "$last" ]; then
            same=$((same + 1))
            [ $same -ge 4 ] && return 0
        else
            same=0
        fi
        last=$q
        sleep 0.1
    done
    return 1
}

to_ready() {
    launch
    wait_text "Please choose a language used."
    press_left
    wait_text "push START."
}

#------------------------------------------------------------------------------
step "row 1: the mixer resets the connection at once"
make_update_file $((256 * 1024))
to_ready
start_faulty_mixer --fault reset-on-connect
press_left
# The reset meets the length ("_S2") unless the length was handed over before
# the reset came back, when the first piece meets it ("_S3"): both are right,
# and the program's log says which.
wait_for 20 "the send stage to end" grep -qE "KVR516_UPDATE: send stage ended: _S[23]$" "$work/app.log"
code=$(sed -n 's/^KVR516_UPDATE: send stage ended: _S\([23]\)$/\1/p' "$work/app.log")
expect_box_then_end "A problem occurred while sending the file_S$code"
stop_mixer

#------------------------------------------------------------------------------
step "row 3: the mixer never reads, the buffers fill, Cancel"
make_update_file $((32 * 1024 * 1024))
to_ready
start_faulty_mixer --fault no-read
press_left
wait_moving_text "Sending the firmware."
wait_for 60 "the send queue to fill" send_queue_full
pressed=$(date +%s%N)
press_right
wait_for 20 "a message box" has_other_window
echo "    [figures] the box came $((($(date +%s%N) - pressed) / 1000000)) ms after Cancel (box polled every 100 ms)"
expect_box_then_end "Sending cancel."
stop_mixer

#------------------------------------------------------------------------------
step "row 12: the close button while the update file is checked"
# The largest update file the stream can announce, whose check waits where it
# opens the file until the close has come.
hold_update_file 4294967295
launch
wait_text "Please choose a language used."
press_left
wait_for 20 "the check to open the update file" update_file_opened
no_buttons() {
    capture_settled "$window" "$work/screen.png" || return 1
    ! grep -qE 'START|EXIT|Please' <<<"$(read_text "$work/screen.png")"
}
wait_for 20 "the initialise screen" no_buttons
"$close_helper" "$window"
released_ns=$(date +%s%N)
release_update_file
# The check looks at the stop request between the blocks it reads: reading
# all of the file would take minutes.
expect_log_within "$released_ns" "initialise stage ended: cancelled" 1000
expect_box_then_end "Initialize cancel."
drop_held_file

step "row 12: the close button on the ready screen"
make_update_file 4096
to_ready
"$close_helper" "$window"
# A box would keep the program open until dismissed: it ended without one.
expect_end

step "row 12: the close button while sending"
make_update_file $((16 * 1024 * 1024))
to_ready
start_faulty_mixer --fault slow-read
press_left
wait_moving_text "Sending the firmware."
"$close_helper" "$window"
expect_box_then_end "Sending cancel."
stop_mixer

step "row 12: the close button on the finish screen"
make_update_file $((64 * 1024))
to_ready
start_mixer
press_left
wait_text "Finish sending the firmware."
expect_mixer_ok
"$close_helper" "$window"
expect_end

#------------------------------------------------------------------------------
# On Linux JUCE asks the application to quit on an interrupt signal (and when
# the X server goes away, as at log-off), and the program on SIGTERM and
# SIGHUP as well: the message loop ends, the window is deleted, and the
# running stage stops with it.
for signal in INT TERM HUP; do
    step "row 13: the system asks the program to quit while it sends (SIG$signal)"
    make_update_file $((32 * 1024 * 1024))
    to_ready
    start_faulty_mixer --fault no-read
    press_left
    wait_moving_text "Sending the firmware."
    kill -"$signal" "$app_pid"
    # A box would keep the program open until dismissed: it ends without one.
    expect_end
    stop_mixer
done

#------------------------------------------------------------------------------
step "row 14: a second network is down but keeps its address"
row_down_network
grep -qF "KVR516_UPDATE: announcing to 203.0.113.255 failed" "$work/app.log" ||
    fail "the down network was not among those announced on"

#------------------------------------------------------------------------------
step "row 15: the mixer stalls until the program waits for room, then resets"
row_stall_then_reset 1000

#------------------------------------------------------------------------------
# Held past the language screen, Return repeats (the X server's auto-repeat:
# after 660 ms, 25 presses a second) while the box appears: none of the
# repeats, nor the release, may dismiss the box before it has been read.
step "row 21: Return held from the language screen into the _I4 box"
rm -f "$update_file"
launch
wait_text "Please choose a language used."
xdotool keydown Return
expect_box "Cannot find the UpdateFile_I4"
sleep 1.5
xdotool keyup Return
expect_box "Cannot find the UpdateFile_I4"
xdotool key --delay 50 Return
expect_end

#------------------------------------------------------------------------------
# The figure of what the mixer has taken (in tenths of a MB), read twice
# during an 8 MiB send: it differs and grows, and the finish follows.
read_taken() {
    capture "$window" "$work/screen.png" || return 1
    taken=$(read_text "$work/screen.png" | grep -oE '[0-9]+\.[0-9]MBof8\.4MB' | head -1 | tr -d '.' |
        sed 's/MBof84MB//')
    [ -n "$taken" ]
}
grown() { read_taken && [ "$((10#$taken))" -gt "$((10#$first))" ]; }
step "row 22: while sending, the screen says what the mixer has taken"
make_update_file $((8 * 1024 * 1024))
to_ready
start_mixer
press_left
wait_for 10 "the figure of what the mixer has taken" read_taken
first=$taken
wait_for 10 "the figure to grow" grown
echo "    taken: $first, then $taken tenths of a MB of 8.4"
wait_text "Finish sending the firmware."
expect_mixer_ok
press_left
expect_end

step "row 23: the mixer takes 1 MiB, then nothing for 9 s, then the rest"
make_update_file $((3 * 1024 * 1024))
to_ready
start_faulty_mixer --fault pause:1048576:9 --expect "$update_file" --save "$work/received"
press_left
wait_moving_text "Sending the firmware."
paused_at=$SECONDS
wait_for 12 "the line that the mixer has taken nothing" shows_moving_text "The mixer has taken nothing for"
echo "    shown $((SECONDS - paused_at)) s after the sending screen"
wait_text "Finish sending the firmware."
expect_mixer_ok
grep -qE "the mixer had taken nothing for ([89]|1[0-9]) s" "$work/app.log" || fail "the record has no pause"
press_left
expect_end

step "row 24: a firewall drops TCP port 54000: the waiting screen says where and what to check"
make_update_file 4096
ip netns exec "$ns_pc" nft add table inet kvr_rows
ip netns exec "$ns_pc" nft add chain inet kvr_rows input '{ type filter hook input priority 0; }'
ip netns exec "$ns_pc" nft add rule inet kvr_rows input tcp dport 54000 drop
launch
to_waiting
start_mixer
hint_shown() { shows_text "announcedon198.51.100.10" && grep -qF "TCPport54000" <<<"$(read_text "$work/screen.png")"; }
wait_for 25 "the address and the port on the waiting screen" hint_shown
press_right
expect_box_then_end "Connecting cancel."
stop_mixer
ip netns exec "$ns_pc" nft delete table inet kvr_rows

step "the window sends the file named with --file and names it"
make_update_file 4096 # beside the program, not to be sent
beside=$update_file
update_file="$work/other firmware.upd"
make_update_file $((2 * 1000 * 1000))
launch "$PWD" "$work/prog/KVR516_UPDATE" --file "$update_file"
wait_text "Please choose a language used."
press_left
wait_text "File to send: other firmware.upd, 2.0 MB"
start_mixer
press_left
wait_text "Finish sending the firmware."
expect_mixer_ok
press_left
expect_end
update_file=$beside

# The window for several mixers, driven by the keyboard alone.
key() { xdotool key --delay 50 "$@"; }
# The window, grown for its rows, is whole and centred on the 1024 x 768 screen.
grown_and_centred() {
    local geometry x y w h
    geometry=$(xdotool getwindowgeometry "$window")
    read -r x y < <(sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p' <<<"$geometry")
    read -r w h < <(sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p' <<<"$geometry")
    [ "$w" -gt 480 ] && [ "$h" -gt 209 ] && [ $((x + w)) -le 1024 ] && [ $((y + h)) -le 768 ] &&
        [ $(((1024 - w) / 2 - x)) -ge -2 ] && [ $(((1024 - w) / 2 - x)) -le 2 ]
}

step "window: 3 mixers chosen with the keyboard, each from its own address, each takes the file"
make_update_file $((1024 * 1024 + 123))
launch
wait_text "Please choose a language used."
key Return
wait_text "push START."
# Shift+Tab from the screen reaches the number of mixers, after the buttons.
key shift+Tab Up Up Return
wait_text "Waiting for 3 mixers: 0 connected"
wait_for 10 "the window to grow, centred" grown_and_centred
start_mixers 3
wait_text "3 of 3 mixers finished"
end_mixers
expect_mixers_ok 1 2 3
key Return
expect_end
tail -n1 "$work/state/KVR516_UPDATE/KVR516_UPDATE.log" | grep -q "outcome: 3 of 3 mixers finished" ||
    fail "the record does not tell the three mixers: $(tail -n1 "$work/state/KVR516_UPDATE/KVR516_UPDATE.log")"

step "window: --mixers 3, the one at 198.51.100.22 resets; the window stays, names it, and serves its second try"
launch "$work/prog" "$work/prog/KVR516_UPDATE" --mixers 3 --report "$work/window.json"
wait_text "Please choose a language used."
key Return
wait_text "push START."
start_mixer_from 1
start_mixer_from 2 --fault reset-after:100000
start_mixer_from 3
key Return
wait_text "2 of 3 mixers finished"
wait_text "Mixer 198.51.100.22: A problem occurred while sending the file_S3 (S3)"
end_mixers
expect_mixers_ok 1 3
[ "${mixer_status[2]}" -eq 0 ] || fail "mixer 2 did not reset as asked: $(cat "$work/mixer.2.log")"
# The mixer that finished comes back too: it is not one of those waited for.
start_mixer_from 1 --timeout 20
start_mixer_from 2
key Return
wait_text "3 of 3 mixers finished"
wait_text "198.51.100.22 (second try)"
end_mixers
expect_mixers_ok 2
grep -q "waiting again for the mixers that failed: 198.51.100.22" "$work/app.log" &&
    grep -q "the connection from 198.51.100.21 is closed at once: not one of the mixers asked for" "$work/app.log" ||
    fail "the log does not tell the wait again, or the finished mixer's refusal"
key Return
expect_end
# The report tells the whole run, each mixer at its last try; the window itself ends with 0.
size=$((1024 * 1024 + 123))
report_holds "$work/window.json" 0 finished "198.51.100.21 finished - $size 1" \
    "198.51.100.22 finished - $size 2" "198.51.100.23 finished - $size 1"

# That report as if .22 had failed (first.json), and as if of another file.
/usr/bin/python3 - "$work/window.json" "$work" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
for mixer in report["mixers"]:
    if mixer["address"] == "198.51.100.22":
        mixer["outcome"] = "failed"
json.dump(report, open(sys.argv[2] + "/first.json", "w"))
report["file"]["sha256"] = "0" * 64
json.dump(report, open(sys.argv[2] + "/other.json", "w"))
PY

step "window: --retry of a report of another file: its box, exit code 1, nothing announced"
launch "$work/prog" "$work/prog/KVR516_UPDATE" --retry "$work/other.json"
wait_text "Please choose a language used."
key Return
expect_box "This update file is not the one its mixers were sent before"
press_box_ok
wait_for 20 "the program to end" program_ended
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 1 ] && ! grep -q "announcing" "$work/app.log" ||
    fail "the other file: exit code $status, $(cat "$work/app.log")"

step "window: --retry with a report of this file: 198.51.100.21 is turned away, 198.51.100.22 takes it"
launch "$work/prog" "$work/prog/KVR516_UPDATE" --retry "$work/first.json" --report "$work/third.json"
wait_text "Please choose a language used."
key Return
wait_text "Waiting for 1 mixers: 0 connected"
start_mixer_from 1 --timeout 20
wait_for 20 "198.51.100.21 to be turned away" grep -qF \
    "the connection from 198.51.100.21 is closed at once: not one of the mixers asked for" "$work/app.log"
start_mixer_from 2
wait_text "1 of 1 mixers finished"
end_mixers
expect_mixers_ok 2
key Return
expect_end
report_holds "$work/third.json" 0 finished "198.51.100.22 finished - $size 1"

step "the window refuses the console's options, and has nothing to try again for a report that finished"
for option in --wait --stall --report; do
    status=0
    value=5
    [ "$option" != --report ] || value=-
    ip netns exec "$ns_pc" "$work/prog/KVR516_UPDATE" "$option" "$value" 2>"$work/refused.err" || status=$?
    [ "$status" -eq 1 ] && grep -qE -- "^KVR516_UPDATE: $option (is for the console run|-: the window)" "$work/refused.err" ||
        fail "the window with $option $value: exit code $status, \"$(cat "$work/refused.err")\""
done
status=0
said=$(ip netns exec "$ns_pc" env LANG=en_US.UTF-8 "$work/prog/KVR516_UPDATE" --retry "$work/third.json") || status=$?
[ "$status" -eq 0 ] && [ "$said" = "Every mixer in the report finished: there is nothing to try again." ] ||
    fail "the window with --retry of a finished report: exit code $status, \"$said\""

echo "PASS: every row"
