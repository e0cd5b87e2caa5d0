#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# The rows of the fault matrix for the console run (--console), against the
# real program as the end-to-end test runs it: the program in one network
# namespace, the mixer simulator with a fault mode in another. Each row
# checks the exit code its outcome has (0, 1, 2, 4, 5, 6 or 7) and the last
# line printed, and the report (--report) where it asks for one. None may
# hang. The window's rows are fault_rows.sh's.
#
# Usage: console_rows.sh PROGRAM SIMULATOR CLOSE_HELPER
# Exits 0 when every row behaved, 77 (skipped) when not root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# The end-to-end test's harness, as fault_rows.sh takes it.
harness=$(sed '/^step "a whole update in English"/,$d' "$here/end_to_end.sh")
grep -q '^launch()' <<<"$harness" || { echo "FAIL: no harness in end_to_end.sh"; exit 1; }
eval "$harness"

#------------------------------------------------------------------------------
# The console run (--console): no display, its exit code and last line. The
# arguments go after --console; its standard output to console.out.
console_start() {
    : >"$work/console.out"
    ip netns exec "$ns_pc" env -i HOME="$work/home" LANG=en_US.UTF-8 PATH=/usr/bin:/bin \
        XDG_STATE_HOME="$work/state" "${console_env[@]}" sh -c 'mount --bind "$1" /var/tmp && shift && exec "$@"' sh \
        "$work/lockdir" "$work/prog/KVR516_UPDATE" --console "$@" >>"$work/console.out" 2>>"$work/app.log" &
    app_pid=$!
}
console_env=() # more of the environment, NAME=value
console_said() { grep -qF -- "$1" "$work/console.out"; }
console_end() {
    wait_for 60 "the console run to end" program_ended
    local status=0 last
    wait "$app_pid" || status=$?
    app_pid=""
    last=$(tail -n1 "$work/console.out")
    [ "$status" -eq "$1" ] && [ "$last" = "$2" ] ||
        fail "console run: exit code $status, last line \"$last\"; expected $1, \"$2\""
    echo "    exit code $1: $2"
}

step "console: a whole update"
make_update_file $((1024 * 1024 + 123))
console_start
start_mixer
console_end 0 "please confirm a screen on KVR-516helix, and reboot after the end."
expect_mixer_ok
for line in "Announcing on 198.51.100.10" "Connected from 198.51.100.20" "1.0 MB of 1.0 MB" "Finish sending"; do
    console_said "$line" || fail "the console run did not say \"$line\": $(cat "$work/console.out")"
done
grep -q "^=== start .*, console run; " "$work/state/KVR516_UPDATE/KVR516_UPDATE.log" &&
    tail -n1 "$work/state/KVR516_UPDATE/KVR516_UPDATE.log" | grep -q "outcome: Finish .*mixer: 198.51.100.20" ||
    fail "the record does not tell the console run: $(tail -n3 "$work/state/KVR516_UPDATE/KVR516_UPDATE.log")"

step "console: the mixer resets the connection"
start_faulty_mixer --fault reset-after:100000
console_start
console_end 4 "A problem occurred while sending the file_S3 (S3)"
stop_mixer

step "console: --mixers 3, each from its own address, each takes the file"
make_update_file $((1024 * 1024 + 123))
start_mixers 3
console_start --mixers 3
console_end 0 "3 of 3 mixers finished"
end_mixers
expect_mixers_ok 1 2 3
said_of_mixers 3
for k in 1 2 3; do
    said_for_mixer $k finished || fail "mixer $k has no line that it finished: $(cat "$work/console.out")"
done

step "console: --mixers 3, the one at 198.51.100.22 resets the connection, the others take the file"
start_mixer_from 1
start_mixer_from 2 --fault reset-after:100000
start_mixer_from 3
console_start --mixers 3
console_end 4 "2 of 3 mixers finished"
end_mixers
expect_mixers_ok 1 3
[ "${mixer_status[2]}" -eq 0 ] && said_for_mixer 2 "A problem occurred while sending the file_S3 \(S3\)" ||
    fail "the reset of mixer 2 is not told: $(cat "$work/console.out")"

step "console: --mixers 2, the mixer at 198.51.100.21 resets, comes back for its second try, then mixer 2"
start_mixer_from 1 --fault reset-after:100000
console_start --mixers 2
logged() { grep -qE "$1" "$work/app.log"; }
wait_for 30 "the first try's end" logged "mixer 198\.51\.100\.21: [0-9]+ of [0-9]+ bytes sent; outcome: _S"
start_mixer_from 1
wait_for 30 "the second try's end" logged "mixer 198\.51\.100\.21 \(second try\): the whole file sent"
start_mixer_from 2
console_end 0 "2 of 2 mixers finished"
end_mixers
expect_mixers_ok 1 2
said_for_mixer 1 "finished" && fail "the first mixer is counted twice: $(cat "$work/console.out")"
console_said "Mixer 198.51.100.21 (second try): finished" ||
    fail "the second try is not told: $(cat "$work/console.out")"

