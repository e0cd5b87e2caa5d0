#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Runs the real program as a person does: in a network namespace of its own,
# on an X server of its own (Xvfb), beside an update file, with the mixer
# simulator in a second namespace joined to the first by a veth pair.
# It clicks the buttons, reads the message boxes (OCR) and takes screenshots.
#
# Usage: end_to_end.sh PROGRAM SIMULATOR CLOSE_HELPER [SCREENSHOT_DIR]
# Exits 0 when every run behaved, 77 (skipped) when not root.
set -euo pipefail

program=$1
simulator=$2
close_helper=$3
shots=${4:-}

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: needs root to create network namespaces"
    exit 77
fi
for tool in Xvfb xdotool xprop xev import convert tesseract localedef ip nft openbox xsettingsd; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh installs it)"; exit 1; }
done
/usr/bin/python3 -c 'import fusepy' 2>/dev/null ||
    { echo "FAIL: python3-fusepy is missing (scripts/deps.sh installs it)"; exit 1; }

work=$(mktemp -d /tmp/kvr-e2e.XXXXXX)
ns_pc="kvr-e2e-$$-pc"
ns_mixer="kvr-e2e-$$-mixer"
xvfb_pid=""
app_pid=""
sim_pid=""
mixer_pids=() # start_mixers' simulators, by mixer number
wm_pid=""
xsettings_pid=""
locked_xvfb_pid=""
held_pid=""
xev_pid=""

# Ends what the test started and removes what it made, whatever happened.
cleanup() {
    local status=$?
    set +e
    local pid
    # The held file's server first: its end lets a program waiting to open the
    # file go on, so that the program can end.
    for pid in "$held_pid" "$app_pid" "${second:-}" "$sim_pid" "${mixer_pids[@]}" "$xev_pid" "$wm_pid" \
        "$xsettings_pid" "$locked_xvfb_pid" "$xvfb_pid"; do
        [ -n "$pid" ] || continue
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    umount -l "$work/held" 2>/dev/null
    ip netns del "$ns_pc" 2>/dev/null
    ip netns del "$ns_mixer" 2>/dev/null
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*"
    [ -f "$work/app.log" ] && sed 's/^/  program: /' "$work/app.log"
    [ -f "$work/mixer.log" ] && sed 's/^/  mixer: /' "$work/mixer.log"
    if [ -n "$shots" ] && [ -n "${window:-}" ]; then
        mkdir -p "$shots"
        capture "$window" "$shots/failure.png" || true
        if [ -n "$app_pid" ]; then
            local w
            for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
                echo "  window $w: '$(xdotool getwindowname "$w")' $(xdotool getwindowgeometry "$w" | tr '\n' ' ')"
                capture "$w" "$shots/failure-$w.png" || true
            done
        fi
    fi
    exit 1
}
step() { echo "--- $*"; }

# Polls a command until it succeeds; fails the test after the deadline (s).
wait_for() {
    local deadline=$1 what=$2
    shift 2
    local end=$((SECONDS + deadline))
    until "$@"; do
        [ $SECONDS -lt $end ] || fail "timed out waiting for $what"
        sleep 0.1
    done
}

#------------------------------------------------------------------------------
# The X server, the namespaces, a Japanese locale and the program's folder

step "X server"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_for 20 "the X server" test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
# No window manager runs here: the protocol atoms that one would have made
# exist before the program starts, so that its window takes close requests.
"$close_helper" --prepare

step "network namespaces"
# Namespaces left by a run of this test that was killed outright.
for stale in $(ip netns list 2>/dev/null | sed -n 's/^\(kvr-e2e-\([0-9]*\)-[a-z]*\).*/\1 \2/p' | tr ' ' ':'); do
    kill -0 "${stale#*:}" 2>/dev/null || ip netns del "${stale%%:*}" 2>/dev/null || true
done
. "$(dirname "${BASH_SOURCE[0]}")/../support/two_hosts.sh"
kvr_two_hosts "$ns_pc" "$ns_mixer" "ke$$a" "ke$$b"

step "Japanese locale for the program"
mkdir -p "$work/locale"
localedef -i ja_JP -f UTF-8 "$work/locale/ja_JP.UTF-8" 2>/dev/null || [ -d "$work/locale/ja_JP.UTF-8" ] ||
    fail "cannot build the ja_JP.UTF-8 locale"

mkdir -p "$work/prog" "$work/lockdir" "$work/home"
state_home="$work/state"
cp "$program" "$work/prog/KVR516_UPDATE"
update_file="$work/prog/KVR516_UPDATE.upd"

# An update file: the tag, then size - 8 bytes of random data.
make_update_file() {
    { printf 'KVR700X2'; head -c "$(($1 - 8))" /dev/urandom; } >"$update_file"
}

