#include "files/bpc_writer.h"

#include <span>

#include "core/bytes.h"
#include "files/bpc_layout.h"

namespace corvessa {
namespace {

std::span<const std::uint8_t> AsBytes(std::span<const char> text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::vector<std::uint8_t> WriteBpc(const NetworkSettings& settings, const RelationTable& table) {
  const auto count = static_cast<std::size_t>(table.Count());
  std::vector<std::uint8_t> file(bpc::kHeaderSize + count * bpc::kRecordSize);
  ByteWriter out(file);
  out.U32Little(bpc::kMagic);
  out.U32Little(bpc::kVersionWritten);
  out.U32Little(settings.subnetMask);
  out.U32Little(settings.gateway);
  out.U32Little(settings.dns1);
  out.U32Little(settings.dns2);
  out.Bytes(AsBytes(settings.domainName));
  out.U8(settings.domainNameLength);
  out.U32Little(static_cast<std::uint32_t>(table.Count()));
  for (const auto& relation : table) {
    out.Bytes(relation->hardwareAddress);
    out.U8(relation->hardwareAddressLength);
    out.U32Little(relation->ipAddress);
    out.Bytes(AsBytes(relation->hostname));
    out.U8(relation->hostnameLength);
    out.Bytes(AsBytes(relation->description));
    out.U8(relation->descriptionLength);
  }
  return file;
}

}  // namespace corvessa