record="$work/state/KVR516_UPDATE/KVR516_UPDATE.log"

step "console: --mixers 2 --report, the one at 198.51.100.22 resets: the report tells both as the record does"
make_update_file $((1024 * 1024 + 123))
start_mixer_from 1
start_mixer_from 2 --fault reset-after:100000
console_start --mixers 2 --report "$work/first.json"
console_end 4 "1 of 2 mixers finished"
end_mixers
expect_mixers_ok 1
sent=$(sed -n 's/.*mixer 198\.51\.100\.22: \([0-9]*\) of [0-9]* bytes sent; outcome: _S3$/\1/p' "$record" | tail -n1)
[ -n "$sent" ] || fail "the record has no line on the failure of mixer 2: $(tail -n5 "$record")"
report_holds "$work/first.json" 4 send_failed "198.51.100.21 finished - $((1024 * 1024 + 123)) 1" "198.51.100.22 failed S3 $sent 1"

step "console: --retry with it: 198.51.100.21, connecting first, is turned away; 198.51.100.22 takes the file"
start_mixer_from 1 --timeout 20
: >"$work/app.log"
console_start --retry "$work/first.json" --report "$work/second.json"
wait_for 20 "198.51.100.21 to be turned away" grep -qF \
    "the connection from 198.51.100.21 is closed at once: not one of the mixers asked for" "$work/app.log"
start_mixer_from 2
console_end 0 "1 of 1 mixers finished"
end_mixers
expect_mixers_ok 2
grep -q " received=0 " "$work/mixer.1.log" || fail "mixer 1 was sent bytes: $(cat "$work/mixer.1.log")"
report_holds "$work/second.json" 0 finished "198.51.100.22 finished - $((1024 * 1024 + 123)) 1"

step "console: --retry of a report whose mixers all finished: nothing to try again, nothing announced"
: >"$work/app.log"
console_start --retry "$work/second.json"
console_end 0 "Every mixer in the report finished: there is nothing to try again."
grep -q "announcing" "$work/app.log" && fail "announced with nothing to try again: $(cat "$work/app.log")"

step "console: --retry with another update file: refused before anything is announced"
make_update_file 4096
: >"$work/app.log"
console_start --retry "$work/first.json"
console_end 1 ""
grep -qF "is not the one the report's mixers were sent" "$work/app.log" && ! grep -q "announcing" "$work/app.log" ||
    fail "the other file was not refused before announcing: $(cat "$work/app.log")"

step "console: --report - with one mixer: standard output is the report alone"
make_update_file $((64 * 1024))
start_mixer
: >"$work/app.log"
console_start --report -
console_end 0 "}"
expect_mixer_ok
report_holds "$work/console.out" 0 finished "198.51.100.20 finished - 65536 1"
grep -qF "please confirm a screen" "$work/app.log" || fail "the lines for people are not on standard error"

step "console: --mixers 3 --wait 4 with two mixers"
start_mixers 2
console_start --mixers 3 --wait 4
console_end 6 "2 of 3 mixers connected within 4 s."
end_mixers
expect_mixers_ok 1 2

step "console: --mixers 2 --stall 3, the one at 198.51.100.22 takes nothing for 8 s"
make_update_file $((3 * 1024 * 1024))
start_mixer_from 1
start_mixer_from 2 --fault pause:1048576:8
console_start --mixers 2 --stall 3
console_end 4 "1 of 2 mixers finished"
end_mixers
expect_mixers_ok 1
said_for_mixer 2 "A problem occurred while sending the file_S3 \(S3\)" && grep -qE "mixer 198\.51\.100\.22: [0-9]+ of [0-9]+ bytes sent; outcome: _S3, stalled" "$work/app.log" ||
    fail "the stall of mixer 2 alone is not told: $(cat "$work/console.out")"

step "console: a second mixer while one is served is refused or closed within 1 s"
start_mixers 2 --timeout 20
console_start
console_end 0 "please confirm a screen on KVR-516helix, and reboot after the end."
end_mixers
served=$(sed -n 's/^Connected from 198\.51\.100\.2\([12]\)$/\1/p' "$work/console.out")
[ -n "$served" ] || fail "the console names neither mixer: $(cat "$work/console.out")"
expect_mixers_ok "$served"
closed=$(sed -n 's/.* received=0 .* closed_ms=\([0-9]*\)\..*/\1/p' "$work/mixer.$((3 - served)).log")
[ -n "$closed" ] && [ "$closed" -le 1000 ] ||
    fail "the other mixer was not refused or closed within 1 s: $(cat "$work/mixer.$((3 - served)).log")"

step "console: the hint after 15 s, a second copy, then Ctrl-C while waiting"
console_start
first=$app_pid
wait_for 20 "the announcing" console_said "Announcing on"
wait_for 20 "the hint after 15 s" console_said "No mixer yet? Check that the mixer is in its update mode"
console_said "On Linux: sudo ufw allow 54000/tcp" || fail "the hint names no remedy: $(cat "$work/console.out")"
mv "$work/console.out" "$work/first.out"
console_start
console_end 7 "Another copy of KVR516_UPDATE is already running."
app_pid=$first
mv "$work/first.out" "$work/console.out"
kill -INT "$app_pid"
console_end 5 "Connecting cancel."

