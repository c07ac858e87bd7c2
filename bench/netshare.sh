#!/bin/bash
# bench_endtoend's check, deep check and conversion against its archive on a
# network share without client caching, as a Windows or Samba share without
# metadata caching behaves: an sshfs mount (no directory, attribute or entry
# cache) through a veth pair between two network namespaces made here, with
# a delay added in user space (this kernel has no netem): a small forwarder
# holds each chunk between the client and sshd. The floors are measured over
# the same mount in the same run. Everything made is removed at the end.
# Not run by the tests. Needs root and Debian's openssh-server, sshfs, iproute2.
# Usage: bench/netshare.sh [build folder, default build] [delay per round trip in ms, default 1]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/${1:-build}/bin
delay_ms=${2:-1}
for tool in ip /usr/sbin/sshd sshfs ssh-keygen fusermount3 python3; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install openssh-server sshfs iproute2)" >&2; exit 1; }
done
[ "$(id -u)" = 0 ] || { echo "needs root: it makes network namespaces" >&2; exit 1; }
[ -x "$bin/bench_endtoend" ] || { echo "no $bin/bench_endtoend: build first" >&2; exit 1; }

tag=lsh$$
client=${tag}c
server=${tag}s
client_ip=10.213.77.1
server_ip=10.213.77.2
work=$(mktemp -d /tmp/netshare.XXXXXX)
pids=()

cleanup() {
    set +e
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    ip netns del "$client" 2>/dev/null
    ip netns del "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A private /30 between two namespaces of our own: the host's network is not touched.
ip netns add "$client"
ip netns add "$server"
ip link add "${tag}a" type veth peer name "${tag}b"
ip link set "${tag}a" netns "$client"
ip link set "${tag}b" netns "$server"
ip -n "$client" addr add "$client_ip/30" dev "${tag}a"
ip -n "$server" addr add "$server_ip/30" dev "${tag}b"
for ns in "$client" "$server"; do ip -n "$ns" link set lo up; done
ip -n "$client" link set "${tag}a" up
ip -n "$server" link set "${tag}b" up

ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"
cat >"$work/sshd_config" <<CONFIG
ListenAddress $server_ip
HostKey $work/host_key
AuthorizedKeysFile $work/client_key.pub
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
Subsystem sftp internal-sftp
PidFile $work/sshd.pid
CONFIG
mkdir -p /run/sshd
ip netns exec "$server" /usr/sbin/sshd -D -e -f "$work/sshd_config" 2>"$work/sshd.log" &
pids+=($!)

# Holds what passes each way for half the delay, in order.
cat >"$work/delay.py" <<'PY'
import asyncio, sys

listen_host, listen_port, host, port = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
hold = float(sys.argv[5]) / 2000.0

async def carry(reader, writer):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def release():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                writer.close()
                return
            writer.write(data)
            await writer.drain()

    releasing = asyncio.ensure_future(release())
    while True:
        data = await reader.read(65536)
        queue.put_nowait((loop.time() + hold, data))
        if not data:
            break
    await releasing

async def accept(client_reader, client_writer):
    server_reader, server_writer = await asyncio.open_connection(host, port)
    await asyncio.gather(carry(client_reader, server_writer), carry(server_reader, client_writer),
                         return_exceptions=True)

async def main():
    server = await asyncio.start_server(accept, listen_host, listen_port)
    async with server:
        await server.serve_forever()

asyncio.run(main())
PY
ip netns exec "$client" python3 "$work/delay.py" 127.0.0.1 2222 "$server_ip" 22 "$delay_ms" &
pids+=($!)
sleep 1

# The archive on the server's side, built and measured locally first.
echo "== local disk"
"$bin/bench_endtoend" "$work/archive" "$work/local"

# The mount lives in the client namespace's own mount namespace, so the whole
# share run happens inside one command there.
echo "== network share, sshfs without caching, ${delay_ms} ms added per round trip"
ip netns exec "$client" bash -s "$work" "$bin" <<'SHARE'
set -euo pipefail
work=$1
bin=$2
mkdir -p "$work/mnt" "$work/share"
sshfs -p 2222 root@127.0.0.1:"$work/archive" "$work/mnt" \
    -o IdentityFile="$work/client_key",StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,LogLevel=ERROR \
    -o dir_cache=no,attr_timeout=0,entry_timeout=0
trap 'fusermount3 -u "$work/mnt"' EXIT
python3 - "$work/mnt/archive0" <<'RTT'
import os, sys, time
start = time.perf_counter()
for _ in range(200):
    os.stat(sys.argv[1])
print("round trip per request: %.2f ms" % ((time.perf_counter() - start) / 200 * 1000))
RTT
"$bin/bench_endtoend" "$work/mnt" "$work/share"
SHARE
