"""Waits for one UDP datagram on --port (all addresses, broadcasts included)
and writes it to --out as hexadecimal. Run inside the client namespace as the
capture of what a device would receive; prints "ready" once it listens and
gives up after --seconds."""

import argparse
import socket
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--seconds", type=float, default=30)
    options = parser.parse_args()

    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    listener.bind(("", options.port))
    listener.settimeout(options.seconds)
    print("ready", flush=True)
    try:
        data, sender = listener.recvfrom(4096)
    except socket.timeout:
        return 1
    with open(options.out, "w") as out:
        out.write("{} {}\n{}\n".format(sender[0], sender[1], data.hex()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
