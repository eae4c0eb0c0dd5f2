"""A device's EtherNet/IP port on its own address: accepts TCP connections on
--listen and relays each, byte for byte in both directions, to the simulator
at --to (which listens on loopback only). Run inside the client namespace;
prints "ready" once it listens and ends by itself after --seconds."""

import argparse
import selectors
import socket
import sys
import time

CHUNK = 4096


def address(text):
    host, port = text.rsplit(":", 1)
    return host, int(port)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", type=address, required=True)
    parser.add_argument("--to", type=address, required=True)
    parser.add_argument("--seconds", type=float, default=60)
    options = parser.parse_args()

    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(options.listen)
    server.listen(8)
    server.setblocking(False)
    selector = selectors.DefaultSelector()
    selector.register(server, selectors.EVENT_READ, None)
    print("ready", flush=True)

    end = time.monotonic() + options.seconds
    while time.monotonic() < end:
        for key, _ in selector.select(timeout=0.2):
            if key.data is None:
                client, _ = server.accept()
                try:
                    upstream = socket.create_connection(options.to, timeout=5)
                except OSError:
                    # The simulator is not there: the device hangs up.
                    client.close()
                    continue
                for a, b in ((client, upstream), (upstream, client)):
                    a.setblocking(False)
                    selector.register(a, selectors.EVENT_READ, b)
                continue
            source, target = key.fileobj, key.data
            try:
                data = source.recv(CHUNK)
            except OSError:
                data = b""
            if data:
                target.setblocking(True)
                target.sendall(data)
                target.setblocking(False)
                continue
            for s in (source, target):
                try:
                    selector.unregister(s)
                except (KeyError, ValueError):
                    pass
                s.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
