# Conditions on the namespaced LAN's links: loss, and link addresses
# known in advance. Sourced by netns-lan.sh.

# netlan_loss PERCENT: every frame leaving an end of a veth between servers
# and player (both ends, every segment) is dropped with that chance, by an
# nftables rule on the link's egress inside its own namespace (the kernel
# may lack netem); the machine's own interfaces are never touched.
netlan_loss() {
    local percent=$1 i
    command -v nft >/dev/null || { echo "nft (nftables) is needed for loss" >&2; return 1; }
    local ends=("$NETLAN_SERVERS" "$NETLAN_SERVERS_LINK" "$NETLAN_PLAYER" "$NETLAN_PLAYER_LINK")
    if [[ $NETLAN_MODE == segments ]]; then
        ends+=("$NETLAN_SERVERS_B" "$NETLAN_SERVERS_B_LINK" "$NETLAN_PLAYER" "$NETLAN_PLAYER_B_LINK")
    fi
    for ((i = 0; i < ${#ends[@]}; i += 2)); do
        # A rule set before is replaced; 0 % leaves none.
        ip netns exec "${ends[i]}" nft delete table netdev "netlan_loss_${ends[i + 1]}" 2>/dev/null || true
        ((percent > 0)) || continue
        printf 'table netdev netlan_loss_%s {\n chain egress {\n  type filter hook egress device "%s" priority 0; policy accept;\n  numgen random mod 100 < %d drop\n }\n}\n' \
            "${ends[i + 1]}" "${ends[i + 1]}" "$percent" | ip netns exec "${ends[i]}" nft -f -
    done
}

# netlan_known_neighbours COUNT: the player knows the link address of the
# first COUNT servers and they know the player's, as on a LAN where each
# server is a machine of its own that asks for the player's address when it
# answers the broadcast (and so tells its own). On the veth all servers
# share one end, which asks once: without this the player resolves every
# server itself, and on a lossy link those requests are lost too.
netlan_known_neighbours() {
    local count=$1 i servers_mac player_mac
    servers_mac=$(ip -n "$NETLAN_SERVERS" link show "$NETLAN_SERVERS_LINK" | sed -n 's/.*link\/ether \([^ ]*\).*/\1/p')
    player_mac=$(ip -n "$NETLAN_PLAYER" link show "$NETLAN_PLAYER_LINK" | sed -n 's/.*link\/ether \([^ ]*\).*/\1/p')
    for ((i = 0; i < count; i++)); do
        echo "neigh replace 10.77.$(((10 + i) / 256)).$(((10 + i) % 256)) lladdr $servers_mac dev $NETLAN_PLAYER_LINK nud permanent"
    done | ip -n "$NETLAN_PLAYER" -batch -
    ip -n "$NETLAN_SERVERS" neigh replace 10.77.200.1 lladdr "$player_mac" dev "$NETLAN_SERVERS_LINK" nud permanent
}
