#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# The Windows program under Wine, driven as the end-to-end test drives the
# Linux one and with its harness: its own Xvfb, the program in one network
# namespace (with a Wine server of its own there, so that the program sees
# that namespace's interfaces), the Linux mixer simulator in the other.
# Runs a whole update in English (with a second copy that gives way, its
# diagnostic lines on redirected standard error and the record of the run in
# %LOCALAPPDATA%), --version without a display, a whole update by the console
# twin (KVR516_UPDATE.com --console, no display) to one mixer and to three at
# once (--mixers 3, with its report), the language screen of a
# Japanese user (left with Escape), a missing update file, Cancel while
# waiting for the mixer, a mixer that resets in the middle of the transfer, a
# second network that is down, a mixer that stalls and then resets, the
# computer's address on the mixer's network that comes only after START, and
# a mixer that takes nothing for 9 s in the middle of the transfer.
#
# Usage: windows_end_to_end.sh PROGRAM.exe SIMULATOR CLOSE_HELPER PREFIX [SCREENSHOT_DIR]
# PREFIX is the build's Wine prefix (scripts/wine-run makes it); screenshots
# are named windows-*.png. Exits 0 when every run behaved, 77 (skipped) when
# not root or when the Linux simulator and close helper are not built.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_run="$here/../../scripts/wine-run"
windows_program=$1
build_prefix=$4
set -- "$1" "$2" "$3" "${5:-}"

for tool in "$2" "$3"; do
    [ -x "$tool" ] || { echo "SKIPPED: $tool is not built (the Linux build's)"; exit 77; }
done

# The end-to-end test's harness: everything in end_to_end.sh before its first
# run, as fault_rows.sh takes it.
harness=$(sed '/^step "a whole update in English"/,$d' "$here/end_to_end.sh")
grep -q '^launch()' <<<"$harness" || { echo "FAIL: no harness in end_to_end.sh"; exit 1; }
eval "$harness"

step "Wine prefix for the program's namespace"
"$wine_run" "$build_prefix" cmd /c exit
WINEPREFIX=$(realpath "$build_prefix") wineserver -w
cp -a "$(realpath "$build_prefix")" "$work/wine"
rm -f "$work/prog/KVR516_UPDATE"
cp "$windows_program" "$work/prog/KVR516_UPDATE.exe"

# The Wine server of the namespace ends first, then the harness's clean-up
# runs with the test's exit status.
wine_down() { ip netns exec "$ns_pc" env WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true; }
trap 'kvr_status=$?; wine_down; (exit $kvr_status); cleanup' EXIT

# A copy of the Windows program in the program's namespace, as a user of the
# language in user_locale (Wine takes the user's language from LANG and LC_ALL).
# Its standard error goes to a file of its own, as with
# "KVR516_UPDATE.exe 2> log.txt".
user_locale=en_US.UTF-8
start_program() {
    ip netns exec "$ns_pc" env -i DISPLAY="$DISPLAY" HOME="$work/home" LANG="$user_locale" \
        LC_ALL="$user_locale" PATH=/usr/bin:/bin \
        "$wine_run" "$work/wine" "$work/prog/KVR516_UPDATE.exe" >>"$work/app.log" 2>>"$work/app.err" &
    started_pid=$!
}

# The program's largest visible window other than its main window: on Windows
# a message box comes with four thin windows of its own that draw its shadow,
# which may be shown before the box itself and are never taken for it.
other_window() {
    local w size best="" best_area=0
    for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        [ "$w" != "$window" ] || continue
        size=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
        [ -n "$size" ] || continue
        set -- $size
        [ "$1" -gt 40 ] && [ "$2" -gt 40 ] || continue
        if [ $(($1 * $2)) -gt "$best_area" ]; then
            best=$w
            best_area=$(($1 * $2))
        fi
    done
    [ -n "$best" ] && echo "$best"
}

keep_windows_shot() { keep_shot "$1" "windows-$2"; }

#------------------------------------------------------------------------------
step "a whole update in English"
make_update_file $((1024 * 1024 + 123))
launch
wait_text "Please choose a language used."
keep_windows_shot "$work/screen.png" en-0-language

# A second copy finds the single-instance lock taken, hands its command line
# to the running one and ends without a window of its own.
record_windows
start_program
second=$started_pid
second_ended() { ! kill -0 "$second" 2>/dev/null; }
status=0
wait_for 30 "the second copy to end" second_ended
wait "$second" || status=$?
second=""
[ "$status" -eq 0 ] || fail "the second copy ended with exit code $status"
end_record_windows
for w in $mapped_windows; do
    fail "a window was shown while the second copy ran: $w"
