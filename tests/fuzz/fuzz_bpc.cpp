// The .bpc reader on arbitrary file contents. The magic and the version at the
// start choose format 3, format 2.2, the headerless layout or the version
// box, so the seeds cover all of them. Whatever loads must keep the table's
// rules and must survive a save as format 3 and a second load unchanged.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/network_settings.h"
#include "files/bpc_layout.h"
#include "files/bpc_reader.h"
#include "files/bpc_writer.h"
#include "relations/relation_table.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

bool SameRelation(const Relation& a, const Relation& b) {
  return a.hardwareAddress == b.hardwareAddress && a.hardwareAddressLength == b.hardwareAddressLength &&
         a.ipAddress == b.ipAddress && a.hostname == b.hostname && a.hostnameLength == b.hostnameLength &&
         a.description == b.description && a.descriptionLength == b.descriptionLength;
}

bool SameSettings(const NetworkSettings& a, const NetworkSettings& b) {
  return a.subnetMask == b.subnetMask && a.gateway == b.gateway && a.dns1 == b.dns1 && a.dns2 == b.dns2 &&
         a.domainName == b.domainName && a.domainNameLength == b.domainNameLength;
}

void CheckSaveAndReload(const BpcLoad& load, const RelationTable& table) {
  NetworkSettings settings;
  ApplyBpcSettings(load, settings);
  FUZZ_CHECK(IsValidNetworkSettings(settings));
  FUZZ_CHECK(settings.domainNameLength <= kDomainNameSize);

  const std::vector<std::uint8_t> file = WriteBpc(settings, table);
  FUZZ_CHECK(file.size() == bpc::kHeaderSize + bpc::kRecordSize * static_cast<std::size_t>(table.Count()));

  RelationTable again;
  const BpcLoad reload = ReadBpc(file, again);
  FUZZ_CHECK(reload.Succeeded());
  FUZZ_CHECK(reload.format == BpcLoad::Format::Current);
  FUZZ_CHECK(reload.omitted == 0);
  FUZZ_CHECK(!reload.limitReached);
  FUZZ_CHECK(again.Count() == table.Count());
  for (int i = 0; i < table.Count(); ++i) FUZZ_CHECK(SameRelation(*table.At(i), *again.At(i)));

  NetworkSettings reloaded;
  ApplyBpcSettings(reload, reloaded);
  FUZZ_CHECK(SameSettings(settings, reloaded));
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvessa;
  using namespace corvessa::fuzz;
  // The file in a buffer of exactly its size, so a read past its end is caught.
  const std::vector<std::uint8_t> file(data, data + size);

  RelationTable table;
  const BpcLoad load = ReadBpc(std::span(file.data(), file.size()), table);

  CheckTableRules(table);
  FUZZ_CHECK(load.omitted >= 0);
  // The limit and an unsupported version never both; the limit only with a full table.
  FUZZ_CHECK(!(load.limitReached && load.format == BpcLoad::Format::UnsupportedVersion));
  FUZZ_CHECK(!load.limitReached || table.Count() == RelationCapacity || !load.Succeeded());
  if (!load.Succeeded()) {
    FUZZ_CHECK(table.Count() == 0);
    return 0;
  }
  CheckSaveAndReload(load, table);
  return 0;
}
