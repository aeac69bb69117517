#!/usr/bin/env bash
# Automatic proxy detection (auto_proxy set and empty) end to end. It runs in a private network and
# mount namespace: only a loopback interface exists there, so no query can leave the machine, and
# /etc/hosts and /etc/resolv.conf are the test's own. A recorder on 127.0.0.1:53 notes every name
# the resolver is asked for and answers that it does not exist; "wpad" names listed in the hosts
# file point at the origin server, which serves the configuration script on port 80.
# Usage: wpad-test.sh PROGRAM DESCRIPTION WORK_DIR
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "SKIP: a private network namespace needs root"; exit 77; }

if [ "${KVR_WPAD_INSIDE:-}" != 1 ]; then
    rm -rf "$3" && mkdir -p "$3"
    exec env KVR_WPAD_INSIDE=1 unshare --net --mount bash "$0" "$(realpath "$1")" "$(realpath "$2")" "$(realpath "$3")"
fi
program=$1 description=$2 work=$3
ip link set lo up
mkdir -p "$work"/{home,state,tmp,config,xdg,www,"proxy/http:/127.0.0.1"}
cp "$description" "$work/www/descr.xml"
cp "$description" "$work/proxy/http:/127.0.0.1/descr.xml" # what a forwarding proxy would fetch
echo "function FindProxyForURL(url, host) { return 'PROXY 127.0.0.1:3128'; }" >"$work/www/wpad.dat"
echo "nameserver 127.0.0.1" >"$work/resolv.conf"
mount --bind "$work/resolv.conf" /etc/resolv.conf
touch "$work/hosts"
mount --bind "$work/hosts" /etc/hosts

python3 -u -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 53))
log = open(sys.argv[1], "a", buffering=1)
while True:
    query, peer = s.recvfrom(512)
    i, labels = 12, []
    while i < len(query) and query[i]:
        labels.append(query[i + 1:i + 1 + query[i]].decode("ascii", "replace"))
        i += 1 + query[i]
    log.write(".".join(labels) + "\n")
    # No such name: the header answered (recursion bit kept, code 3) and the question echoed.
    s.sendto(query[:2] + bytes([0x80 | (query[2] & 1), 0x83]) + query[4:6] + bytes(6) + query[12:i + 5], peer)
' "$work/asked.log" &
python3 -u -m http.server 80 --bind 127.0.0.1 --directory "$work/www" 2>>"$work/origin.log" >/dev/null &
python3 -u -m http.server 3128 --bind 127.0.0.1 --directory "$work/proxy" 2>>"$work/proxy.log" >/dev/null &
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
for port in 80 3128; do
    for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
done

# One row: its search domains, the names the hosts file knows, where the description must come
# from ("proxy" or "origin"), and names the resolver must and must never be asked for.
row() {
    local name=$1 domains=$2 known=$3 via=$4 asked=$5 never=$6
    echo "127.0.0.1 localhost $known" >/etc/hosts
    truncate -s 0 "$work"/{asked,origin,proxy}.log
    local status=0
    env -i PATH="$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_STATE_HOME="$work/state" \
        TMPDIR="$work/tmp" CORVANTIS_CONFIG_DIR="$work/config" XDG_CONFIG_DIRS="$work/xdg" TZ=UTC \
        auto_proxy= ${domains:+LOCALDOMAIN="$domains"} \
        "$program" check -u lum -l http://127.0.0.1/descr.xml >"$work/out" 2>&1 || status=$?
    [ "$status" = 0 ] || fail "$name: exit $status: $(cat "$work/out")"
    grep -q '^UUID' "$work/out" || fail "$name: no listing: $(cat "$work/out")"
    if [ "$via" = proxy ]; then
        grep -q '"GET http://127.0.0.1/descr.xml ' "$work/proxy.log" || fail "$name: not through the proxy"
        grep -q '"GET /wpad.dat ' "$work/origin.log" || fail "$name: the script was not fetched"
    else
        [ ! -s "$work/proxy.log" ] || fail "$name: the proxy was used: [$(cat "$work/proxy.log")]"
        grep -q '"GET /descr.xml ' "$work/origin.log" || fail "$name: not fetched directly: [$(cat "$work/origin.log")]"
    fi
    for host in $asked; do
        grep -qx "$host" "$work/asked.log" || fail "$name: $host never asked; asked: $(sort -u "$work/asked.log" | xargs)"
    done
    for host in $never; do
        ! grep -qx "$host" "$work/asked.log" || fail "$name: $host asked; asked: $(sort -u "$work/asked.log" | xargs)"
    done
    echo "PASS: $name"
}

row "the plain name wpad" "" "wpad" proxy "" ""
row "a parent of the search domain" "dept.corp.co.uk" "wpad.corp.co.uk" proxy "wpad.dept.corp.co.uk" "wpad.co.uk"
row "no script: never past the registrable domain, then direct" "dept.corp.co.uk lab.example.org" "" origin \
    "wpad.dept.corp.co.uk wpad.corp.co.uk wpad.lab.example.org wpad.example.org" "wpad.co.uk wpad.uk wpad.org"