# The record's closing line: the last one of the record.
record_ends_with() { tail -n1 "$work/state/KVR516_UPDATE/KVR516_UPDATE.log" | grep -qF -- "$1"; }
record_closed() {
    record_ends_with "$1" ||
        fail "the record's last line is not the closing one with \"$1\": $(tail -n1 "$work/state/KVR516_UPDATE/KVR516_UPDATE.log")"
}
for signal in HUP TERM; do
    step "console: SIG$signal while waiting"
    console_start
    wait_for 20 "the announcing" console_said "Announcing on"
    kill -"$signal" "$app_pid"
    console_end 5 "Connecting cancel."
    record_closed "outcome: \"Connecting cancel.\""
done

step "console: --mixers 2, SIGTERM while neither mixer reads cancels both sends"
make_update_file $((8 * 1024 * 1024))
# They hold their connections 8 s: the program's close waits behind its unsent bytes.
start_mixers 2 --fault no-read --timeout 8
console_start --mixers 2
wait_for 20 "both mixers" console_said "Mixer 2 of 2 connected from"
kill -TERM "$app_pid"
console_end 5 "0 of 2 mixers finished"
end_mixers
for k in 1 2; do
    said_for_mixer $k "Sending cancel\." || fail "mixer $k's send was not cancelled: $(cat "$work/console.out")"
done
record_closed "outcome: 0 of 2 mixers finished"

# Two interrupts merge unless the second is sent once the first was taken,
# while the cancel waits for the check held on the update file.
interrupt_pending() { (((0x$(awk '/^ShdPnd:/ {print $2}' "/proc/$app_pid/status") & 2) != 0)); }
step "console: a second Ctrl-C ends the run at once, its record closed"
hold_update_file 4096
console_start
wait_for 20 "the check to open the update file" update_file_opened
kill -INT "$app_pid"
while interrupt_pending; do :; done
kill -INT "$app_pid"
wait_for 5 "the record's closing line" record_ends_with "outcome: cancelled by a second Ctrl-C: ended at once"
drop_held_file
console_end 5 ""

step "console: --stall 3 while the mixer takes nothing for 15 s"
make_update_file $((3 * 1024 * 1024))
start_faulty_mixer --fault pause:1048576:15
console_start --stall 3
console_end 4 "A problem occurred while sending the file_S3 (S3)"
record_closed "stalled for 3 s"
stop_mixer

step "console: --file in a Japanese folder with a space"
make_update_file 4096 # beside the program, not to be sent
beside=$update_file
update_file="$work/ファームウェア 2/更新.upd"
mkdir -p "${update_file%/*}"
make_update_file $((64 * 1024 + 7))
console_start --file "$update_file"
start_mixer
console_end 0 "please confirm a screen on KVR-516helix, and reboot after the end."
expect_mixer_ok
update_file=$beside

step "console: --wait 2 without a mixer"
started=$SECONDS
console_start --wait 2
console_end 6 "No mixer connected within 2 s."
[ $((SECONDS - started)) -le 3 ] || fail "--wait 2 ended after $((SECONDS - started)) s"

step "console: --file naming a file without the tag"
printf 'KVR700X3 not an update file' >"$work/other.upd"
console_start --file "$work/other.upd"
console_end 2 "Cannot find the UpdateFile_I4 (I4)"

step "console: libcrypto told to load a provider that is not there has no SHA-256"
make_update_file 4096
printf 'openssl_conf = init\n[init]\nproviders = p\n[p]\nmissing = m\n[m]\nactivate = 1\n' >"$work/missing.cnf"
started=$SECONDS
console_env=(OPENSSL_CONF="$work/missing.cnf")
console_start
console_env=()
console_end 2 "Cannot find the UpdateFile_I4 (I4)"
[ $((SECONDS - started)) -le 5 ] || fail "the run without SHA-256 ended after $((SECONDS - started)) s"
grep -qF "cannot be checked: the system's SHA-256 failed" "$work/app.log" || fail "the log does not say why"

step "console: the only network's address gone for 4 s after START, then back"
make_update_file $((64 * 1024 + 9))
console_start
wait_for 20 "the announcing" console_said "Announcing on 198.51.100.10"
ip -n "$ns_pc" addr del 198.51.100.10/24 dev "ke$$a"
wait_for 5 "the no-network line" console_said "This computer is on no network now"
sleep 4 # without a network: past the 3 s that end an announcing refused everywhere
ip -n "$ns_pc" addr add 198.51.100.10/24 dev "ke$$a"
start_mixer
console_end 0 "please confirm a screen on KVR-516helix, and reboot after the end."
expect_mixer_ok


echo "PASS: every row"
