#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets under tests/fuzz/corpus/.

Every seed is built field by field from the message and file layouts, one
commented line per field, like the vectors of the unit tests. The seeds are
committed; run this again only to change them:

    python3 tests/fuzz/make_corpus.py
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def be32(value):
    return struct.pack(">I", value)


def le16(value):
    return struct.pack("<H", value)


def le32(value):
    return struct.pack("<I", value)


def ip(text):
    a, b, c, d = (int(part) for part in text.split("."))
    return (a << 24) | (b << 16) | (c << 8) | d


def mac(text):
    return bytes(int(pair, 16) for pair in text.split(":"))


def zero_filled(data, size):
    assert len(data) <= size
    return data + bytes(size - len(data))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


# --- fuzz_datagram: configuration block, then a BOOTP/DHCP request -----------

def server_config(host_name_choice=1, failing=False, whole_oversized=False):
    return b"".join([
        be32(ip("255.255.255.0")),   # subnet mask
        be32(ip("192.168.1.1")),     # gateway
        be32(ip("192.168.1.2")),     # primary name server
        be32(ip("192.168.1.3")),     # secondary name server
        bytes([17]),                 # domain name length: "plant.example.com"
        bytes([host_name_choice | (4 if failing else 0)    # host name choice, failing sends,
               | (8 if whole_oversized else 0)]),         # an over-long datagram handed over whole
        bytes([192, 168, 1, 5]),     # server address, first octet first
    ])


def bootp_request(chaddr, options, ciaddr=0, giaddr=0, sname=b"", xid=0x3903F326):
    message = b"".join([
        bytes([1]),                          # op: BOOTREQUEST
        bytes([1]),                          # htype: Ethernet
        bytes([len(chaddr)]),                # hlen
        bytes([0]),                          # hops
        be32(xid),                           # xid
        struct.pack(">H", 4),                # secs
        struct.pack(">H", 0x8000),           # flags: broadcast
        be32(ciaddr),                        # ciaddr
        be32(0),                             # yiaddr
        be32(0),                             # siaddr
        be32(giaddr),                        # giaddr
        zero_filled(chaddr, 16),             # chaddr
        zero_filled(sname, 64),              # sname
        bytes(128),                          # file
        bytes([99, 130, 83, 99]),            # magic cookie
        options,                             # options
    ])
    return zero_filled(message, 300)         # the classic minimum size


def datagram_seeds():
    plc = mac("00:1D:9C:C8:12:34")
    write("fuzz_datagram", "dhcp_discover", server_config() + bootp_request(plc, b"".join([
        bytes([53, 1, 1]),                   # message type: DISCOVER
        bytes([55, 4, 1, 3, 6, 15]),         # parameter request list
        bytes([255]),                        # end
    ])))
    write("fuzz_datagram", "dhcp_request_50_54", server_config() + bootp_request(plc, b"".join([
        bytes([53, 1, 3]),                   # message type: REQUEST
        bytes([50, 4]) + be32(ip("192.168.1.50")),  # requested address: the relation's
        bytes([54, 4, 192, 168, 1, 5]),      # server identifier: this server
        bytes([255]),                        # end
    ])))
    write("fuzz_datagram", "dhcp_request_other_address", server_config() + bootp_request(plc, b"".join([
        bytes([53, 1, 3]),                   # message type: REQUEST
        bytes([50, 4]) + be32(ip("192.168.1.99")),  # requested address: not the relation's
        bytes([255]),                        # end
    ])))
    write("fuzz_datagram", "bootp_request", server_config(host_name_choice=2) + bootp_request(
        mac("00:11:22:33:44:55"),
        bytes([255]),                        # end: no option 53
        giaddr=ip("10.0.0.1"),
        sname=b"corvessa-test"))             # the server's name in other letter case
    write("fuzz_datagram", "oversized_request", server_config(whole_oversized=True) + zero_filled(
        bootp_request(plc, b"".join([
            bytes([53, 1, 1]),               # message type: DISCOVER
            bytes([255]),                    # end
        ])), 2285))                          # one byte longer than any request: dropped
    write("fuzz_datagram", "dhcp_release_failing_send", server_config(failing=True) + bootp_request(
        mac("0A:00:3C:12:34:56"), b"".join([
            bytes([0]),                      # pad: ends the option scan
            bytes([53, 1, 7]),               # message type: RELEASE, not examined
            bytes([255]),                    # end
        ]), ciaddr=ip("192.168.1.51")))


