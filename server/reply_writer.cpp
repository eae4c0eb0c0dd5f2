#include "server/reply_writer.h"

#include <algorithm>

namespace corvessa {

namespace {

std::span<const std::uint8_t> AsBytes(std::span<const char> text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::span<const std::uint8_t> Field(const BootpMessage& request, std::size_t offset, std::size_t size) {
  return std::span<const std::uint8_t>(request.bytes).subspan(offset, size);
}

}  // namespace

void WriteReplyHeader(ByteWriter& writer, const BootpMessage& request, const Relation& relation,
                      const ServerIdentity& identity) {
  writer.U8(kOpBootReply);
  writer.Bytes(Field(request, kHtypeOffset, kFlagsOffset - kHtypeOffset));  // htype, hlen, hops, xid, secs
  writer.U16Big(0);  // flags: the broadcast flag is not honoured
  writer.Bytes(Field(request, kCiaddrOffset, 4));
  writer.U32Big(relation.ipAddress);       // yiaddr
  writer.Bytes(identity.serverAddress);    // siaddr, already in network order
  writer.Bytes(Field(request, kGiaddrOffset, 4));
  writer.Bytes(Field(request, kChaddrOffset, kChaddrSize));
  // sname: the host name and its terminating 0, the rest of the field 0 too.
  const auto& name = identity.hostName;
  const std::size_t nameLength =
      static_cast<std::size_t>(std::find(name.begin(), name.begin() + (kSnameSize - 1), '\0') - name.begin());
  writer.Bytes(AsBytes(std::span<const char>(name).first(nameLength)));
  writer.Fill(kSnameSize - nameLength, 0);
  writer.Fill(kFileSize, 0);
}

void PutCookie(ByteWriter& writer) { writer.Bytes(kMagicCookie); }

void PutOption(ByteWriter& writer, std::uint8_t code, std::span<const std::uint8_t> value) {
  writer.U8(code);
  writer.U8(static_cast<std::uint8_t>(value.size()));
  writer.Bytes(value);
}

void PutU32Option(ByteWriter& writer, std::uint8_t code, std::uint32_t value) {
  writer.U8(code);
  writer.U8(4);
  writer.U32Big(value);
}

void PutEnd(ByteWriter& writer) { writer.U8(option::kEnd); }

void PutNameServers(ByteWriter& writer, const NetworkSettings& settings) {
  const bool first = settings.dns1 != 0;
  const bool second = settings.dns2 != 0;
  if (!first && !second) return;
  writer.U8(option::kDomainNameServers);
  writer.U8(first && second ? 8 : 4);
  if (first) writer.U32Big(settings.dns1);
  if (second) writer.U32Big(settings.dns2);
}

void PutDomainName(ByteWriter& writer, const NetworkSettings& settings) {
  if (!settings.HasDomainName()) return;
  const std::size_t length = std::min<std::size_t>(settings.domainNameLength, kDomainNameSize);
  PutOption(writer, option::kDomainName, AsBytes(std::span<const char>(settings.domainName).first(length)));
}

bool HasHostName(const Relation& relation) { return relation.hostname[0] != 0; }

std::size_t HostNameLength(const Relation& relation) { return HostnameText(relation).size(); }

void PutHostName(ByteWriter& writer, const Relation& relation) {
  const std::string_view name = HostnameText(relation);
  PutOption(writer, option::kHostName, AsBytes(std::span<const char>(name.data(), name.size())));
}

}  // namespace corvessa
