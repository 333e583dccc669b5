# Checks that nothing sent on the namespaced LAN can leave it. Sourced by
# netns-lan.sh.

# netlan_contained: true when nothing sent on the namespaced LAN can leave
# it. In veth mode each namespace holds only its loopback and its end of the
# veth, and the player's broadcasts go down the veth; in loopback mode this
# shell's namespace holds only its loopback. Says why when false.
netlan_contained() {
    local route
    if [[ $NETLAN_MODE == veth ]]; then
        netlan_links_are "$NETLAN_SERVERS" lo "$NETLAN_SERVERS_LINK" &&
            netlan_links_are "$NETLAN_PLAYER" lo "$NETLAN_PLAYER_LINK" || return 1
        route=$(ip -n "$NETLAN_PLAYER" route get 255.255.255.255)
        [[ $route == *" dev $NETLAN_PLAYER_LINK "* ]] ||
            { echo "broadcasts from $NETLAN_PLAYER take: $route" >&2; return 1; }
    elif [[ $NETLAN_MODE == segments ]]; then
        netlan_links_are "$NETLAN_SERVERS" lo "$NETLAN_SERVERS_LINK" &&
            netlan_links_are "$NETLAN_SERVERS_B" lo "$NETLAN_SERVERS_B_LINK" &&
            netlan_links_are "$NETLAN_PLAYER" lo "$NETLAN_PLAYER_LINK" "$NETLAN_PLAYER_B_LINK" \
                "$NETLAN_PLAYER_VPN_LINK" || return 1
        route=$(ip -n "$NETLAN_PLAYER" route get 255.255.255.255)
        [[ $route == *" dev $NETLAN_PLAYER_VPN_LINK "* ]] ||
            { echo "broadcasts from $NETLAN_PLAYER take: $route" >&2; return 1; }
    elif [[ $NETLAN_MODE == loopback ]]; then
        netlan_links_are "" lo
    else
        echo "no namespaced LAN is up" >&2
        return 1
    fi
}

# netlan_links_are NAMESPACE LINK...: true when the namespace (this shell's
# when NAMESPACE is empty) holds exactly the links named.
netlan_links_are() {
    local ns=$1 actual wanted
    shift
    actual=$(ip ${ns:+-n "$ns"} -o link show | awk -F': ' '{sub(/@.*/, "", $2); print $2}' | sort | xargs)
    wanted=$(printf '%s\n' "$@" | sort | xargs)
    [[ $actual == "$wanted" ]] || { echo "namespace ${ns:-of this shell} holds links: $actual" >&2; return 1; }
}
