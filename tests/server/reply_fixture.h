#pragma once
// Shared pieces of the reply tests: a sender that records what would go to the
// wire, a listed device, the server's identity and settings, and hand-written
// byte layouts of requests and expected replies.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/network_settings.h"
#include "relations/relation_table.h"
#include "server/bootp_message.h"
#include "server/reply.h"

namespace corvessa::reply_test {

using Bytes = std::vector<std::uint8_t>;

inline void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes) { out.insert(out.end(), bytes); }
inline void AppendText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }
inline void AppendZeros(Bytes& out, std::size_t count) { out.insert(out.end(), count, 0); }
// A fixed-size text field: the text, then zeros up to the size.
inline void AppendField(Bytes& out, const std::string& text, std::size_t size) {
  AppendText(out, text);
  AppendZeros(out, size - text.size());
}
inline Bytes PadTo(Bytes bytes, std::size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

struct SentDatagram {
  Bytes bytes;
  Endpoint destination;
};

class RecordingSender : public DatagramSender {
 public:
  bool SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) override {
    sent.push_back({Bytes(data, data + length), destination});
    return succeed;
  }
  std::vector<SentDatagram> sent;
  bool succeed = true;
};

inline constexpr const char* kServerHostName = "corvessa-host";
inline constexpr std::uint32_t kServerAddress = 0xC0A80105;  // 192.168.1.5
inline constexpr std::uint32_t kDeviceAddress = 0xC0A80132;  // 192.168.1.50
inline constexpr std::uint8_t kDeviceMac[6] = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};

inline std::unique_ptr<Relation> MakeRelation(const std::uint8_t (&mac)[6], std::uint32_t ip, const std::string& hostname) {
  auto relation = std::make_unique<Relation>();
  std::copy(std::begin(mac), std::end(mac), relation->hardwareAddress.begin());
  relation->hardwareAddressLength = 6;
  relation->ipAddress = ip;
  std::copy(hostname.begin(), hostname.end(), relation->hostname.begin());
  relation->hostnameLength = static_cast<std::uint8_t>(hostname.size());
  return relation;
}

// Mask 255.255.255.0, gateway 192.168.1.1, name servers 192.168.1.2 and 10.9.8.7, domain "plant.local".
inline NetworkSettings EverySetting() {
  NetworkSettings settings;
  settings.subnetMask = 0xFFFFFF00;
  settings.gateway = 0xC0A80101;
  settings.dns1 = 0xC0A80102;
  settings.dns2 = 0x0A090807;
  settings.SetDomainName("plant.local");
  return settings;
}

// The server, its settings and a table holding the device 00:1D:9C:C8:12:34 ->
// 192.168.1.50 with the hostname "plc-01".
struct ServerUnderTest {
  RelationTable table;
  NetworkSettings settings;
  ServerIdentity identity;
  RecordingSender sender;
  ServerContext context{table, settings, identity, sender};
  Relation* device = nullptr;

  ServerUnderTest() {
    identity.SetHostName(kServerHostName);
    identity.SetServerAddressHostOrder(kServerAddress);
    auto relation = MakeRelation(kDeviceMac, kDeviceAddress, "plc-01");
    device = relation.get();
    table.Append(std::move(relation));
  }
  void SetDeviceHostname(const std::string& hostname) {
    device->hostname.fill(0);
    std::copy(hostname.begin(), hostname.end(), device->hostname.begin());
    device->hostnameLength = static_cast<std::uint8_t>(hostname.size());
  }
};

// The fixed header of a request from the device: xid 12 34 56 78, secs 5, the
// broadcast flag set, and leftovers in chaddr past hlen and in file that a
// reply must copy (chaddr) or must not (file).
struct RequestHeader {
  std::uint8_t htype = 1;
  std::uint8_t hlen = 6;
  std::uint32_t ciaddr = 0;
  std::uint32_t giaddr = 0;
  std::string sname;  // at most 64 bytes; 64 leaves no terminating 0
};

inline void AppendU32(Bytes& out, std::uint32_t value) {
  Append(out, {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
               static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

inline Bytes RequestBytes(const RequestHeader& h, std::initializer_list<std::uint8_t> options) {
  Bytes b;
  Append(b, {0x01});                                      // op: BOOTREQUEST
  Append(b, {h.htype});                                   // htype
  Append(b, {h.hlen});                                    // hlen
  Append(b, {0x02});                                      // hops
  Append(b, {0x12, 0x34, 0x56, 0x78});                    // xid
  Append(b, {0x00, 0x05});                                // secs
  Append(b, {0x80, 0x00});                                // flags: broadcast
  AppendU32(b, h.ciaddr);                                 // ciaddr
  AppendU32(b, 0x01020304);                               // yiaddr: never a destination
  AppendU32(b, 0x05060708);                               // siaddr
  AppendU32(b, h.giaddr);                                 // giaddr
  Append(b, {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34});        // chaddr: the device
  Append(b, {0xAA, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0});        // chaddr: past hlen
  AppendField(b, h.sname, kSnameSize);                    // sname
  AppendField(b, "boot.img", kFileSize);                  // file
  Append(b, {99, 130, 83, 99});                           // magic cookie
  b.insert(b.end(), options);                             // options
  return b;
}

inline BootpMessage Message(const Bytes& bytes) {
  BootpMessage message;
  message.Assign(bytes.data(), bytes.size());
  return message;
}

// The reply header expected for a request built by RequestBytes.
inline Bytes ExpectedHeader(const RequestHeader& h) {
  Bytes b;
  Append(b, {0x02});                                      // op: BOOTREPLY
  Append(b, {h.htype});                                   // htype: copied
  Append(b, {h.hlen});                                    // hlen: copied
  Append(b, {0x02});                                      // hops: copied
  Append(b, {0x12, 0x34, 0x56, 0x78});                    // xid: copied
  Append(b, {0x00, 0x05});                                // secs: copied
  Append(b, {0x00, 0x00});                                // flags: 0
  AppendU32(b, h.ciaddr);                                 // ciaddr: copied
  Append(b, {192, 168, 1, 50});                           // yiaddr: the relation's address
  Append(b, {192, 168, 1, 5});                            // siaddr: the server
  AppendU32(b, h.giaddr);                                 // giaddr: copied
  Append(b, {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34});        // chaddr: copied
  Append(b, {0xAA, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0});        // chaddr: all 16 bytes copied
  AppendField(b, kServerHostName, kSnameSize);            // sname: the server's host name
  AppendZeros(b, kFileSize);                              // file: empty
  return b;
}

}  // namespace corvessa::reply_test
