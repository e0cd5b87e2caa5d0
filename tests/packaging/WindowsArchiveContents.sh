#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Packs the Windows zip into a folder of its own and checks what a user
# unpacks: one top folder holding the executable (a 64-bit Windows program
# with its icon, its application manifest and a version resource that carries
# the project's version), README.txt and the firewall helper with CR LF line
# ends, README.txt saying where the update file goes, what the firewall asks
# and how to get the diagnostic lines, and LICENSE.
#
#   WindowsArchiveContents.sh BUILD_DIR PROJECT_VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d /tmp/kvr-zip-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$work" && cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    fail "cpack: $(tail -5 "$work/cpack.log")"
zip=$work/out/KVR516_UPDATE-1.0-win64.zip
[ -f "$zip" ] || fail "no KVR516_UPDATE-1.0-win64.zip"

listing=$(unzip -Z1 "$zip" | sort)
expected=$(printf '%s\n' KVR516_UPDATE.exe KVR516_UPDATE-firewall.cmd LICENSE README.txt |
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

# The application manifest (RT_MANIFEST 24, id 1), well-formed: started with
# the user's rights, made for Windows 10 and 11, per-monitor DPI aware as JUCE
# makes itself.
exe=$top/KVR516_UPDATE.exe
manifest=$work/manifest.xml
wrestool -x --raw -t 24 -n 1 "$exe" >"$manifest" || fail "no application manifest"
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$manifest" ||
    fail "the application manifest is not well-formed XML"
for line in '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' \
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' '>PerMonitorV2, PerMonitor</dpiAwareness>'; do
    grep -qF -- "$line" "$manifest" || fail "the application manifest lacks $line"
done
# The version resource (RT_VERSION 16, id 1): the fixed part's file and
# product version, then the texts Explorer shows, from the project's version.
IFS=. read -r major minor patch tweak <<<"$version"
numbers=("${major:-0}" "${minor:-0}" "${patch:-0}" "${tweak:-0}")
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
high=$(le32 $((numbers[0] << 16 | numbers[1])))
low=$(le32 $((numbers[2] << 16 | numbers[3])))
wrestool -x --raw -t 16 -n 1 "$exe" >"$work/version.res" || fail "no version resource"
od -An -tx1 -v "$work/version.res" | tr -d ' \n' | grep -q "bd04effe00000100$high$low$high$low" ||
    fail "the version resource's fixed part does not carry version $version"
version_text() { strings -el -n 1 "$work/version.res" | grep -A1 -x "$1" | sed -n 2p; }
file_version=$(IFS=.; echo "${numbers[*]}")
[ "$(version_text FileVersion)" = "$file_version" ] || fail "FileVersion is \"$(version_text FileVersion)\", not $file_version"
[ "$(version_text ProductVersion)" = "$version" ] || fail "ProductVersion is \"$(version_text ProductVersion)\", not $version"
[ "$(version_text FileDescription)" = "KVR Firmware Downloader" ] ||
    fail "FileDescription is \"$(version_text FileDescription)\""
echo "version resource: $file_version, $version, $(version_text FileDescription)"

# README.txt and the firewall helper, each with CR LF line ends.
for text in README.txt KVR516_UPDATE-firewall.cmd; do
    lines=$(wc -l <"$top/$text")
    crlf=$(grep -c $'\r$' "$top/$text" || true)
    [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] || fail "$text: $crlf of $lines lines end in CR LF"
done
readme=$top/README.txt
grep -q 'KVR516_UPDATE.upd' "$readme" || fail "README.txt does not say where the update file goes"
grep -q 'Extract the whole zip' "$readme" || fail "README.txt does not say to extract the whole zip"
grep -q 'private networks' "$readme" || fail "README.txt does not explain the firewall question"
grep -q '_I4' "$readme" || fail "README.txt does not explain the coded messages"
grep -q 'KVR516_UPDATE-firewall.cmd remove' "$readme" || fail "README.txt does not name the firewall helper"
grep -q 'KVR516_UPDATE.exe 2> log.txt' "$readme" || fail "README.txt does not say how to keep the diagnostic lines"
# The helper allows TCP 54000 inbound for the program beside it.
helper=$top/KVR516_UPDATE-firewall.cmd
grep -q '^set "program=%~dp0KVR516_UPDATE.exe"' "$helper" &&
    grep -q 'add rule .*program="%program%" protocol=TCP localport=54000 ' "$helper" ||
    fail "the firewall helper does not allow TCP 54000 for the program beside it"
echo "zip: $(unzip -Z1 "$zip" | tr '\n' ' ')"