# The update file as a link to a file of size $1 (the tag, then zeros) on a
# file system of the test's own, whose opening waits until release_update_file:
# the check of the initialise stage stays where it opens the file for as long
# as the test needs. update_file_opened tells when it has got there;
# drop_held_file removes the file system.
hold_update_file() {
    rm -f "$update_file"
    serve_held_file "$1"
    ln -s "$work/held/KVR516_UPDATE.upd" "$update_file"
}
# held_file.py at $work/held with the arguments SIZE [--hold-all].
serve_held_file() {
    mkdir -p "$work/held"
    rm -f "$work/held.in"
    mkfifo "$work/held.in"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/held_file.py" "$work/held" KVR516_UPDATE.upd "$@" \
        <"$work/held.in" >"$work/held.out" 2>&1 &
    held_pid=$!
    exec 5>"$work/held.in"
    wait_for 10 "the held update file" test -f "$work/held/KVR516_UPDATE.upd"
}
update_file_opened() { grep -q '^opened' "$work/held.out"; }
# A line, not the end of the pipe: the programs started since hold it open too.
release_update_file() { echo go >&5; }
drop_held_file() {
    release_update_file
    exec 5>&-
    umount "$work/held"
    wait "$held_pid" || fail "the held file's server: $(cat "$work/held.out")"
    held_pid=""
    [ ! -L "$update_file" ] || rm -f "$update_file"
    state_home="$work/state"
}

# Records the windows that the X server maps (shows) from now on, until
# end_record_windows ends the record and lists their ids in mapped_windows.
# A change of a property of the root window marks both ends: the X server
# reports events in order, so nothing mapped before the end mark is missed.
mark_record() { xprop -root -f KVR_E2E_MARK 32c -set KVR_E2E_MARK "$1"; }
marks() { grep -c '^PropertyNotify' "$work/xev.log" || true; }
record_windows() {
    stdbuf -oL xev -root -event substructure -event property >"$work/xev.log" 2>&1 &
    xev_pid=$!
    wait_for 10 "the record of windows" eval 'mark_record 1; [ "$(marks)" -gt 0 ]'
}
end_record_windows() {
    local before
    before=$(marks)
    mark_record 2
    wait_for 10 "the end of the record of windows" eval '[ "$(marks)" -gt '"$before"' ]'
    kill "$xev_pid"
    wait "$xev_pid" 2>/dev/null || true
    xev_pid=""
    mapped_windows=$(sed -n '/^MapNotify/{n;s/.*event 0x[0-9a-f]*, window \(0x[0-9a-f]*\).*/\1/p}' "$work/xev.log")
}

#------------------------------------------------------------------------------
# Driving the program

