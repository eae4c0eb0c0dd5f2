#include "files/bpc_reader.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "core/address.h"
#include "core/settings_names.h"
#include "core/strings.h"
#include "files/bpc_layout.h"
#include "files/zero_fill_reader.h"

namespace corvessa {
namespace {

using ReadRecordFields = void (*)(ZeroFillReader&, Relation&);

struct RecordReader {
  ReadRecordFields read;
  std::size_t size;
};

void ReadHeaderlessRecord(ZeroFillReader& in, Relation& relation) {
  in.Read(relation.hardwareAddress);
  relation.hardwareAddressLength = in.U8();
  relation.ipAddress = in.U32();
  in.Skip(bpc::kHeaderlessIgnoredSize);
}

void ReadRecord22(ZeroFillReader& in, Relation& relation) {
  in.Read(relation.hardwareAddress);
  relation.hardwareAddressLength = in.U8();
  relation.ipAddress = in.U32();
  in.Read(relation.hostname);
  relation.hostnameLength = in.U8();
}

void ReadRecord3(ZeroFillReader& in, Relation& relation) {
  ReadRecord22(in, relation);
  in.Read(relation.description);
  relation.descriptionLength = in.U8();
}

// Reads the mask, gateway, name servers and domain name of formats 3 and
// 2.2 into `settings`; false when they do not pass the settings check.
[[nodiscard]] bool ReadSettingsBlock(ZeroFillReader& in, NetworkSettings& settings) {
  settings.subnetMask = in.U32();
  settings.gateway = in.U32();
  settings.dns1 = in.U32();
  settings.dns2 = in.U32();
  std::array<char, bpc::kDomainNameSize> domain{};
  in.Read(domain);
  const std::uint8_t lengthByte = in.U8();
  const auto textLength =
      static_cast<int>(std::find(domain.begin(), domain.end(), '\0') - domain.begin());
  // The length byte is a signed count in the file: 128 and above never match.
  if (!IsValidNetworkSettings(settings) || static_cast<std::int8_t>(lengthByte) != textLength) {
    return false;
  }
  settings.SetDomainName(std::string_view(domain.data(), static_cast<std::size_t>(textLength)));
  return true;
}

// Loads `count` records and applies the rule for bytes after them. Records
// that fail CheckCandidate are counted in `omitted`.
[[nodiscard]] LoadError LoadRecords(ZeroFillReader& in, std::int32_t count, RecordReader record,
                                    RelationTable& table, int& omitted, bool& limitReached) {
  omitted = 0;
  int loaded = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (table.Count() >= RelationCapacity) {
      limitReached = true;
      break;
    }
    if (in.Remaining() < record.size) {
      // The file ends before this record does. A record cut short would load
      // with its last fields silently zero (a description emptied), and the
      // records declared after it would read as zeros, which are always
      // refused: all of them are omitted at once, instead of walking a count
      // of up to 2^31 through empty records.
      in.Skip(in.Remaining());
      omitted += count - i;
      break;
    }
    auto relation = std::make_unique<Relation>();
    record.read(in, *relation);
    if (table.CheckCandidate(*relation)) {
      table.Append(std::move(relation));
      ++loaded;
    } else {
      ++omitted;
    }
  }
  if (!in.AtEnd()) {
    // A negative count reads nothing; bytes after it mean the file is not
    // what it claims to be, and the omitted count would turn negative.
    if (loaded == count || count < 0) return LoadError::TrailingData;
    omitted = count - loaded;
  }
  return LoadError::None;
}

BpcLoad ReadOlder(ZeroFillReader& in, std::uint32_t version, RelationTable& table) {
  BpcLoad load;
  load.version = version;
  std::int32_t count = 0;
  RecordReader record{};
  if ((version >> 16) == bpc::kVersionMajor22) {
    load.format = BpcLoad::Format::Older22;
    if (!ReadSettingsBlock(in, load.settings)) {
      load.error = LoadError::CorruptSettings;
      return load;
    }
    record = {ReadRecord22, bpc::kRecordSize22};
  } else if (version == bpc::kVersionHeaderless) {
    load.format = BpcLoad::Format::Headerless;
    load.onlyMaskAndGateway = true;
    load.settings.subnetMask = in.U32();
    load.settings.gateway = in.U32();
    if (!IsValidMask(load.settings.subnetMask) ||
        (load.settings.gateway != 0 && !IsValidIp(load.settings.gateway))) {
      load.error = LoadError::CorruptSettings;
      return load;
    }
    record = {ReadHeaderlessRecord, bpc::kRecordSizeHeaderless};
  } else {
    load.format = BpcLoad::Format::UnsupportedVersion;
    return load;
  }
  count = static_cast<std::int32_t>(in.U32());
  table.Clear();
  load.error = LoadRecords(in, count, record, table, load.omitted, load.limitReached);
  return load;
}

BpcLoad ReadCurrent(ZeroFillReader& in, std::uint32_t version, RelationTable& table) {
  BpcLoad load;
  load.format = BpcLoad::Format::Current;
  load.version = version;
  if (!ReadSettingsBlock(in, load.settings)) {
    load.error = LoadError::CorruptSettings;
    return load;
  }
  const auto count = static_cast<std::int32_t>(in.U32());
  load.error = LoadRecords(in, count, {ReadRecord3, bpc::kRecordSize}, table, load.omitted, load.limitReached);
  return load;
}

}  // namespace

BpcLoad ReadBpc(std::span<const std::uint8_t> file, RelationTable& table) {
  ZeroFillReader in(file);
  BpcLoad load;
  if (in.U32() != bpc::kMagic) {
    ZeroFillReader fromStart(file);
    load = ReadOlder(fromStart, bpc::kVersionHeaderless, table);
  } else {
    const std::uint32_t version = in.U32();
    load = (version >> 16) == bpc::kVersionMajorCurrent ? ReadCurrent(in, version, table)
                                                        : ReadOlder(in, version, table);
  }
  if (load.error != LoadError::None) {
    load.omitted = 0;
    load.limitReached = false;
    table.Clear();
  }
  return load;
}

void ApplyBpcSettings(const BpcLoad& load, NetworkSettings& target) {
  target.subnetMask = load.settings.subnetMask;
  target.gateway = load.settings.gateway;
  if (load.onlyMaskAndGateway) return;
  target.dns1 = load.settings.dns1;
  target.dns2 = load.settings.dns2;
  target.SetDomainName(load.settings.DomainName());
}

std::string UnsupportedVersionText(std::uint32_t version) {
  // The program's version label, also the name of its settings section.
  const std::string program(settings_names::kVersionSection);
  return FormatString(kIdsUnsupportedFileVersion, program.c_str(), static_cast<int>((version >> 24) & 0xFF),
                      static_cast<int>((version >> 16) & 0xFF), static_cast<int>((version >> 8) & 0xFF),
                      static_cast<int>(version & 0xFF));
}

}  // namespace corvessa
