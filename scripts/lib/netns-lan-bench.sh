# Helpers of the benchmarks only, over netns-lan.sh (source that first):
# counting the datagrams the player sends, forgetting link addresses.

# netlan_forget_neighbours: the player and the servers know no link address.
netlan_forget_neighbours() {
    ip -n "$NETLAN_PLAYER" neigh flush all
    ip -n "$NETLAN_SERVERS" neigh flush all
}

# netlan_count_udp: counts from now on the UDP datagrams the player sends:
# all of them (netlan_udp_sent), and those sent to one server's game port
# rather than to a broadcast address of the namespaced LAN's networks, the
# queries (netlan_queries_sent).
netlan_count_udp() {
    ip netns exec "$NETLAN_PLAYER" nft delete table inet netlan_count 2>/dev/null || true
    printf 'table inet netlan_count {\n chain out {\n  type filter hook output priority 0; policy accept;\n  meta l4proto udp counter\n  udp dport 22000-22010 ip daddr != { 255.255.255.255, 10.77.255.255, 10.78.255.255, 10.99.0.255 } counter\n }\n}\n' |
        ip netns exec "$NETLAN_PLAYER" nft -f -
}
netlan_udp_sent() {
    ip netns exec "$NETLAN_PLAYER" nft list table inet netlan_count | sed -n 's/.*counter packets \([0-9]*\).*/\1/p' | sed -n 1p
}
netlan_queries_sent() {
    ip netns exec "$NETLAN_PLAYER" nft list table inet netlan_count | sed -n 's/.*counter packets \([0-9]*\).*/\1/p' | sed -n 2p
}
