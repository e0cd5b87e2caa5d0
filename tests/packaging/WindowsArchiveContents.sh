#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Packs the Windows zip into a folder of its own and checks what a user
# unpacks: one top folder holding the executable (a 64-bit Windows program
# with its icon resource), README.txt with CR LF line ends that says where
# the update file goes and what the firewall asks, and LICENSE.
#
#   WindowsArchiveContents.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/kvr-zip-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$work" && cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    fail "cpack: $(tail -5 "$work/cpack.log")"
zip=$work/out/KVR516_UPDATE-1.0-win64.zip
[ -f "$zip" ] || fail "no KVR516_UPDATE-1.0-win64.zip"

listing=$(unzip -Z1 "$zip" | sort)
expected=$(printf '%s\n' KVR516_UPDATE.exe LICENSE README.txt |
    sed 's|^|KVR516_UPDATE-1.0-win64/|' | sort)
[ "$listing" = "$expected" ] || fail "zip holds
$listing
expected
$expected"

unzip -q "$zip" -d "$work/unpacked"
top=$work/unpacked/KVR516_UPDATE-1.0-win64
headers=$(x86_64-w64-mingw32-objdump -p "$top/KVR516_UPDATE.exe") || fail "not a Windows program"
grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a 64-bit Windows program"
grep -qP '^Subsystem\s+00000002' <<<"$headers" || fail "not a Windows GUI program"
# One icon image (RT_ICON, 3) of 213 x 213 at 24 bits per pixel: its header
# and colour rows (640 bytes) and mask rows (28 bytes), 142324 bytes; the
# icon group (RT_GROUP_ICON, 14) has the id 101.
resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$headers")
grep -A5 'Entry: ID: 0x000003,' <<<"$resources" | grep -q 'Size: 0x022bf4' ||
    fail "the icon image is not one 213 x 213 image at 24 bits per pixel"
grep -A2 'Entry: ID: 0x00000e,' <<<"$resources" | grep -q 'Entry: ID: 0x000065,' ||
    fail "no icon group 101"

readme=$top/README.txt
lines=$(wc -l <"$readme")
crlf=$(grep -c $'\r$' "$readme" || true)
[ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] || fail "README.txt: $crlf of $lines lines end in CR LF"
grep -q 'KVR516_UPDATE.upd' "$readme" || fail "README.txt does not say where the update file goes"
grep -q 'private networks' "$readme" || fail "README.txt does not explain the firewall question"
grep -q '_I4' "$readme" || fail "README.txt does not explain the coded messages"
echo "zip: $(unzip -Z1 "$zip" | tr '\n' ' ')"
