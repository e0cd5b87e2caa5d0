#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Packs the portable archive of a build into a folder of its own, as the
# package target does, and checks what a user unpacks: one top folder holding
# the executable (runnable, every library it links found), README, LICENSE,
# the desktop launcher and its PNG icon, and the ufw profile and firewalld
# service for TCP port 54000; the entries in byte order of their names, each
# with the build's time, owner 0 and mode 755 or 644; SHA256SUMS beside it,
# which checks the archive and the program. Packed again from a copy of the
# same files, as if built at another time by another user, in another time
# zone and locale, the archive and SHA256SUMS are the same to the byte.
#
#   ArchiveContents.sh BUILD_DIR
set -euo pipefail
build=$1
source=$(realpath "$(dirname "$0")/../..")
work=$(mktemp -d /tmp/kvr-archive-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

. "$source/scripts/epoch.sh"
name=KVR516_UPDATE-1.0-Linux
archive=$work/out/$name.tar.gz
mkdir "$work/out"
cmake --install "$build" --prefix "$work/stage/$name" --strip >"$work/install.log" 2>&1 ||
    fail "install: $(tail -5 "$work/install.log")"
bash "$source/packaging/pack.sh" "$work/stage/$name" "$work/out" KVR516_UPDATE tar.gz

# In byte order of the names, each with owner 0/0, the build's time and mode
# 755 or 644.
time=$(TZ=UTC date -d "@$SOURCE_DATE_EPOCH" '+%F %T')
listing=$(TZ=UTC tar --numeric-owner --full-time -tvzf "$archive" | awk '{print $1, $2, $4, $5, $6}')
expected=$(for f in KVR516_UPDATE KVR516_UPDATE.desktop KVR516_UPDATE.png KVR516_UPDATE.ufw \
    LICENSE README kvr516-update.xml; do
    mode=-rw-r--r--
    [ "$f" != KVR516_UPDATE ] || mode=-rwxr-xr-x
    echo "$mode 0/0 $time $name/$f"
done)
[ "$listing" = "$expected" ] || fail "archive holds
$listing
expected
$expected"

# Packed again as if at another time, by another user, in a time zone 14 hours
# east and a locale that sorts "kvr516-update.xml" among the KVR516_UPDATE files.
mkdir -p "$work/locale" "$work/copy"
localedef -i en_US -f UTF-8 "$work/locale/en_US.UTF-8" 2>/dev/null || [ -d "$work/locale/en_US.UTF-8" ]
(umask 077 && cp -r "$work/stage/$name" "$work/copy/")
find "$work/copy" -exec touch -d '2001-02-03 04:05:06' {} +
[ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$work/copy"
TZ=XST-14 LOCPATH="$work/locale" LC_ALL=en_US.UTF-8 \
    bash "$source/packaging/pack.sh" "$work/copy/$name" "$work/copy" KVR516_UPDATE tar.gz
cmp "$archive" "$work/copy/$name.tar.gz" || fail "packed again, the archive differs"
cmp "$work/out/SHA256SUMS" "$work/copy/SHA256SUMS" || fail "packed again, SHA256SUMS differs"

tar xzf "$archive" -C "$work/out"
[ "$(cut -d' ' -f3- "$work/out/SHA256SUMS")" = "$name.tar.gz
$name/KVR516_UPDATE" ] || fail "SHA256SUMS covers $(cut -d' ' -f3- "$work/out/SHA256SUMS" | tr '\n' ' ')"
(cd "$work/out" && sha256sum --check --strict --quiet SHA256SUMS) ||
    fail "SHA256SUMS does not match the archive and the program"
top=$work/out/$name
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
grep -qF '~/.local/state/KVR516_UPDATE/KVR516_UPDATE.log' "$top/README" || fail "README does not say where the record is"
# The firewall profiles open TCP port 54000 and the README says how to install them.
grep -qx 'ports=54000/tcp' "$top/KVR516_UPDATE.ufw" || fail "the ufw profile does not open TCP 54000"
grep -q '<port protocol="tcp" port="54000"/>' "$top/kvr516-update.xml" ||
    fail "the firewalld service does not open TCP 54000"
for line in 'ufw allow 54000/tcp' 'firewall-cmd --add-port=54000/tcp' 'tcp dport 54000 accept' \
    'applications.d/' 'firewalld/services/'; do
    grep -qF -- "$line" "$top/README" || fail "README lacks the firewall help \"$line\""
done
echo "archive ok: $(basename "$archive")"
