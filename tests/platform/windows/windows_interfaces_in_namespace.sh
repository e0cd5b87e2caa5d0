#!/usr/bin/env bash
# The Windows interface list under Wine inside a network namespace of its own
# (the computer's side of the two-host set-up, 198.51.100.10/24): the address
# and its broadcast address 198.51.100.255 must be listed; with 18 more
# addresses the list holds all 20 (loopback included), the first answer's
# room, and with 21 more all 41. Wine answers the query from the namespace its server
# runs in, so the server is started inside, on a copy of the build's prefix.
#
#   windows_interfaces_in_namespace.sh TESTS.exe PREFIX
set -euo pipefail
tests=$1
prefix=$2
wine_run="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../scripts" && pwd)/wine-run"

if [ "$(id -u)" -ne 0 ]; then
    echo "needs root (network namespaces): skipped"
    exit 77
fi

ns_pc=kvr-win-$$-pc
ns_mixer=kvr-win-$$-mx
work=$(mktemp -d)
cleanup() {
    if [ -d "$work/wine" ]; then
        ip netns exec "$ns_pc" env WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true
    fi
    ip netns del "$ns_pc" 2>/dev/null || true
    ip netns del "$ns_mixer" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "${BASH_SOURCE[0]}")/../../support/two_hosts.sh"
kvr_remove_stale kvr-win
kvr_two_hosts "$ns_pc" "$ns_mixer" "kw$$a" "kw$$b"

# The build's prefix, made if need be, copied once its server has ended.
"$wine_run" "$prefix" cmd /c exit
WINEPREFIX=$(realpath "$prefix") wineserver -w
cp -a "$(realpath "$prefix")" "$work/wine"

# Runs the tests of the filter inside the namespace; each must pass, none skip.
run_inside() {
    local filter=$1 expected=$2 output
    shift 2
    output=$(ip netns exec "$ns_pc" env -u DISPLAY "$@" \
        "$wine_run" "$work/wine" "$tests" --gtest_filter="$filter" 2>&1) || {
        echo "$output"
        exit 1
    }
    echo "$output"
    [ "$(grep -c '^\[       OK \]' <<<"$output")" -eq "$expected" ] || {
        echo "FAIL: expected $expected passing tests"
        exit 1
    }
}

for i in $(seq 1 18); do
    ip -n "$ns_pc" addr add "203.0.113.$i/24" dev "kw$$a"
done
run_inside 'WindowsInterfaceQuery.*' 3 KVR_NAMESPACE_ADDRESS=198.51.100.10 \
    KVR_NAMESPACE_BROADCAST=198.51.100.255 KVR_NAMESPACE_ENTRIES=20

for i in $(seq 19 39); do
    ip -n "$ns_pc" addr add "203.0.113.$i/24" dev "kw$$a"
done
run_inside 'WindowsInterfaceQuery.NamespaceListHoldsAllItsAddresses' 1 \
    KVR_NAMESPACE_ENTRIES=41
