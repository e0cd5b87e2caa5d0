#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Builds the portable archive into a folder of its own and checks what a user
# unpacks: one top folder holding the executable (runnable, every library it
# links found), README, LICENSE, the desktop launcher and its PNG icon, and
# the ufw profile and firewalld service for TCP port 54000.
#
#   ArchiveContents.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/kvr-archive-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$work" && cpack -G TGZ --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    fail "cpack: $(tail -5 "$work/cpack.log")"
archive=$(ls "$work"/out/KVR516_UPDATE-1.0-Linux.tar.gz 2>/dev/null) || fail "no KVR516_UPDATE-1.0-Linux.tar.gz"

listing=$(tar tzf "$archive" | sort)
expected=$(printf '%s\n' KVR516_UPDATE KVR516_UPDATE.desktop KVR516_UPDATE.png KVR516_UPDATE.ufw \
    kvr516-update.xml LICENSE README |
    sed 's|^|KVR516_UPDATE-1.0-Linux/|' | sort)
[ "$listing" = "$expected" ] || fail "archive holds
$listing
expected
$expected"

mkdir "$work/unpacked"
tar xzf "$archive" -C "$work/unpacked"
top=$work/unpacked/KVR516_UPDATE-1.0-Linux
[ -x "$top/KVR516_UPDATE" ] || fail "the executable is not executable"
if ldd "$top/KVR516_UPDATE" | grep -q "not found"; then
    fail "libraries not found: $(ldd "$top/KVR516_UPDATE" | grep 'not found')"
fi
[ "$(head -c 8 "$top/KVR516_UPDATE.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "the icon is not a PNG file"
grep -q '^\[Desktop Entry\]$' "$top/KVR516_UPDATE.desktop" || fail "no [Desktop Entry] group"
grep -q '^Type=Application$' "$top/KVR516_UPDATE.desktop" || fail "launcher is not an application"
grep -q '^Exec=.*KVR516_UPDATE' "$top/KVR516_UPDATE.desktop" || fail "launcher does not start the program"
grep -q 'KVR516_UPDATE.upd' "$top/README" || fail "README does not say where the update file goes"
# The firewall profiles open TCP port 54000 and the README says how to install them.
grep -qx 'ports=54000/tcp' "$top/KVR516_UPDATE.ufw" || fail "the ufw profile does not open TCP 54000"
grep -q '<port protocol="tcp" port="54000"/>' "$top/kvr516-update.xml" ||
    fail "the firewalld service does not open TCP 54000"
for line in 'ufw allow 54000/tcp' 'firewall-cmd --add-port=54000/tcp' 'tcp dport 54000 accept' \
    'applications.d/' 'firewalld/services/'; do
    grep -qF -- "$line" "$top/README" || fail "README lacks the firewall help \"$line\""
done
echo "archive ok: $(basename "$archive")"
