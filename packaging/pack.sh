#!/usr/bin/env bash
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Packs a folder into the portable archive so that the same files give the
# same bytes whenever, wherever and by whomever they are packed: the files in
# byte order of their names (no folder entries), each with the build's time
# (SOURCE_DATE_EPOCH, scripts/epoch.sh), owner and group 0, mode 755 for
# programs and 644 for the rest. A tar archive goes through gzip without a
# name or time of its own; a zip holds no extra fields and its DOS times are
# UTC's (its files are given that time and those modes first). Beside the
# archive, OUT_DIR/SHA256SUMS (sha256sum's format) covers the archive and
# PROGRAM inside it, then each MORE program.
#
#   pack.sh FOLDER OUT_DIR PROGRAM tar.gz|zip [MORE...]
set -euo pipefail
folder=$(realpath "$1")
out=$(realpath "$2")
program=$3
format=$4
shift 4
. "$(dirname "$0")/../scripts/epoch.sh"

name=$(basename "$folder")
archive=$out/$name.$format
cd "$(dirname "$folder")"
files=$(find "$name" -type f | LC_ALL=C sort)
rm -f "$archive"
case $format in
tar.gz)
    tar --create --format=gnu --no-recursion --verbatim-files-from --files-from=- \
        --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --mode=a=rX,u+w \
        <<<"$files" | gzip -9 -n >"$archive"
    ;;
zip)
    xargs chmod a=rX,u+w <<<"$files"
    xargs touch -d "@$SOURCE_DATE_EPOCH" <<<"$files"
    TZ=UTC zip -q -9 -X -D "$archive" -@ <<<"$files"
    ;;
*)
    echo "pack.sh: the format is tar.gz or zip, not $format" >&2
    exit 2
    ;;
esac
{
    (cd "$out" && sha256sum "$name.$format")
    for p in "$program" "$@"; do
        sha256sum "$name/$p"
    done
} >"$out/SHA256SUMS"
