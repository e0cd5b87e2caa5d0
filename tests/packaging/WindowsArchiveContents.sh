#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Packs the Windows zip into a folder of its own, as the package target does,
# and checks what a user unpacks: one top folder holding the executable (a
# 64-bit Windows program with its icon resource), README.txt with CR LF line
# ends that says where the update file goes and what the firewall asks, and
# LICENSE; the entries in name order, each with the build's time and mode 755
# or 644; SHA256SUMS beside it, which checks the zip and the program. Packed
# again from a copy of the same files, as if built at another time by another
# user, in another time zone, the zip and SHA256SUMS are the same to the byte.
#
#   WindowsArchiveContents.sh BUILD_DIR
set -euo pipefail
build=$1
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
bash "$source/packaging/pack.sh" "$work/stage/$name" "$work/out" KVR516_UPDATE.exe zip

# In name order, each with mode 755 or 644, no extra field (owners, other
# times) and the build's time (DOS times count in steps of 2 s, zip rounds up).
time=$(TZ=UTC date -d "@$(((SOURCE_DATE_EPOCH + 1) / 2 * 2))" '+%Y%m%d.%H%M%S')
listing=$(zipinfo -T "$zip" | awk '/^-/ {print $1, substr($5, 2), $7, $8}')
expected=$(for f in KVR516_UPDATE.exe LICENSE README.txt; do
    mode=-rw-r--r--
    [ "$f" != KVR516_UPDATE.exe ] || mode=-rwxr-xr-x
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
TZ=XST-14 bash "$source/packaging/pack.sh" "$work/copy/$name" "$work/copy" KVR516_UPDATE.exe zip
cmp "$zip" "$work/copy/$name.zip" || fail "packed again, the zip differs"
cmp "$work/out/SHA256SUMS" "$work/copy/SHA256SUMS" || fail "packed again, SHA256SUMS differs"

unzip -q "$zip" -d "$work/out"
[ "$(cut -d' ' -f3- "$work/out/SHA256SUMS")" = "$name.zip
$name/KVR516_UPDATE.exe" ] || fail "SHA256SUMS covers $(cut -d' ' -f3- "$work/out/SHA256SUMS" | tr '\n' ' ')"
(cd "$work/out" && sha256sum --check --strict --quiet SHA256SUMS) ||
    fail "SHA256SUMS does not match the zip and the program"
top=$work/out/$name
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
