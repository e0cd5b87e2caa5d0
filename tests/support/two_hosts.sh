# Sourced by the scripts that run the program against the mixer simulator.
# kvr_two_hosts PC_NS MIXER_NS PC_LINK MIXER_LINK: two network namespaces joined
# by a veth pair, the computer at 198.51.100.10/24 and the mixer at
# 198.51.100.20/24, loopback and both ends up. The caller removes them.
kvr_two_hosts() {
    local pc=$1 mixer=$2 pc_link=$3 mixer_link=$4 ns
    ip netns add "$pc"
    ip netns add "$mixer"
    ip link add "$pc_link" netns "$pc" type veth peer name "$mixer_link" netns "$mixer"
    ip -n "$pc" addr add 198.51.100.10/24 dev "$pc_link"
    ip -n "$mixer" addr add 198.51.100.20/24 dev "$mixer_link"
    for ns in "$pc" "$mixer"; do
        ip -n "$ns" link set lo up
    done
    ip -n "$pc" link set "$pc_link" up
    ip -n "$mixer" link set "$mixer_link" up
}

# kvr_remove_stale PREFIX: removes the namespaces PREFIX-<pid>-<side> that a
# run killed outright left behind (its process <pid> is gone).
kvr_remove_stale() {
    local name pid
    for name in $(ip netns list 2>/dev/null | sed -n "s/^\($1-[0-9]*-[a-z]*\).*/\1/p"); do
        pid=${name#"$1"-}
        pid=${pid%%-*}
        kill -0 "$pid" 2>/dev/null || ip netns del "$name" 2>/dev/null || true
    done
}