done
has_main_window || fail "the first copy's window went away"
echo "    a second copy gave way"

press_left
wait_text "If you want to update KVR-516helix, push START."
press_left
wait_text "Waiting from KVR-516helix connection."
start_mixer
wait_text "Finish sending the firmware."
keep_windows_shot "$work/screen.png" en-5-finish
expect_mixer_ok
press_left
expect_end
# The diagnostic lines of the delivery, on the redirected standard error.
for line in "connected from 198.51.100.20" "sent $((1024 * 1024 + 123 + 4)) bytes" "send stage ended: ok"; do
    grep -qF "KVR516_UPDATE: $line" "$work/app.err" ||
        fail "no \"$line\" on the redirected standard error: $(cat "$work/app.err")"
done
echo "    standard error: $(grep -c '^KVR516_UPDATE: ' "$work/app.err") diagnostic lines"
# The record of the runs, under the prefix's %LOCALAPPDATA%: its last line
# closes that delivery's run.
records=("$work"/wine/drive_c/users/*/AppData/Local/KVR516_UPDATE/KVR516_UPDATE.log)
record=${records[0]}
closing=$(tail -n1 "$record" | tr -d '\r') || fail "no record under %LOCALAPPDATA%\\KVR516_UPDATE of the prefix"
for part in "outcome: Finish (" "mixer: 198.51.100.20"; do
    grep -qF -- "$part" <<<"$closing" || fail "the record's closing line lacks \"$part\": $closing"
done
echo "    record: ${record#"$work/wine/"}; the last line: $closing"

step "--version, without a display"
version=$(ip netns exec "$ns_pc" env -i HOME="$work/home" PATH=/usr/bin:/bin \
    "$wine_run" "$work/wine" "$work/prog/KVR516_UPDATE.exe" --version 2>"$work/version.err") ||
    fail "--version ended with exit code $?: $(cat "$work/version.err")"
version=${version%$'\r'}
[[ $version =~ ^KVR516_UPDATE\ 1\.0\ \(commit\ ([0-9a-f]{12}|unknown)\)$ ]] && [ ! -s "$work/version.err" ] ||
    fail "--version printed \"$version\" and on standard error \"$(cat "$work/version.err")\""

step "the console twin (KVR516_UPDATE.com --console): a whole update, exit code 0 or 8"
cp "${windows_program%.exe}.com" "$work/prog/KVR516_UPDATE.com"
# The file is named with --file, in a Japanese folder with a space (the
# arguments in UTF-16); the one beside the program is not to be sent.
make_update_file 4096
beside=$update_file
update_file="$work/ファームウェア 2/更新.upd"
mkdir -p "${update_file%/*}"
make_update_file $((256 * 1024 + 5))
# console_twin [ARGUMENTS...]: the twin with these after --console, then
# --file; end_console_twin waits for it and leaves its exit code in status.
console_twin() {
    ip netns exec "$ns_pc" env -i HOME="$work/home" LANG="$user_locale" LC_ALL="$user_locale" PATH=/usr/bin:/bin \
        "$wine_run" "$work/wine" "$work/prog/KVR516_UPDATE.com" --console "$@" --file "Z:${update_file//\//\\}" \
        >"$work/console.out" 2>>"$work/app.err" &
    app_pid=$!
}
end_console_twin() {
    wait_for 120 "the console twin to end" program_ended
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
}
console_twin
start_mixer
end_console_twin
# Wine tells nothing of what the mixer acknowledged: exit code 8, with the
# line that says so last; Windows itself tells it, and the run ends with 0.
unconfirmed="This computer could not confirm that the mixer received the end of the file."
grep -qF "Connected from 198.51.100.20" "$work/console.out" &&
    { [ "$status" -eq 0 ] || { [ "$status" -eq 8 ] && [ "$(tail -n1 "$work/console.out" | tr -d '\r')" = "$unconfirmed" ]; }; } ||
    fail "the console twin ended with exit code $status: $(cat "$work/console.out")"
expect_mixer_ok

step "the console twin with --mixers 3, each mixer from its own address: exit code 0 or 8"
start_mixers 3
console_twin --mixers 3 --report "Z:${work//\//\\}\\report.json"
end_console_twin
{ [ "$status" -eq 0 ] || [ "$status" -eq 8 ]; } &&
    [ "$(tail -n1 "$work/console.out" | tr -d '\r')" = "3 of 3 mixers finished" ] ||
    fail "the console twin with three mixers ended with exit code $status: $(cat "$work/console.out")"
end_mixers
expect_mixers_ok 1 2 3
said_of_mixers 3
# Exit code 8: the mixers' lines say, as Wine makes them, "finished, unconfirmed".
[ "$status" -eq 0 ] && finished=finished || finished="finished, unconfirmed"
for k in 1 2 3; do
    said_for_mixer $k "$finished" || fail "no \"Mixer 198.51.100.2$k: $finished\": $(cat "$work/console.out")"
done
# Its report (--report) says the same, with the process's exit code.
said=$(/usr/bin/python3 "$here/report_check.py" "$here/../../docs/report.schema.json" "$work/report.json" 2>&1 | sort)
[ "$(printf '%s\n' "exit_code $status" "outcome ${finished#finished, }" \
    "198.51.100.2"{1,2,3}" ${finished#finished, } - $((256 * 1024 + 5)) 1" | sort)" = "$said" ] ||
    fail "the console twin's report says: $said"
update_file=$beside

step "the window with three mixers, by the keyboard: each byte-exact, Return ends"
make_update_file $((512 * 1024 + 123))
launch
wait_text "Please choose a language used."
xdotool key --delay 50 Return
wait_text "push START."
# Shift+Tab reaches the number of mixers, after the buttons.
xdotool key --delay 50 shift+Tab Up Up Return
wait_text "Waiting for 3 mixers: 0 connected"
start_mixers 3
wait_text "3 of 3 mixers finished"
end_mixers
expect_mixers_ok 1 2 3
xdotool key --delay 50 Return
expect_end

#------------------------------------------------------------------------------
step "the language screen in Japanese, for a Japanese user"
user_locale=ja_JP.UTF-8
launch
wait_text "言語を選択してください" jpn
keep_windows_shot "$work/screen.png" ja-0-language
# Escape presses the right button, Cancel, which ends the program.
xdotool key Escape
expect_end
user_locale=en_US.UTF-8

#------------------------------------------------------------------------------
step "no update file"
rm -f "$update_file"
launch
wait_text "Please choose a language used."
press_left
expect_box_then_end "Cannot find the UpdateFile_I4" windows-en-box-i4

#------------------------------------------------------------------------------
step "Cancel while waiting for the mixer"
make_update_file 4096
launch
to_waiting
press_right
expect_box_then_end "Connecting cancel."

step "the mixer resets the connection in the middle of the transfer"
make_update_file $((1024 * 1024))
launch
wait_text "Please choose a language used."
press_left
wait_text "push START."
start_faulty_mixer --fault reset-after:100000
press_left
wait_for 60 "the mixer to reset the connection" mixer_done
wait "$sim_pid" || fail "the mixer's reset: $(cat "$work/mixer.log")"
sim_pid=""
grep -q " received=100000 " "$work/mixer.log" || fail "the mixer's reset: $(cat "$work/mixer.log")"
expect_box_then_end "A problem occurred while sending the file_S3"

#------------------------------------------------------------------------------
step "a second network is down but keeps its address"
row_down_network

step "the mixer stalls until the program waits for room, then resets"
row_stall_then_reset

step "the address on the mixer's network comes only after START"
row_address_after_start

# After 15 s of waiting the screen gives its hints; Wine's firewall object
# tells nothing, so none says that the firewall keeps the mixer out. Then the
# sending screen's line and the taskbar's progress (paused, then normal again;
# Wine's taskbar takes the calls and shows nothing): the mixer takes 1 MiB,
# then nothing for 9 s, then the rest, byte-exact.
step "the hints after 15 s; the mixer takes 1 MiB, then nothing for 9 s, then the rest"
make_update_file $((3 * 1024 * 1024))
launch
to_waiting
wait_for 30 "the hints after 15 s" shows_text "No mixer yet?"
! grep -qF "WindowsFirewall" <<<"$(read_text "$work/screen.png")" || fail "a firewall verdict where Wine tells none"
start_faulty_mixer --fault pause:1048576:9 --expect "$update_file" --save "$work/received"
wait_for 20 "the line that the mixer has taken nothing" shows_text "The mixer has taken nothing for"
keep_windows_shot "$work/screen.png" en-4-paused
wait_text "Finish sending the firmware."
expect_mixer_ok
press_left
expect_end

echo "Windows end-to-end: all runs passed"