# --- fuzz_text_helpers ---------------------------------------------------------

def text_seeds():
    for name, text in [
        ("ip", "192.168.1.10"),
        ("ip_leading_zero", "192.168.001.10"),
        ("mask", "255.255.255.0"),
        ("mask_low_bits", "255.255.255.256"),
        ("mac_colons", "00:1D:9C:C8:12:34"),
        ("mac_dashes", "00-1d-9c-c8-12-34"),
        ("mac_skipped", "zz001D9CC81234"),
        ("mac_thirteen", "00:1D:9C:C8:12:34:5"),
    ]:
        write("fuzz_text_helpers", name, text.encode("ascii"))


# --- fuzz_bpc --------------------------------------------------------------------

def bpc_settings_block(domain=b"plant.local"):
    return b"".join([
        le32(ip("255.255.255.0")),           # subnet mask
        le32(ip("192.168.1.1")),             # gateway
        le32(ip("192.168.1.2")),             # primary name server
        le32(0),                             # secondary name server: none
        zero_filled(domain, 32),             # domain name
        bytes([len(domain)]),                # domain name length
    ])


def bpc_record3(address, ip_text, hostname, description):
    return b"".join([
        zero_filled(mac(address), 16),       # hardware address
        bytes([6]),                          # hardware address length
        le32(ip(ip_text)),                   # IP address
        zero_filled(hostname, 32),           # hostname
        bytes([len(hostname)]),              # hostname length
        zero_filled(description, 255),       # description
        bytes([len(description)]),           # description length
    ])


def bpc_record22(address, ip_text, hostname):
    return b"".join([
        zero_filled(mac(address), 16),       # hardware address
        bytes([6]),                          # hardware address length
        le32(ip(ip_text)),                   # IP address
        zero_filled(hostname, 32),           # hostname
        bytes([len(hostname)]),              # hostname length
    ])


def bpc_seeds():
    magic = le32(0x23456789)
    write("fuzz_bpc", "format3_empty", b"".join([
        magic,                               # magic
        le32(0x00030000),                    # version 3
        bpc_settings_block(),                # settings
        le32(0),                             # record count
    ]))
    write("fuzz_bpc", "format3_two_records", b"".join([
        magic,                               # magic
        le32(0x00030000),                    # version 3
        bpc_settings_block(),                # settings
        le32(2),                             # record count
        bpc_record3("00:1D:9C:C8:12:34", "192.168.1.50", b"plc-line-1", b"Filler, station 3"),
        bpc_record3("0A:00:3C:12:34:56", "192.168.1.51", b"", b""),
    ]))
    write("fuzz_bpc", "format22_one_record", b"".join([
        magic,                               # magic
        le32(0x02020000),                    # version 2.2
        bpc_settings_block(b""),             # settings, no domain name
        le32(1),                             # record count
        bpc_record22("00:11:22:33:44:55", "10.0.0.7", b"drive-7"),
    ]))
    write("fuzz_bpc", "headerless_one_record", b"".join([
        le32(ip("255.255.0.0")),             # subnet mask
        le32(0),                             # gateway: none
        le32(1),                             # record count
        zero_filled(mac("00:1D:9C:C8:12:34"), 16),  # hardware address
        bytes([6]),                          # hardware address length
        le32(ip("172.16.0.9")),              # IP address
        bytes(8),                            # two ignored fields
    ]))
    write("fuzz_bpc", "regression_zero_address_left_over_bytes", b"".join([
        le32(ip("255.255.0.0")),             # subnet mask
        le32(0),                             # gateway: none
        le32(1),                             # record count
        bytes(6),                            # hardware address 00:00:00:00:00:00
        bytes([0x1D, 0x9C, 0xC8, 0, 0, 0, 0x12, 0x34, 0, 0]),  # left-over bytes after it
        bytes([6]),                          # hardware address length
        le32(ip("172.16.0.9")),              # IP address
        bytes(8),                            # two ignored fields
    ]))
    write("fuzz_bpc", "unsupported_version", b"".join([
        magic,                               # magic
        le32(0x00010000),                    # version 0.1.0.0: refused
    ]))


# --- fuzz_csv --------------------------------------------------------------------

