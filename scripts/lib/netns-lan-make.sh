# The namespaced LAN's making: namespaces, veth pairs, server addresses,
# and a player with several segments. Sourced by netns-lan.sh.

# netlan_veth COUNT: makes the two namespaces and the veth, with COUNT server
# addresses on the servers' end. Fails (and cleans up) on any error.
netlan_veth() {
    local count=$1 id
    id=$(printf '%04x%02x' "$RANDOM" "$(($$ % 256))")
    NETLAN_MODE=veth
    NETLAN_SERVERS="lanjoin-servers-$id"
    NETLAN_PLAYER="lanjoin-player-$id"
    NETLAN_SERVER_BASE=10.77.0.10
    local vs="ljs$id" vp="ljp$id"
    NETLAN_SERVERS_LINK=$vs
    NETLAN_PLAYER_LINK=$vp
    netlan_namespace "$NETLAN_SERVERS"
    netlan_namespace "$NETLAN_PLAYER"
    ip link add "$vs" netns "$NETLAN_SERVERS" type veth peer name "$vp" netns "$NETLAN_PLAYER"
    netlan_server_addresses "$NETLAN_SERVERS" "$vs" 77 "$count"
    ip -n "$NETLAN_PLAYER" link set lo up
    ip -n "$NETLAN_PLAYER" addr add 10.77.200.1/16 dev "$vp"
    ip -n "$NETLAN_PLAYER" link set "$vp" up
    ip -n "$NETLAN_PLAYER" route add 255.255.255.255/32 dev "$vp"
}

# netlan_namespace NAME: makes a namespace that netlan_down removes.
netlan_namespace() {
    ip netns add "$1"
    NETLAN_NAMESPACES+=("$1")
}

# netlan_server_addresses NAMESPACE LINK NET COUNT: brings up the servers'
# end of a veth with 10.NET.0.1/16 and COUNT server addresses from
# 10.NET.0.10 upward.
netlan_server_addresses() {
    local ns=$1 link=$2 net=$3 count=$4 batch i
    batch=$(mktemp)
    {
        echo "link set lo up"
        echo "addr add 10.$net.0.1/16 dev $link"
        for ((i = 0; i < count; i++)); do
            echo "addr add 10.$net.$(((10 + i) / 256)).$(((10 + i) % 256))/16 dev $link"
        done
        echo "link set $link up"
    } >"$batch"
    ip -n "$ns" -batch "$batch"
    rm -f "$batch"
}

# netlan_segments COUNT_A COUNT_B: a player with three interfaces, as on a
# machine with a second network and a VPN: segment A (10.77.0.0/16, COUNT_A
# servers from 10.77.0.10, namespace NETLAN_SERVERS), segment B
# (10.78.0.0/16, COUNT_B servers from 10.78.0.10, namespace
# NETLAN_SERVERS_B), and a third link to an empty namespace (10.99.0.0/24)
# that holds the default route and the route for 255.255.255.255, so that
# a limited broadcast reaches neither segment.
netlan_segments() {
    local count_a=$1 count_b=$2 id ns link
    id=$(printf '%04x%02x' "$RANDOM" "$(($$ % 256))")
    NETLAN_MODE=segments
    NETLAN_SERVERS="lanjoin-servers-$id"
    NETLAN_SERVERS_B="lanjoin-serversb-$id"
    NETLAN_VPN="lanjoin-vpn-$id"
    NETLAN_PLAYER="lanjoin-player-$id"
    NETLAN_SERVER_BASE=10.77.0.10
    NETLAN_SERVER_BASE_B=10.78.0.10
    NETLAN_SERVERS_LINK="ljs$id"
    NETLAN_SERVERS_B_LINK="ljb$id"
    NETLAN_PLAYER_LINK="ljp$id"
    NETLAN_PLAYER_B_LINK="ljq$id"
    NETLAN_PLAYER_VPN_LINK="ljv$id"
    local vpn_end="ljw$id"
    for ns in "$NETLAN_SERVERS" "$NETLAN_SERVERS_B" "$NETLAN_VPN" "$NETLAN_PLAYER"; do netlan_namespace "$ns"; done
    ip link add "$NETLAN_SERVERS_LINK" netns "$NETLAN_SERVERS" type veth peer name "$NETLAN_PLAYER_LINK" netns "$NETLAN_PLAYER"
    ip link add "$NETLAN_SERVERS_B_LINK" netns "$NETLAN_SERVERS_B" type veth peer name "$NETLAN_PLAYER_B_LINK" \
        netns "$NETLAN_PLAYER"
    ip link add "$vpn_end" netns "$NETLAN_VPN" type veth peer name "$NETLAN_PLAYER_VPN_LINK" netns "$NETLAN_PLAYER"
    netlan_server_addresses "$NETLAN_SERVERS" "$NETLAN_SERVERS_LINK" 77 "$count_a"
    netlan_server_addresses "$NETLAN_SERVERS_B" "$NETLAN_SERVERS_B_LINK" 78 "$count_b"
    ip -n "$NETLAN_VPN" link set lo up
    ip -n "$NETLAN_VPN" addr add 10.99.0.1/24 dev "$vpn_end"
    ip -n "$NETLAN_VPN" link set "$vpn_end" up
    ip -n "$NETLAN_PLAYER" link set lo up
    ip -n "$NETLAN_PLAYER" addr add 10.77.200.1/16 broadcast + dev "$NETLAN_PLAYER_LINK"
    ip -n "$NETLAN_PLAYER" addr add 10.78.200.1/16 broadcast + dev "$NETLAN_PLAYER_B_LINK"
    ip -n "$NETLAN_PLAYER" addr add 10.99.0.2/24 broadcast + dev "$NETLAN_PLAYER_VPN_LINK"
    for link in "$NETLAN_PLAYER_LINK" "$NETLAN_PLAYER_B_LINK" "$NETLAN_PLAYER_VPN_LINK"; do
        ip -n "$NETLAN_PLAYER" link set "$link" up
    done
    ip -n "$NETLAN_PLAYER" route add default via 10.99.0.1 dev "$NETLAN_PLAYER_VPN_LINK"
    ip -n "$NETLAN_PLAYER" route add 255.255.255.255/32 dev "$NETLAN_PLAYER_VPN_LINK"
}
