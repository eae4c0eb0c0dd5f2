// Kea and dnsmasq configurations read into the relation list: whatever the
// file holds, the table keeps its rules, and a list that reads in exports and
// reads back unchanged whenever an export takes it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/network_settings.h"
#include "files/dnsmasq_config.h"
#include "files/handoff_import.h"
#include "files/kea_config.h"
#include "relations/relation_table.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

bool SameRelation(const Relation& a, const Relation& b) {
  return RelationMacText(a) == RelationMacText(b) && a.ipAddress == b.ipAddress && HostnameUpToZero(a) == HostnameUpToZero(b) &&
         DescriptionAsWritten(a) == DescriptionAsWritten(b);
}

void CheckRoundTrip(const RelationTable& table, const HandoffExport& out) {
  if (!out.Succeeded()) {
    FUZZ_CHECK(out.text.empty());
    return;
  }
  RelationTable again;
  const HandoffLoad reload = ReadHandoffFile(
      std::span(reinterpret_cast<const std::uint8_t*>(out.text.data()), out.text.size()), again);
  FUZZ_CHECK(reload.Succeeded());
  FUZZ_CHECK(reload.omitted == 0);
  FUZZ_CHECK(again.Count() == table.Count());
  for (int i = 0; i < table.Count(); ++i) FUZZ_CHECK(SameRelation(*table.At(i), *again.At(i)));
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvessa;
  using namespace corvessa::fuzz;
  const std::vector<std::uint8_t> file(data, data + size);
  RelationTable table;
  const HandoffLoad load = ReadHandoffFile(file, table);
  CheckTableRules(table);
  FUZZ_CHECK(load.omitted >= 0);
  FUZZ_CHECK(!load.limitReached || table.Count() == RelationCapacity || !load.Succeeded());
  if (!load.Succeeded()) {
    FUZZ_CHECK(!load.failure.empty());
    FUZZ_CHECK(table.Count() == 0);
    return 0;
  }
  if (table.Count() == 0) return 0;

  // The widest subnet around the first relation; relations outside it, or on
  // the server's address, make the export refuse, which is checked too.
  NetworkSettings settings;
  settings.subnetMask = 0xFF000000;
  const std::uint32_t server = (table.At(0)->ipAddress & settings.subnetMask) | 0x00FFFFFE;
  const HandoffSource source{table, settings, "eth0", server};
  CheckRoundTrip(table, WriteKeaConfig(source, KeaOptions{}));
  CheckRoundTrip(table, WriteDnsmasqConfig(source));
  return 0;
}
