#pragma once
// What the last identity scan said about the device at each relation's
// address, as the relation list shows it in its "Online" and "Product"
// columns. It lives beside the relations, never in them: a relation file does
// not keep it, and a relation edited under the same address keeps its cells.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "relations/relation_table.h"

namespace corvessa {

// After the columns every relation file knows.
inline constexpr int kRelationColumnOnline = 5;
inline constexpr int kRelationColumnProduct = 6;
inline constexpr int kRelationColumnWithPresenceCount = 7;

inline bool IsPresenceColumn(int column) {
  return column == kRelationColumnOnline || column == kRelationColumnProduct;
}

// One relation's device as the scan saw it.
struct PresenceCell {
  bool online = false;
  // Where the listed device answered; another address than the relation's
  // when it answered elsewhere.
  std::uint32_t answeredFrom = 0;
  std::string product;  // UTF-8
  std::uint32_t serialNumber = 0;
  // What answered at that address before, when it was another device.
  struct Previous {
    std::string product;
    std::uint32_t serialNumber = 0;
    bool operator==(const Previous&) const = default;
  };
  std::optional<Previous> previous;
  // Another device's hardware address, as text, when it answers at the
  // relation's address instead of the listed one.
  std::string otherDevice;

  bool operator==(const PresenceCell&) const = default;
};

// A CIP serial number as the windows show it: 0x and eight hexadecimal digits.
std::string SerialNumberText(std::uint32_t serial);

class PresenceCells {
 public:
  PresenceCells() = default;
  // Keyed by the relation's IP address (host order).
  explicit PresenceCells(std::map<std::uint32_t, PresenceCell> cells) : cells_(std::move(cells)) {}

  bool Empty() const { return cells_.empty(); }
  // nullptr when the scan said nothing about the relation's address.
  const PresenceCell* Find(const Relation& relation) const;

  // The texts of the presence columns; empty for any other column.
  std::string Text(const Relation& relation, int column) const;
  std::string ToolTip(const Relation& relation, int column) const;
  // < 0 puts a before b in ascending order: the cell texts compared with ASCII
  // letters folded to lower case, as the relation's own texts compare.
  int Compare(const Relation& a, const Relation& b, int column) const;

  bool operator==(const PresenceCells&) const = default;

 private:
  std::map<std::uint32_t, PresenceCell> cells_;
};

}  // namespace corvessa
