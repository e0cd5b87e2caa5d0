#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Packs the Windows zip into a folder of its own, as the package target does,
# and checks what a user unpacks: one top folder holding the executable (a
# 64-bit Windows program with its icon, its application manifest and a
# version resource that carries the project's version) and its console twin
# KVR516_UPDATE.com, README.txt and the
# firewall helper with CR LF line ends, README.txt saying where the update
# file goes, what the firewall asks and how to get the diagnostic lines, and
# LICENSE; the entries in name order, each with the build's time and mode 755
# or 644; SHA256SUMS beside it, which checks the zip and the program. Packed
# again from a copy of the same files, as if built at another time by another
# user, in another time zone, the zip and SHA256SUMS are the same to the byte.
#
#   WindowsArchiveContents.sh BUILD_DIR PROJECT_VERSION
set -euo pipefail
build=$1
version=$2
source=$(realpath "$(dirname "$0")/../..")
work=$(mktemp -d /tmp/kvr-zip-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

. "$source/scripts/epoch.sh"
name=KVR516_UPDATE-1.0-win64
zip=$work/out/$name.zip
mkdir "$work/out"
cmake --install "$build" --prefix "$work/stage/$name" --strip >"$work/install.log" 2>&1 ||
    fail "install: $(tail -5 "$work/install.log")"
bash "$source/packaging/pack.sh" "$work/stage/$name" "$work/out" KVR516_UPDATE.exe zip KVR516_UPDATE.com

# In name order, each with mode 755 or 644, no extra field (owners, other
# times) and the build's time (DOS times count in steps of 2 s, zip rounds up).
time=$(TZ=UTC date -d "@$(((SOURCE_DATE_EPOCH + 1) / 2 * 2))" '+%Y%m%d.%H%M%S')
listing=$(zipinfo -T "$zip" | awk '/^-/ {print $1, substr($5, 2), $7, $8}')
expected=$(for f in KVR516_UPDATE-firewall.cmd KVR516_UPDATE.com KVR516_UPDATE.exe LICENSE README.txt; do
    mode=-rw-r--r--
    case $f in *.exe | *.com) mode=-rwxr-xr-x ;; esac
    echo "$mode - $time $name/$f"
done)
[ "$listing" = "$expected" ] || fail "zip holds
$listing
expected
$expected"

# Packed again as if at another time, by another user, 14 hours east.
mkdir "$work/copy"
(umask 077 && cp -r "$work/stage/$name" "$work/copy/")
find "$work/copy" -exec touch -d '2001-02-03 04:05:06' {} +
[ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$work/copy"
TZ=XST-14 bash "$source/packaging/pack.sh" "$work/copy/$name" "$work/copy" KVR516_UPDATE.exe zip KVR516_UPDATE.com
cmp "$zip" "$work/copy/$name.zip" || fail "packed again, the zip differs"
cmp "$work/out/SHA256SUMS" "$work/copy/SHA256SUMS" || fail "packed again, SHA256SUMS differs"

unzip -q "$zip" -d "$work/out"
[ "$(cut -d' ' -f3- "$work/out/SHA256SUMS")" = "$name.zip
$name/KVR516_UPDATE.exe
$name/KVR516_UPDATE.com" ] || fail "SHA256SUMS covers $(cut -d' ' -f3- "$work/out/SHA256SUMS" | tr '\n' ' ')"
(cd "$work/out" && sha256sum --check --strict --quiet SHA256SUMS) ||
    fail "SHA256SUMS does not match the zip and the program"
top=$work/out/$name
headers=$(x86_64-w64-mingw32-objdump -p "$top/KVR516_UPDATE.exe") || fail "not a Windows program"
grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a 64-bit Windows program"
grep -qP '^Subsystem\s+00000002' <<<"$headers" || fail "not a Windows GUI program"
grep -qP '^Subsystem\s+00000003' <<<"$(x86_64-w64-mingw32-objdump -p "$top/KVR516_UPDATE.com")" ||
    fail "KVR516_UPDATE.com is not a Windows console program"
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
grep -qF '%LOCALAPPDATA%\KVR516_UPDATE\KVR516_UPDATE.log' "$readme" || fail "README.txt does not say where the record is"
# The helper allows TCP 54000 inbound for the program and its console twin beside it.
helper=$top/KVR516_UPDATE-firewall.cmd
grep -q '^for %%p in (KVR516_UPDATE.exe KVR516_UPDATE.com) do (' "$helper" &&
    grep -q '^    call :allow "%~dp0%%p"' "$helper" &&
    grep -q 'add rule .*program="%~1" protocol=TCP localport=54000 ' "$helper" ||
    fail "the firewall helper does not allow TCP 54000 for both programs beside it"
echo "zip: $(unzip -Z1 "$zip" | tr '\n' ' ')"
