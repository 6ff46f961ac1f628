#!/usr/bin/env python3
"""A listener for the feed outside Wine, for decoder-flood's "feed=127.0.0.1:PORT" mode: binds the
loopback port, keeps every datagram as it comes (the JSON is read only at the end, so that reading
keeps up), and when `expected` have come, or none for `idle` seconds, says how many arrived, whether
their running numbers follow each other, and how many the system dropped for a full receive buffer.

    tools/feed_listen.py PORT EXPECTED [IDLE_SECONDS]
"""
import json
import re
import socket
import sys
import time


def system_drops(port):
    """The 'drops' column of /proc/net/udp for the socket on `port` (None where unknown)."""
    try:
        with open("/proc/net/udp") as table:
            for line in table.readlines()[1:]:
                fields = line.split()
                if int(fields[1].split(":")[1], 16) == port:
                    return int(fields[-1])
    except OSError:
        pass
    return None


def main():
    port, expected = int(sys.argv[1]), int(sys.argv[2])
    idle = float(sys.argv[3]) if len(sys.argv) > 3 else 60.0
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16 << 20)
    s.bind(("127.0.0.1", port))
    s.settimeout(idle)
    print(f"listening on 127.0.0.1:{port}, receive buffer {s.getsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF) // 1024} KiB",
          flush=True)
    got = []
    first = last = None
    while len(got) < expected:
        try:
            got.append(s.recv(70000))
        except socket.timeout:
            break
        last = time.monotonic()
        if first is None:
            first = last
    drops = system_drops(port)
    # Each flood record's text starts with "#" and its running number.
    number = re.compile(r"#(\d+)")
    ordered = all((m := number.match(json.loads(d)["text"])) and int(m.group(1)) == i for i, d in enumerate(got))
    span = (last - first) if got else 0.0
    print(f"feed: {len(got)} datagrams received of {expected}, in order: {'yes' if ordered else 'NO'}; "
          f"first to last {span:.2f} s; dropped by the system: {drops}")
    return 0 if ordered and len(got) == expected else 1


if __name__ == "__main__":
    sys.exit(main())