# Starts a copy of the program in the program's namespace; its process id
# goes to started_pid. The single-instance
# lock and pipe live in /var/tmp: each run gets a private one there, shared by
# the copies of this test only; the runs' record goes to $state_home. With
# arguments, the command COMMAND... runs in the folder DIR in place of the
# program's path: start_program [DIR COMMAND...]
start_program() {
    local dir=${1:-$PWD}
    [ $# -gt 0 ] && shift
    [ $# -gt 0 ] || set -- "$work/prog/KVR516_UPDATE"
    ip netns exec "$ns_pc" env -i DISPLAY="$DISPLAY" HOME="$work/home" LANG=en_US.UTF-8 \
        LOCPATH="$work/locale" PATH=/usr/bin:/bin XDG_STATE_HOME="$state_home" \
        sh -c 'mount --bind "$1" /var/tmp && cd "$2" && shift 2 && exec "$@"' sh "$work/lockdir" "$dir" "$@" \
        >>"$work/app.log" 2>&1 &
    started_pid=$!
}

# The processes whose windows are the program's: the started one, and its
# children when it started the program as one (as a desktop launcher does).
program_pids() {
    echo "$app_pid"
    pgrep -P "$app_pid" 2>/dev/null || true
}
program_windows() {
    local pid
    for pid in $(program_pids); do
        xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true
    done
}

# The desktop's scale: window coordinates are the program's logical ones times it.
scale=1

main_window() {
    local w
    for w in $(program_windows); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "KVR Firmware Downloader" ] && echo "$w" && return 0
    done
    return 1
}

# A visible window of the program other than its main window (box or menu).
other_window() {
    local w
    for w in $(program_windows); do
        [ "$w" != "$window" ] && echo "$w" && return 0
    done
    return 1
}

has_main_window() { main_window >/dev/null; }
has_other_window() { other_window >/dev/null; }
has_no_other_window() { ! other_window >/dev/null; }
program_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

launch() {
    : >"$work/app.log"
    start_program "$@"
    app_pid=$started_pid
    wait_for 20 "the program's window" has_main_window
    window=$(main_window)
}

# Clicks at a point of the window's content, then moves the pointer to the
# logo, so that no button stays highlighted under it.
click() {
    xdotool mousemove --window "$window" $(($1 * scale)) $(($2 * scale)) click 1
    # The click may have ended the program and its window with it.
    xdotool mousemove --window "$window" $((40 * scale)) $((35 * scale)) 2>/dev/null || true
}
press_left() { click 280 197; }
press_right() { click 410 197; }

capture() { timeout 10 import -window "$1" "$2" 2>/dev/null; }
keep_shot() {
    if [ -n "$shots" ]; then
        mkdir -p "$shots"
        cp "$1" "$shots/$2.png"
    fi
}

# The text in a picture, read by OCR (language eng or jpn) from a grey copy
# three times the size, without spaces (Japanese OCR puts them anywhere).
read_text() {
    convert "$1" -resize 300% -colorspace Gray "$work/ocr.png"
    tesseract "$work/ocr.png" - -l "${2:-eng}" --psm 6 2>/dev/null | same_glyphs
}

# Text without spaces, with the letters that OCR confuses in this typeface
# (a capital I, a small l and a bar) made one.
same_glyphs() { tr -d ' \n' | tr '|l' 'II'; }

pixels() { convert "$1" rgb:- 2>/dev/null | md5sum; }

# Captures the window once it has settled (two captures alike) to $2.
capture_settled() {
    capture "$1" "$work/first.png" || return 1
    sleep 0.3
    capture "$1" "$2" || return 1
    [ "$(pixels "$work/first.png")" = "$(pixels "$2")" ]
}

expect_text() {
    local text
    text=$(read_text "$1" "${3:-eng}")
    grep -qF -- "$(same_glyphs <<<"$2")" <<<"$text" || fail "expected \"$2\" on the screen, read \"$text\""
}

# The window shows the text: its picture is kept as $work/screen.png.
shows_text() {
    capture_settled "$window" "$work/screen.png" || return 1
    grep -qF -- "$(same_glyphs <<<"$1")" <<<"$(read_text "$work/screen.png" "${2:-eng}")"
}

# The same for a screen that keeps moving (the sending screen's bar and
# line): read from one capture, which is tried again until it reads right.
shows_moving_text() {
    capture "$window" "$work/screen.png" || return 1
    grep -qF -- "$(same_glyphs <<<"$1")" <<<"$(read_text "$work/screen.png" "${2:-eng}")"
}
wait_moving_text() {
    wait_for 40 "\"$1\" on the screen" shows_moving_text "$1" "${2:-eng}"
    echo "    shows: $1"
}

# Waits until the window shows the text (in language eng or jpn).
wait_text() {
    wait_for 40 "\"$1\" on the screen" shows_text "$1" "${2:-eng}"
    echo "    shows: $1"
}

# Waits for the message box and checks its text; the box is left in $box.
expect_box() {
    wait_for 20 "a message box" has_other_window
    local box_text="" end=$((SECONDS + 20))
    # The box is looked for again until it reads right: under Wine the thin
    # windows of its shadow may show before the box itself does.
    box_reads() {
        box=$(other_window) || return 1
        capture_settled "$box" "$work/box.png" || return 1
        box_text=$(read_text "$work/box.png")
        grep -qF -- "$(same_glyphs <<<"$1")" <<<"$box_text"
    }
    until box_reads "$1"; do
        [ $SECONDS -lt $end ] || fail "expected \"$1\" in the box, read \"$box_text\""
        sleep 0.1
    done
    [ -n "${2:-}" ] && keep_shot "$work/box.png" "$2"
    echo "    box: $1"
    program_ended && fail "the program ended before its box was dismissed"
    return 0
}

# Dismisses the message box $box with its OK, centred at its foot.
press_box_ok() {
    local size width height
    size=$(xdotool getwindowgeometry "$box" | sed -n 's/.*Geometry: \([0-9]*x[0-9]*\).*/\1/p')
    width=${size%x*}
    height=${size#*x}
    [ -n "$width" ] && [ -n "$height" ] || fail "cannot read the box's size"
    xdotool mousemove --window "$box" $((width / 2)) $((height - 21 * scale)) click 1 2>/dev/null || true
}

# Waits for the message box, checks its text, dismisses it with its OK and
# expects the program to end with exit code 0.
expect_box_then_end() {
    expect_box "$@"
    press_box_ok
    expect_end
}

expect_end() {
    wait_for 20 "the program to end" program_ended
    local status=0
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "the program ended with exit code $status"
}

# Chooses the language at the given position of the selector's list.
choose_language() {
    click 375 152
    wait_for 10 "the language list" has_other_window
    local menu height
    menu=$(other_window)
    height=$(xdotool getwindowgeometry "$menu" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
    [ -n "$height" ] || fail "cannot read the language list's size"
    # Two items share its height. A menu ignores a click in its first quarter
    # second: the item is clicked until the list closes.
    pick_item() {
        has_no_other_window && return 0
        xdotool mousemove --window "$menu" 60 $((height * (2 * $1 + 1) / 4)) click 1 2>/dev/null || true
        local end=$((SECONDS + 1))
        until has_no_other_window; do
            [ $SECONDS -lt $end ] || return 1
            sleep 0.1
        done
    }
    wait_for 10 "the language list to take the click" pick_item "$1"
    xdotool mousemove --window "$window" 40 35 2>/dev/null || true
}

# From the language screen, on in English to waiting for the mixer.
to_waiting() {
    wait_text "Please choose a language used."
    press_left
    wait_text "push START."
    press_left
    wait_text "Waiting from KVR-516helix connection."
}

start_mixer() {
    ip netns exec "$ns_mixer" "$simulator" --expect "$update_file" --save "$work/received" \
        --timeout 120 >"$work/mixer.log" 2>&1 &
    sim_pid=$!
}

mixer_done() { ! kill -0 "$sim_pid" 2>/dev/null; }

expect_mixer_ok() {
    wait_for 120 "the mixer simulator" mixer_done
    local status=0
    wait "$sim_pid" || status=$?
    sim_pid=""
    echo "    mixer: $(cat "$work/mixer.log")"
    [ "$status" -eq 0 ] || fail "the mixer simulator reports a bad delivery"
    cmp -s "$update_file" "$work/received" || fail "the mixer received other bytes than the file"
}

# The simulator with the given options (a fault mode); it connects after the
# second datagram.
start_faulty_mixer() {
    ip netns exec "$ns_mixer" "$simulator" --datagrams 2 --timeout 120 "$@" \
        >"$work/mixer.log" 2>&1 &
    sim_pid=$!
}

# Several mixers at once, in the mixer's namespace: mixer K connects from
# 198.51.100.(20 + K), an address added to its link for it, saves what it gets
# to $work/received.K and its summary to $work/mixer.K.log.
# start_mixer_from K [OPTIONS...]: mixer K, with start_mixer's options and more.
start_mixer_from() {
    local k=$1
    shift
    ip -n "$ns_mixer" addr replace "198.51.100.$((20 + k))/24" dev "ke$$b"
    ip netns exec "$ns_mixer" "$simulator" --from "198.51.100.$((20 + k))" --expect "$update_file" \
        --save "$work/received.$k" --timeout 120 "$@" >"$work/mixer.$k.log" 2>&1 &
    mixer_pids[k]=$!
}
# start_mixers N [OPTIONS...]: mixers 1 to N alike.
start_mixers() {
    local k
    for ((k = 1; k <= $1; k++)); do
        start_mixer_from "$k" "${@:2}"
    done
}
# Once the program has ended, waits for them (20 s at most), leaves mixer K's
# exit code in mixer_status[K] and removes their addresses.
mixers_done() {
    local pid
    for pid in "${mixer_pids[@]}"; do
        ! kill -0 "$pid" 2>/dev/null || return 1
    done
}
end_mixers() {
    local k
    wait_for 20 "the mixer simulators to end" mixers_done
    mixer_status=()
    for k in "${!mixer_pids[@]}"; do
        mixer_status[k]=0
        wait "${mixer_pids[k]}" || mixer_status[k]=$?
        unset "mixer_pids[k]"
        ip -n "$ns_mixer" addr del "198.51.100.$((20 + k))/24" dev "ke$$b"
        echo "    mixer $k: $(cat "$work/mixer.$k.log")"
    done
}
# expect_mixers_ok K...: each of these mixers took the whole file byte-exact.
expect_mixers_ok() {
    local k
    for k in "$@"; do
        [ "${mixer_status[k]}" -eq 0 ] && cmp -s "$update_file" "$work/received.$k" ||
            fail "mixer $k (198.51.100.$((20 + k))) did not take the file: $(cat "$work/mixer.$k.log")"
    done
}

# The console run's account of several mixers in $work/console.out: each of
# the lines "Mixer K of N connected from ADDRESS" for K = 1 to N, each mixer's
# address in one (said_of_mixers N), and mixer K's last line (said_for_mixer K
# TEXT, TEXT a pattern: "finished", for instance).
said_of_mixers() {
    local n=$1 k
    for ((k = 1; k <= n; k++)); do
        grep -qE "^Mixer $k of $n connected from 198\.51\.100\.2[1-9]"$'\r?$' "$work/console.out" &&
            grep -qE "^Mixer [1-9] of $n connected from 198\.51\.100\.$((20 + k))"$'\r?$' "$work/console.out" ||
            fail "no \"Mixer $k of $n connected from\" line, or none from 198.51.100.$((20 + k)): $(cat "$work/console.out")"
    done
}
said_for_mixer() { grep -qxE "Mixer 198\.51\.100\.$((20 + $1)): $2"$'\r?' "$work/console.out"; }

# A second network on the computer that is down but keeps its address, as an
# interface an administrator took down or a VPN that is not connected: it is
# listed with the others, and no datagram can be sent to it.
add_down_network() {
    ip -n "$ns_pc" link add kvdown type veth peer name kvdownpeer
    ip -n "$ns_pc" addr add 203.0.113.10/24 dev kvdown
}
remove_down_network() { ip -n "$ns_pc" link del kvdown; }

# Waits for the program's diagnostic line and checks that it came within
# limit_ms of the moment since_ns (nanoseconds since the epoch); the figure
# includes up to 100 ms of this poll.
expect_log_within() {
    local since_ns=$1 line=$2 limit_ms=$3 ms
    wait_for 20 "\"$line\" in the diagnostic log" grep -qF "KVR516_UPDATE: $line" "$work/app.log"
    ms=$((($(date +%s%N) - since_ns) / 1000000))
    echo "    [figures] \"$line\" $ms ms after the event"
    [ "$ms" -le "$limit_ms" ] || fail "\"$line\" came $ms ms after the event, not within $limit_ms ms"
}

# From the language screen, a whole delivery in English with the mouse: the
# mixer takes the file byte-exact (to_finish), and OK on the finish screen
# ends the program.
to_finish() {
    wait_text "Please choose a language used."
    press_left
    wait_text "push START."
    press_left
    start_mixer
    expect_mixer_ok
    wait_text "Finish sending the firmware."
}
deliver() {
    to_finish
    press_left
    expect_end
}

# Ends the mixer simulator started last, if it still runs.
stop_mixer() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    sim_pid=""
}

# The report holds against the schema and says, as report_check.py prints it, its
# exit code, its outcome and just these mixers:
# report_holds FILE EXIT_CODE OUTCOME "ADDRESS OUTCOME CODE BYTES_SENT TRY"...
report_holds() {
    local said
    said=$(/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/report_check.py" \
        "$(dirname "${BASH_SOURCE[0]}")/../../docs/report.schema.json" "$1" 2>&1 | sort)
    [ "$said" = "$(printf '%s\n' "exit_code $2" "outcome $3" "${@:4}" | sort)" ] || fail "the report says: $said"
}
# Rows that the Linux and the Windows runs share.

# With a second network down (add_down_network), the whole file reaches the
# mixer byte-exact.
row_down_network() {
    add_down_network
    make_update_file $((256 * 1024 + 7))
    launch
    deliver
    remove_down_network
}

# The mixer reads nothing until the program waits for room in its full
# buffers, then resets the connection: the box ends with "_S3". With a limit
# (ms), the program's own account of it comes within that of the reset.
row_stall_then_reset() {
    local limit_ms=${1:-} at
    make_update_file $((32 * 1024 * 1024))
    launch
    wait_text "Please choose a language used."
    press_left
    wait_text "push START."
    start_faulty_mixer --fault stall-then-reset
    press_left
    wait_for 60 "the mixer to reset the connection" mixer_done
    wait "$sim_pid" || fail "the mixer never saw the program wait for room: $(cat "$work/mixer.log")"
    sim_pid=""
    at=$(sed -n 's/.* reset_at=\([0-9]*\)\.\([0-9]*\).*/\1 \2/p' "$work/mixer.log")
    [ -n "$at" ] || fail "the mixer did not say when it reset: $(cat "$work/mixer.log")"
    set -- $at
    [ -z "$limit_ms" ] || expect_log_within $(($1 * 1000000000 + 10#$2 * 1000)) "send stage ended: _S3" "$limit_ms"
    expect_box_then_end "A problem occurred while sending the file_S3"
}

# The computer's address on the mixer's network comes only once the program
# waits for the mixer (another network keeps the check passing meanwhile): it
# is announced on, and the whole file reaches the mixer byte-exact.
row_address_after_start() {
    ip -n "$ns_pc" addr del 198.51.100.10/24 dev "ke$$a"
    ip -n "$ns_pc" link add kvother type veth peer name kvotherpeer
    ip -n "$ns_pc" addr add 203.0.113.10/24 dev kvother
    ip -n "$ns_pc" link set kvother up
    ip -n "$ns_pc" link set kvotherpeer up
    make_update_file $((64 * 1024 + 9))
    launch
    to_waiting
    ip -n "$ns_pc" addr add 198.51.100.10/24 dev "ke$$a"
    start_mixer
    expect_mixer_ok
    wait_text "Finish sending the firmware."
    press_left
    expect_end
    ip -n "$ns_pc" link del kvother
}

#------------------------------------------------------------------------------
step "a whole update in English"
make_update_file $((3 * 1024 * 1024 + 123))
launch
wait_text "Please choose a language used."
keep_shot "$work/screen.png" en-0-language

# The content is tall enough for the buttons (they reach y 209), and the
# window manager is told that the window keeps that one size.
fixed_size() {
    local hints
    hints=$(xprop -id "$window" WM_NORMAL_HINTS 2>/dev/null)
    grep -q "minimum size: 480 by 209" <<<"$hints" && grep -q "maximum size: 480 by 209" <<<"$hints"
}
xdotool getwindowgeometry "$window" | grep -q "Geometry: 480x209" || fail "the window is not 480 x 209"
wait_for 10 "the fixed size hints" fixed_size

press_left
wait_text "If you want to update KVR-516helix, push START."
keep_shot "$work/screen.png" en-2-ready

step "a second copy gives way"
record_windows
start_program
second=$started_pid
second_ended() { ! kill -0 "$second" 2>/dev/null; }
status=0
wait_for 20 "the second copy to end" second_ended
wait "$second" || status=$?
second=""
[ "$status" -eq 0 ] || fail "the second copy ended with exit code $status"
end_record_windows
for w in $mapped_windows; do
    fail "a window was shown while the second copy ran: $w"
done
has_main_window || fail "the first copy's window went away"

press_left
wait_text "Waiting from KVR-516helix connection."
keep_shot "$work/screen.png" en-3-waiting

start_mixer
wait_moving_text "Sending the firmware."
keep_shot "$work/screen.png" en-4-sending

wait_text "Finish sending the firmware."
keep_shot "$work/screen.png" en-5-finish
expect_mixer_ok

press_left
expect_end

#------------------------------------------------------------------------------
step "the initialise screen, held while the update file is opened"
# The check waits where it opens the update file until the test lets it go on.
hold_update_file 4096
launch
wait_text "Please choose a language used."
press_left
wait_for 20 "the check to open the update file" update_file_opened
# The screen without message or buttons, before the introduction follows.
shows_no_text() {
    capture_settled "$window" "$work/screen.png" || return 1
    local text
    text=$(read_text "$work/screen.png")
    for word in Please START EXIT OK Cancel; do
        grep -qF "$word" <<<"$text" && return 1
    done
    return 0
}
wait_for 20 "the initialise screen" shows_no_text
keep_shot "$work/screen.png" en-1-initialise
release_update_file
wait_text "If you want to update KVR-516helix, push START."
press_right
expect_end
drop_held_file

#------------------------------------------------------------------------------
step "a whole update in Japanese"
make_update_file $((64 * 1024 + 5))
launch
wait_text "Please choose a language used."
choose_language 1
wait_text "言語を選択してください" jpn
keep_shot "$work/screen.png" ja-0-language
press_left
wait_text "アップデートする場合は開始" jpn
press_left
wait_text "接続待機中" jpn
keep_shot "$work/screen.png" ja-3-waiting
start_mixer
expect_mixer_ok
wait_text "ファームウェアの送信が終了しました" jpn
keep_shot "$work/screen.png" ja-5-finish
press_left
expect_end

#------------------------------------------------------------------------------
step "no update file"
rm -f "$update_file"
launch
wait_text "Please choose a language used."
press_left
expect_box_then_end "Cannot find the UpdateFile_I4" en-box-i4

#------------------------------------------------------------------------------
step "Cancel while waiting for the mixer"
make_update_file 4096
launch
to_waiting
press_right
expect_box_then_end "Connecting cancel." en-box-connecting-cancel

#------------------------------------------------------------------------------
step "the mixer vanishes with 40,000 bytes still to come: no finish screen, Cancel"
make_update_file $((300 * 1024))
launch
wait_text "Please choose a language used."
press_left
wait_text "push START."
start_faulty_mixer --fault vanish-before-end:40000
press_left
wait_for 30 "the mixer to vanish" grep -q "result=" "$work/mixer.log"
grep -q "result=ok" "$work/mixer.log" || fail "the mixer did not vanish: $(cat "$work/mixer.log")"
# Nothing the program wrote after that is acknowledged: for 5 s it keeps waiting.
vanished=$(date +%s%N)
while [ $((($(date +%s%N) - vanished) / 1000000)) -lt 5000 ]; do
    grep -qF "KVR516_UPDATE: send stage ended" "$work/app.log" &&
        fail "the send stage ended without the mixer's acknowledgement of every byte"
    sleep 0.2
done
shows_moving_text "Sending the firmware." || fail "the sending screen is gone"
press_right
expect_box_then_end "Sending cancel."
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""

#------------------------------------------------------------------------------
step "the address on the mixer's network comes only after START"
row_address_after_start

#------------------------------------------------------------------------------
step "the window closed while the file system holds the check's open"
hold_update_file 4096
launch
wait_text "Please choose a language used."
press_left
wait_for 20 "the check to open the update file" update_file_opened
closed=$(date +%s%N)
"$close_helper" "$window"
expect_log_within "$closed" "initialise stage ended: cancelled" 1000
expect_box "Initialize cancel."
pressed=$(date +%s%N)
press_box_ok
# The program's windows go at once. Its process ends once the file system
# answers the open: Linux keeps a thread in a FUSE request until then.
wait_for 10 "the program's windows to go" eval '[ -z "$(program_windows)" ]'
gone_ms=$((($(date +%s%N) - pressed) / 1000000))
echo "    [figures] the windows gone $gone_ms ms after OK"
[ "$gone_ms" -le 1000 ] || fail "the windows went $gone_ms ms after OK, not within 1000 ms"
drop_held_file
expect_end

#------------------------------------------------------------------------------
step "the record's folder on a file system that never answers"
# Under AddressSanitizer the leak check at exit stops every thread first, and
# waits for ever for the one the file system holds: that build cannot end so.
# ThreadSanitizer's work at exit is left out too; the Release build runs it.
if ldd "$program" 2>/dev/null | grep -qE 'lib[at]san'; then
    echo "    skipped: the program is built with a sanitizer"
else
    # Every look-up there waits until release_update_file.
    make_update_file $((20 * 1024 + 3))
    serve_held_file 8 --hold-all
    state_home="$work/held/state"
    launch
    wait_for 20 "the record to reach the file system" grep -q '^held /state' "$work/held.out"
    to_finish
    pressed=$(date +%s%N)
    press_left
    # The record's close, then the main thread's end (a zombie while the record's
    # writer waits on the file system).
    main_ended() { grep -qs '^State:.*zombie' "/proc/$app_pid/status" || [ ! -e "/proc/$app_pid" ]; }
    wait_for 10 "the program's main thread to end" main_ended
    ended_ms=$((($(date +%s%N) - pressed) / 1000000))
    echo "    [figures] the main thread ended $ended_ms ms after OK"
    [ "$ended_ms" -le 1000 ] || fail "the main thread ended $ended_ms ms after OK, not within 1000 ms"
    drop_held_file
    expect_end
fi

#------------------------------------------------------------------------------
step "the window's close button while waiting for the mixer"
make_update_file 4096
launch
to_waiting
"$close_helper" "$window"
expect_box_then_end "Connecting cancel."

step "the window's close button on the language screen"
launch
wait_text "Please choose a language used."
"$close_helper" "$window"
# A box would keep the program open until dismissed: it ended without one.
expect_end

#------------------------------------------------------------------------------
# However it is started, the program sends the file beside its executable.
# Each start is made from another folder that holds a decoy update file with
# the tag (the symbolic link's folder holds one beside the link): the mixer
# checks every byte it gets against the file beside the program, so a decoy
# never reaches it.
elsewhere="$work/elsewhere"
links="$work/links"
mkdir -p "$elsewhere" "$links"
for folder in "$elsewhere" "$links"; do
    { printf 'KVR700X2'; head -c 3000 /dev/urandom; } >"$folder/KVR516_UPDATE.upd"
done
ln -s "$work/prog/KVR516_UPDATE" "$links/KVR516_UPDATE"
cp "$(dirname "${BASH_SOURCE[0]}")/../../packaging/KVR516_UPDATE.desktop" "$work/prog/"
make_update_file $((20 * 1024 + 3))
# Each case: its name, the folder it starts from, the command.
launch_cases=(
    "by bare name through PATH|$elsewhere|env PATH=$work/prog:/usr/bin:/bin KVR516_UPDATE"
    "through a symbolic link|$links|$links/KVR516_UPDATE"
    "by its desktop launcher|$elsewhere|/usr/bin/python3 $(dirname "${BASH_SOURCE[0]}")/launch_desktop_file.py $work/prog/KVR516_UPDATE.desktop"
)
for launch_case in "${launch_cases[@]}"; do
    IFS='|' read -r case_name case_dir case_command <<<"$launch_case"
    step "started $case_name, from a folder with a decoy update file"
    # shellcheck disable=SC2086 # the command's words
    launch "$case_dir" $case_command
    deliver
done
# The diagnostic log of the last delivery, on standard error.
for line in "announcing on 198.51.100.10 to 198.51.100.255" "connected from 198.51.100.20" \
    "sent $((20 * 1024 + 3 + 4)) bytes" "send stage ended: ok"; do
    grep -qF "KVR516_UPDATE: $line" "$work/app.log" || fail "no \"$line\" in the diagnostic log"
done
# The record of every run: the last line, that delivery's closing line, names
# the outcome the user saw, the mixer's address and the update file's SHA-256.
record="$work/state/KVR516_UPDATE/KVR516_UPDATE.log"
closing=$(tail -n1 "$record") || fail "no record of the runs in $record"
for part in "outcome: Finish (" "mixer: 198.51.100.20" "SHA-256 $(sha256sum <"$update_file" | cut -d' ' -f1)"; do
    grep -qF -- "$part" <<<"$closing" || fail "the record's closing line lacks \"$part\": $closing"
done
echo "    record: $(grep -c '^=== start' "$record") runs; the last ends: $closing"

#------------------------------------------------------------------------------
step "no display"
# DISPLAY unset, a display that no server serves, and one whose server refuses
# the program (as under sudo without the user's X authority): one line that
# says what is missing and how to start the program, exit code 1, no crash,
# no core file.
xauth -q -f "$work/locked.xauth" add :0 . "$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')"
exec 3>"$work/locked.display"
Xvfb -displayfd 3 -auth "$work/locked.xauth" -nolisten tcp >"$work/locked-xvfb.log" 2>&1 &
locked_xvfb_pid=$!
exec 3>&-
wait_for 20 "the X server that asks for authority" test -s "$work/locked.display"
mkdir -p "$work/nodisplay"
for display in "" ":65000" ":$(head -n1 "$work/locked.display")"; do
    status=0
    (cd "$work/nodisplay" && ulimit -c unlimited &&
        ip netns exec "$ns_pc" env -i ${display:+DISPLAY=$display} HOME="$work/home" PATH=/usr/bin:/bin \
            "$work/prog/KVR516_UPDATE" >"$work/nodisplay.out" 2>"$work/nodisplay.err") || status=$?
    [ "$status" -eq 1 ] || fail "without a display ($display) the exit code is $status, not 1"
    [ "$(wc -l <"$work/nodisplay.err")" -eq 1 ] &&
        grep -q '^KVR516_UPDATE: .*display.*sudo --preserve-env=DISPLAY,XAUTHORITY$' "$work/nodisplay.err" ||
        fail "without a display ($display) standard error says: $(cat "$work/nodisplay.err")"
    [ -z "$(ls -A "$work/nodisplay")" ] || fail "without a display ($display) a core file was left"
    echo "    $(grep '^KVR516_UPDATE' "$work/nodisplay.err")"
done
# Asked for its version, it prints it on standard output, display or not.
version=$(env -i PATH=/usr/bin:/bin "$work/prog/KVR516_UPDATE" --version 2>"$work/nodisplay.err") ||
    fail "--version ended with exit code $?"
[[ $version =~ ^KVR516_UPDATE\ 1\.0\ \(commit\ ([0-9a-f]{12}|unknown)\)$ ]] && [ ! -s "$work/nodisplay.err" ] ||
    fail "--version printed \"$version\" and on standard error \"$(cat "$work/nodisplay.err")\""
kill "$locked_xvfb_pid"
wait "$locked_xvfb_pid" 2>/dev/null || true
locked_xvfb_pid=""

#------------------------------------------------------------------------------
step "announcing fails while waiting for the mixer"
make_update_file 4096
launch
to_waiting
# From now on the program's namespace refuses every UDP datagram it sends.
ip netns exec "$ns_pc" nft -f - <<'NFT'
table inet kvr_e2e {
    chain out {
        type filter hook output priority 0;
        meta l4proto udp drop
    }
}
NFT
expect_box_then_end "Cannot send the update data_C4"
ip netns exec "$ns_pc" nft delete table inet kvr_e2e

#------------------------------------------------------------------------------
# At a desktop scale of 2 under a window manager: JUCE reads the scale from
# XSETTINGS (Gdk/WindowScalingFactor) for outputs where a window manager
# publishes _NET_WORKAREA, as openbox does. Last, since the window manager
# stays.
step "scale 2 under a window manager"
printf 'Gdk/WindowScalingFactor 2\n' >"$work/xsettingsd.conf"
xsettingsd -c "$work/xsettingsd.conf" >"$work/xsettingsd.log" 2>&1 &
xsettings_pid=$!
HOME="$work/home" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
has_work_area() { xprop -root _NET_WORKAREA 2>/dev/null | grep -q '= '; }
wait_for 20 "the window manager" has_work_area
scale=2

launch
# The window keeps its size in device pixels, and tells the window manager so.
window_size() { xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: \([0-9]*x[0-9]*\).*/\1/p'; }
# It is shown at that size at once: the window manager is never asked for another.
shown_at_its_size() {
    [ "$(window_size)" = 960x418 ] || fail "at scale 2 the window shows at $(window_size), not 960x418"
}
shown_at_its_size
fixed_size_at_scale() {
    local hints
    hints=$(xprop -id "$window" WM_NORMAL_HINTS 2>/dev/null)
    grep -q "minimum size: 960 by 418" <<<"$hints" && grep -q "maximum size: 960 by 418" <<<"$hints"
}
wait_for 10 "the fixed size hints at scale 2" fixed_size_at_scale
wait_text "Please choose a language used."
[ "$(window_size)" = 960x418 ] || fail "at scale 2 the window is $(window_size), not 960x418"
press_left
wait_text "push START."
press_left
wait_text "Waiting from KVR-516helix connection."

# A second copy brings the first to the front: it is minimised first.
active_window() { xprop -root _NET_ACTIVE_WINDOW | sed -n 's/.*# \(0x[0-9a-f]*\).*/\1/p'; }
is_active() { [ "$(($(active_window)))" -eq "$window" ]; }
xdotool windowminimize "$window"
wait_for 10 "the window to be minimised" eval '! is_active'
start_program
second=$started_pid
wait_for 20 "the second copy to end" second_ended
wait "$second" || fail "the second copy ended with exit code $?"
second=""
wait_for 10 "the first copy's window at the front" is_active
[ "$(window_size)" = 960x418 ] || fail "at scale 2 the window became $(window_size)"

"$close_helper" "$window"
expect_box_then_end "Connecting cancel."

# The right button: Cancel on the language screen ends the program.
launch
shown_at_its_size
wait_text "Please choose a language used."
press_right
expect_end

#------------------------------------------------------------------------------
# The keyboard alone, no mouse, under the window manager (still at scale 2):
# the window takes the keyboard when it opens and after each screen change.
key() { xdotool key --delay 50 "$@"; }

step "a whole update with the keyboard; Return held on the language screen presses nothing more"
make_update_file $((20 * 1024 + 3))
launch
wait_text "Please choose a language used."
# Held past the next screen, Return repeats (the X server's auto-repeat: after
# 660 ms, 25 presses a second); none of the repeats may press START.
xdotool keydown Return
wait_text "push START."
sleep 1.5
xdotool keyup Return
wait_text "push START."
key Return
wait_text "Waiting from KVR-516helix connection."
start_mixer
expect_mixer_ok
wait_text "Finish sending the firmware."
key Return
expect_end

step "the keyboard: Tab, the selector's arrows, a focused START, Escape while waiting"
launch
wait_text "Please choose a language used."
# Tab reaches the selector: its arrow keys choose the language, and Return
# there presses OK.
key Tab Down
wait_text "言語を選択してください" jpn
key Up
wait_text "Please choose a language used."
key Return
wait_text "push START."
# Tab reaches START, which shows it: a thin dark line inside its outline.
dark_in_start() {
    convert "$work/screen.png" -crop "$((120 * scale))x$((24 * scale))+$((220 * scale))+$((185 * scale))" \
        -colorspace Gray -threshold 60% -format '%[fx:round(w*h*(1-mean))]' info:
}
unfocused=$(dark_in_start)
start_shows_focus() { capture_settled "$window" "$work/screen.png" && [ "$(dark_in_start)" -gt $((unfocused + 100)) ]; }
key Tab
wait_for 10 "START to show the keyboard's focus" start_shows_focus
echo "    START shows the focus: $unfocused dark pixels before, $(dark_in_start) after"
key Return
wait_text "Waiting from KVR-516helix connection."
key Escape
expect_box "Connecting cancel."
key Return
expect_end

echo "end-to-end: all runs passed"