def csv_seeds():
    write("fuzz_csv", "two_relations", b"\n".join([
        b"MAC,IP,Hostname,Description",
        b"00:1D:9C:C8:12:34,192.168.1.50,plc-line-1,Filler",
        b"0A:00:3C:12:34:56,192.168.1.51,,",
    ]))
    write("fuzz_csv", "reordered_crlf", b"\r\n".join([
        b"ip,mac,Description,HOSTNAME,Extra",
        b"10.0.0.7,00-11-22-33-44-55,drive,drive-7,x",
        b"",
        b"10.0.0.8,001122334456,,,y",
        b"",
    ]))
    write("fuzz_csv", "quoted_fields", b"\n".join([
        b"MAC,IP,Hostname,Description",
        b'00:1D:9C:C8:12:34,192.168.1.50,"plc,1","a ""quoted"" text"',
        b'00:1D:9C:C8:12:35,192.168.1.52,"open,quote',
    ]))
    write("fuzz_csv", "quoted_line_break", b"\r\n".join([
        b"MAC,IP,Hostname,Description",
        b'00:1D:9C:C8:12:34,192.168.1.50,plc,"Line 3\r\ncabinet 2"',
    ]))
    write("fuzz_csv", "regression_column_named_twice", b"\n".join([
        b"MAC,IP,Description,Description",
        b"00:1D:9C:C8:12:34,192.168.1.50,drive,x",   # the later, shorter text wins whole
    ]))
    write("fuzz_csv", "stray_quotes", b"\xEF\xBB\xBF" + b"\n".join([   # byte order mark first
        b"MAC,IP,Hostname,Description",
        b'00:1D:9C:C8:12:34,192.168.1.50,"plc1","Spare',     # quotes the writer would not add; never closed
        b"00:1D:9C:C8:12:35,192.168.1.51,b,Valve",
        b'00:1D:9C:C8:12:36,192.168.1.52,c,pipe 3/4"',        # an inch mark
        b'00:1D:9C:C8:12:37,192.168.1.53,"d\re","x, y',         # a break the writer would write, then none
        b'z"',
    ]))


# --- fuzz_enip_reply: control byte, argument, then the socket script --------

READY = bytes([3])                           # a wait that finds the socket readable


def receive(data):
    return le16(len(data)) + data            # receive count, then the bytes


def encap_header(command, length, handle=0x11223344, status=0):
    return b"".join([
        le16(command),                       # command
        le16(length),                        # length after the header
        le32(handle),                        # session handle
        le32(status),                        # status
        bytes(8),                            # sender context
        le32(0),                             # options
    ])


def register_reply(status=0):
    return b"".join([
        encap_header(0x0065, 4, status=status),  # RegisterSession
        le16(1),                             # protocol version
        le16(0),                             # options flags
    ])


def rr_data_reply(cip, extra_items=b"", extra_count=0):
    body = b"".join([
        le32(0),                             # interface handle
        le16(0),                             # timeout
        le16(2 + extra_count),               # item count
        le16(0x0000), le16(0),               # null address item
        extra_items,                         # items passed over
        le16(0x00B2), le16(len(cip)),        # unconnected data item
        cip,                                 # CIP reply
    ])
    return encap_header(0x006F, len(body)) + body


