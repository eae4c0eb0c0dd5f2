#include "files/handoff_import.h"

#include <algorithm>
#include <memory>

#include "core/address.h"

namespace corvessa {

namespace {

template <std::size_t kSize>
void CopyCut(std::string_view text, std::array<char, kSize>& field, std::uint8_t& length) {
  const std::size_t count = std::min(text.size(), kSize);
  std::copy_n(text.begin(), count, field.begin());
  length = static_cast<std::uint8_t>(count);
}

[[nodiscard]] bool FillRelation(const HostEntry& host, Relation& relation) {
  if (!host.representable) return false;
  std::uint8_t length = static_cast<std::uint8_t>(kMacCapacity);
  if (!TextToMac(host.mac, relation.hardwareAddress.data(), length)) return false;
  relation.hardwareAddressLength = length;
  if (!TextToIp(host.ip, relation.ipAddress)) return false;
  // A hostname with a zero byte would not match its own length.
  if (host.hostname.find('\0') != std::string::npos) return false;
  CopyCut(host.hostname, relation.hostname, relation.hostnameLength);
  CopyCut(host.description, relation.description, relation.descriptionLength);
  return true;
}

}  // namespace

int AppendHostEntries(const std::vector<HostEntry>& hosts, RelationTable& table, bool& limitReached) {
  int omitted = 0;
  for (std::size_t i = 0; i < hosts.size(); ++i) {
    if (table.Count() >= RelationCapacity) {
      limitReached = true;
      omitted += static_cast<int>(hosts.size() - i);
      break;
    }
    auto relation = std::make_unique<Relation>();
    if (FillRelation(hosts[i], *relation) && table.CheckCandidate(*relation)) {
      table.Append(std::move(relation));
    } else {
      ++omitted;
    }
  }
  return omitted;
}

HandoffFormat DetectHandoffFormat(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '#' || text.substr(i, 2) == "//") {
      const std::size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else if (text.substr(i, 2) == "/*") {
      const std::size_t end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
    } else {
      return c == '{' ? HandoffFormat::Kea : HandoffFormat::Dnsmasq;
    }
  }
  return HandoffFormat::Dnsmasq;
}

HandoffLoad ReadHandoffFile(std::span<const std::uint8_t> file, RelationTable& table) {
  const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
  HandoffLoad load = DetectHandoffFormat(text) == HandoffFormat::Kea ? ReadKeaReservations(text, table)
                                                                       : ReadDnsmasqHosts(text, table);
  if (!load.Succeeded()) table.Clear();
  return load;
}

}  // namespace corvessa
