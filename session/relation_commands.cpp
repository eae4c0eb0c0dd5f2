#include "session/relation_commands.h"

#include "core/address.h"
#include "core/strings.h"
#include "ui/prompts.h"

namespace corvessa {

RelationEditorRequest RelationCommands::Request(std::string_view title, const RelationEntry& entry,
                                                const Relation* edited) const {
  RelationEditorRequest request;
  request.title = std::string(title);
  request.entry = entry;
  const NetworkSettings& settings = session_.Settings();
  request.context = RelationEntryContext{&session_.Relations(), edited, settings.subnetMask, settings.gateway};
  request.serverAddressText = host_.serverAddressText ? host_.serverAddressText() : std::string();
  return request;
}

void RelationCommands::OnAddRelation(std::string_view requestMacText) {
  RelationEntry entry;
  // An empty text is no hardware address at all, not sixteen zero bytes.
  if (!requestMacText.empty()) {
    std::array<std::uint8_t, kMacCapacity> bytes{};
    std::uint8_t length = kMacCapacity;
    const bool converted = TextToMac(requestMacText, bytes.data(), length);
    // A text that did not convert still offers what it gave.
    SetEntryHardwareAddress(entry, bytes.data(), length);
    if (converted) {
      if (const Relation* known = session_.Relations().FindByMac(bytes.data(), length)) {
        entry.ipAddress = known->ipAddress;
      }
    }
  }
  NewRelation(entry);
}

bool RelationCommands::NewRelation(const RelationEntry& initial) {
  if (session_.Relations().Count() >= RelationCapacity) {
    host_.prompts.Message(FormatString(kIdsRelationLimit, RelationCapacity), LoadString(kIdsLimitReachedCaption));
    return false;
  }
  std::unique_ptr<Relation> relation = host_.editor.Edit(Request(text::kNewEntryCaption, initial, nullptr));
  if (!relation) return false;
  // On top of the list whatever the sort, until the next sort or refresh.
  session_.Add(std::move(relation));
  return true;
}

bool RelationCommands::OnProperties(Relation* selected, int row) {
  bool replaced = false;
  if (selected != nullptr) {
    RelationEntry entry;
    SetEntryHardwareAddress(entry, selected->hardwareAddress.data(), selected->hardwareAddressLength);
    entry.ipAddress = selected->ipAddress;
    SetEntryHostname(entry, selected->hostname.data(), selected->hostnameLength);
    SetEntryDescription(entry, selected->description.data(), selected->descriptionLength);
    std::unique_ptr<Relation> replacement = host_.editor.Edit(Request(text::kPropertiesCaption, entry, selected));
    if (replacement) {
      replaced = session_.Replace(selected, std::move(replacement)) != nullptr;
    } else {
      rows_.Refresh(session_.Relations());
    }
    if (host_.ensureRowVisible) host_.ensureRowVisible(row);
  }
  // OK or Cancel alike.
  session_.SetModified(true);
  return replaced;
}

void RelationCommands::OnDeleteRelation(std::span<Relation* const> selected) { session_.Remove(selected); }

}  // namespace corvessa