def cip_reply(service, status=0, additional=b"", data=b""):
    return b"".join([
        bytes([service | 0x80]),             # reply service
        bytes([0]),                          # reserved
        bytes([status]),                     # general status
        bytes([len(additional) // 2]),       # additional status size in words
        additional,                          # additional status
        data,                                # attribute data
    ])


def enip_seeds():
    write("fuzz_enip_reply", "max_instance", b"".join([
        bytes([0x00, 0]),                    # Max Instance, device 00:11:22:33:44:55
        READY, receive(register_reply()),
        READY, receive(rr_data_reply(cip_reply(0x0E, data=le16(2)))),  # Max Instance 2
    ]))
    physical_link = rr_data_reply(cip_reply(0x0E, data=le16(2) + bytes([0x20, 0xF6, 0x24, 0x01])))
    write("fuzz_enip_reply", "physical_link_in_two_pieces", b"".join([
        bytes([0x01, 1]),                    # Physical Link of instance 1
        READY, receive(register_reply()),
        READY, receive(physical_link[:10]),  # the first ten bytes
        READY, receive(physical_link[10:]),  # and the rest
    ]))
    write("fuzz_enip_reply", "physical_address_fallback", b"".join([
        bytes([0x02 | 0x08, 1]),             # Physical Address of link 1, device 0A:00:3C:12:34:56
        READY, receive(register_reply()),
        READY, receive(rr_data_reply(cip_reply(0x0E, status=0x05))),  # path destination unknown
        READY, receive(rr_data_reply(cip_reply(0x0E, data=mac("0A:00:3C:12:34:56")))),
    ]))
    write("fuzz_enip_reply", "configuration_control", b"".join([
        bytes([0x03 | 0x10, 2]),             # Configuration Control to DHCP; Register Session retries
        bytes([1]), READY, receive(register_reply()),  # a wait that would block, then the reply
        READY, receive(rr_data_reply(cip_reply(0x0E, additional=le16(0x0001), data=le32(0x12)))),
        READY, receive(rr_data_reply(cip_reply(0x10))),  # Set_Attribute_Single answered
    ]))
    write("fuzz_enip_reply", "enable_flow_register_refused", b"".join([
        bytes([0x04, 0]),                    # Enable BOOTP/DHCP flow
        READY, receive(register_reply(status=1)),  # instance discovery: refused
        READY, receive(register_reply()),    # command session
        READY, receive(rr_data_reply(cip_reply(0x0E, data=le32(0x02)))),
        READY, receive(rr_data_reply(cip_reply(0x10, status=0x09))),  # write refused
    ]))
    write("fuzz_enip_reply", "reply_items_alone", b"".join([
        bytes([0x06, 0]),                    # FindReplyItem on the bytes alone
        rr_data_reply(cip_reply(0x0E, data=le16(1)),
                      extra_items=le16(0x8000) + le16(2) + bytes(2), extra_count=1),
    ]))


# --- fuzz_netlink: a parser choice byte, then kernel netlink messages -------
# Netlink records are in the host's own byte order; the seeds are written for
# the little-endian hosts the project is built on.

NLMSG_DONE = 3
SOCK_DIAG_BY_FAMILY = 20
RTM_NEWLINK, RTM_DELLINK, RTM_NEWADDR, RTM_DELADDR = 16, 17, 20, 21
IFLA_IFNAME = 3
IFA_ADDRESS, IFA_LOCAL, IFA_LABEL = 1, 2, 3
AF_INET = 2


def align4(data):
    return data + bytes(-len(data) % 4)


def nlmsg(message_type, body, flags=0):
    return b"".join([
        struct.pack("=I", 16 + len(body)),   # nlmsg_len
        struct.pack("=H", message_type),     # nlmsg_type
        struct.pack("=H", flags),            # nlmsg_flags
        struct.pack("=I", 0),                # nlmsg_seq
        struct.pack("=I", 0),                # nlmsg_pid: the kernel
        body,
    ])


def rtattr(attribute_type, payload):
    return align4(struct.pack("=HH", 4 + len(payload), attribute_type) + payload)


def ifinfomsg(index):
    return b"".join([
        bytes([0, 0]),                       # ifi_family, padding
        struct.pack("=H", 1),                # ifi_type: Ethernet
        struct.pack("=i", index),            # ifi_index
        struct.pack("=I", 0x1043),           # ifi_flags: up, broadcast, running, multicast
        struct.pack("=I", 0),                # ifi_change
    ])


def ifaddrmsg(index):
    return b"".join([
        bytes([AF_INET, 24, 0, 0]),          # ifa_family, ifa_prefixlen, ifa_flags, ifa_scope
        struct.pack("=I", index),            # ifa_index
    ])


def inet_diag_msg(port, address, device, uid, inode):
    return b"".join([
        bytes([AF_INET, 7, 0, 0]),           # family, state (unconnected), timer, retransmits
        struct.pack(">H", port),             # id.idiag_sport, network order
        struct.pack(">H", 0),                # id.idiag_dport
        be32(address) + bytes(12),           # id.idiag_src
        bytes(16),                           # id.idiag_dst
        struct.pack("=I", device),           # id.idiag_if
        bytes(8),                            # id.idiag_cookie
        struct.pack("=I", 0),                # idiag_expires
        struct.pack("=I", 0),                # idiag_rqueue
        struct.pack("=I", 0),                # idiag_wqueue
        struct.pack("=I", uid),              # idiag_uid
        struct.pack("=I", inode),            # idiag_inode
    ])


def netlink_seeds():
    write("fuzz_netlink", "link_and_address", b"".join([
        bytes([0]),                          # parser: rtnetlink
        nlmsg(RTM_NEWLINK, ifinfomsg(7) + rtattr(IFLA_IFNAME, b"enx00e04c\0")),
        nlmsg(RTM_NEWADDR, ifaddrmsg(7) + rtattr(IFA_ADDRESS, be32(ip("192.168.77.9")))
              + rtattr(IFA_LOCAL, be32(ip("192.168.77.9"))) + rtattr(IFA_LABEL, b"enx00e04c\0")),
        nlmsg(RTM_DELADDR, ifaddrmsg(7) + rtattr(IFA_LOCAL, be32(ip("192.168.77.9")))),
        nlmsg(RTM_DELLINK, ifinfomsg(7) + rtattr(IFLA_IFNAME, b"enx00e04c\0")),
    ]))
    write("fuzz_netlink", "udp_dump", b"".join([
        bytes([1]),                          # parser: sock_diag
        nlmsg(SOCK_DIAG_BY_FAMILY, inet_diag_msg(67, 0, 0, 0, 5001), flags=2),
        nlmsg(SOCK_DIAG_BY_FAMILY, inet_diag_msg(67, ip("192.168.122.1"), 4, 115, 5002), flags=2),
        nlmsg(NLMSG_DONE, struct.pack("=i", 0), flags=2),
    ]))


# --- fuzz_list_identity: a List Identity reply as received over UDP --------

def identity_item(name, state=b"\x03"):
    return b"".join([
        le16(1),                             # encapsulation protocol version
        struct.pack(">H", 2),                # sin_family: AF_INET, big-endian
        struct.pack(">H", 44818),            # sin_port, big-endian
        be32(ip("192.168.78.11")),           # sin_addr, big-endian
        bytes(8),                            # sin_zero
        le16(0x0001),                        # vendor ID
        le16(0x000C),                        # device type: communications adapter
        le16(0x00A6),                        # product code
        bytes([2, 11]),                      # revision 2.11
        le16(0x0030),                        # status
        le32(0x00C0FFEE),                    # serial number
        bytes([len(name)]), name,            # product name, counted
        state,                               # state (a device may leave it out)
    ])


def list_identity_reply(items, status=0):
    body = le16(len(items)) + b"".join(     # item count
        le16(kind) + le16(len(data)) + data  # item type, length, data
        for kind, data in items)
    return b"".join([
        le16(0x0063),                        # command: ListIdentity
        le16(len(body)),                     # length after the header
        le32(0),                             # session handle
        le32(status),                        # status
        bytes(8),                            # sender context
        le32(0),                             # options
        body,
    ])


def list_identity_seeds():
    write("fuzz_list_identity", "one_device", list_identity_reply([(0x000C, identity_item(b"1756-EN2T/D"))]))
    write("fuzz_list_identity", "no_state", list_identity_reply([(0x000C, identity_item(b"Valve", b""))]))
    write("fuzz_list_identity", "item_before_identity", list_identity_reply([
        (0x8001, bytes([1, 2, 3])),          # an item of another type, passed over
        (0x000C, identity_item(b"Drive \xfc")),  # an ISO 8859-1 name
    ]))
    write("fuzz_list_identity", "error_status", list_identity_reply([(0x000C, identity_item(b"X"))], status=1))


# --- fuzz_netlink neighbour dumps --------------------------------------------

RTM_NEWNEIGH = 28
NDA_DST, NDA_LLADDR = 1, 2
NUD_REACHABLE, NUD_STALE = 0x02, 0x04


def ndmsg(index, state):
    return b"".join([
        bytes([AF_INET, 0, 0, 0]),           # ndm_family, padding
        struct.pack("=i", index),            # ndm_ifindex
        struct.pack("=H", state),            # ndm_state
        bytes([0, 1]),                       # ndm_flags, ndm_type: unicast
    ])


def neighbour_seeds():
    write("fuzz_netlink", "neighbour_dump", b"".join([
        bytes([2]),                          # parser: neighbour table
        nlmsg(RTM_NEWNEIGH, ndmsg(7, NUD_REACHABLE) + rtattr(NDA_DST, be32(ip("192.168.78.11")))
              + rtattr(NDA_LLADDR, mac("02:00:00:78:00:11")), flags=2),
        nlmsg(RTM_NEWNEIGH, ndmsg(7, NUD_STALE) + rtattr(NDA_DST, be32(ip("192.168.78.22")))
              + rtattr(NDA_LLADDR, mac("02:00:00:78:00:12")), flags=2),
        nlmsg(NLMSG_DONE, struct.pack("=i", 0), flags=2),
    ]))


def main():
    datagram_seeds()
    netlink_seeds()
    neighbour_seeds()
    list_identity_seeds()
    text_seeds()
    bpc_seeds()
    csv_seeds()
    enip_seeds()


if __name__ == "__main__":
    main()
