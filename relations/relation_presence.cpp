#include "relations/relation_presence.h"

#include "core/address.h"
#include "core/ascii.h"
#include "core/strings.h"
#include "relations/presence_texts.h"

namespace corvessa {

std::string SerialNumberText(std::uint32_t serial) { return FormatText("0x%08X", static_cast<unsigned>(serial)); }

const PresenceCell* PresenceCells::Find(const Relation& relation) const {
  const auto found = cells_.find(relation.ipAddress);
  return found == cells_.end() ? nullptr : &found->second;
}

std::string PresenceCells::Text(const Relation& relation, int column) const {
  const PresenceCell* cell = Find(relation);
  if (cell == nullptr) return {};
  if (column == kRelationColumnOnline) {
    if (cell->online) {
      if (cell->answeredFrom != relation.ipAddress) {
        return FormatText(presence_text::kOnlineAt, IpToText(cell->answeredFrom).c_str());
      }
      return std::string(presence_text::kOnline);
    }
    if (!cell->otherDevice.empty()) return FormatText(presence_text::kAddressUsedBy, cell->otherDevice.c_str());
    return {};
  }
  if (column == kRelationColumnProduct && cell->online) {
    if (cell->previous) return FormatText(presence_text::kChanged, cell->product.c_str());
    return cell->product;
  }
  return {};
}

std::string PresenceCells::ToolTip(const Relation& relation, int column) const {
  const PresenceCell* cell = Find(relation);
  if (cell == nullptr) return {};
  if (column == kRelationColumnOnline) {
    if (cell->online && cell->answeredFrom != relation.ipAddress) {
      return FormatText(presence_text::kOnlineAtTip, IpToText(cell->answeredFrom).c_str());
    }
    if (!cell->online && !cell->otherDevice.empty()) {
      return FormatText(presence_text::kAddressUsedByTip, cell->otherDevice.c_str());
    }
    return {};
  }
  if (column == kRelationColumnProduct && cell->online && cell->previous) {
    return FormatText(presence_text::kChangedTip, cell->previous->product.c_str(),
                      SerialNumberText(cell->previous->serialNumber).c_str(), cell->product.c_str(),
                      SerialNumberText(cell->serialNumber).c_str());
  }
  return {};
}

int PresenceCells::Compare(const Relation& a, const Relation& b, int column) const {
  const int c = CompareIgnoringAsciiCase(Text(a, column), Text(b, column));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace corvessa
