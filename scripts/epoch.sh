# The time that builds and archives take instead of the clock's, so that the
# same commit gives the same bytes: GCC takes __DATE__ and __TIME__ from
# SOURCE_DATE_EPOCH, the archives their file times (packaging/pack.sh). It is
# the last commit's time, 2026-01-01 00:00 UTC where there is no git history;
# a SOURCE_DATE_EPOCH set before (by a packager) is kept. Sourced by deps.sh
# and pack.sh.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$(dirname "${BASH_SOURCE[0]}")" log -1 --format=%ct 2>/dev/null) ||
        SOURCE_DATE_EPOCH=1767225600
fi
export SOURCE_DATE_EPOCH
