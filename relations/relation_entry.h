#pragma once
// What the relation editor does with its values, without the window: the
// working copy it edits, how the caller's initial values and the typed texts
// enter it, the checks before OK, and the relation it hands back.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/address.h"
#include "relations/relation_table.h"

namespace corvessa {

// Hardware address length of a working copy that has no hardware address:
// it is shown as an empty text.
inline constexpr std::uint8_t kNoHardwareAddress = 255;

struct RelationEntry {
  std::array<std::uint8_t, kMacCapacity> hardwareAddress{};  // bytes past the length are 0
  std::uint8_t hardwareAddressLength = kNoHardwareAddress;
  std::array<char, kRelationHostnameSize> hostname{};  // rest 0
  std::uint8_t hostnameLength = 0;
  std::array<char, kRelationDescriptionSize> description{};  // rest 0
  std::uint8_t descriptionLength = 0;
  std::uint32_t ipAddress = 0;  // host order
};

// What the duplicate and subnet checks compare with.
struct RelationEntryContext {
  const RelationTable* table = nullptr;  // none: no duplicates to find
  const Relation* edited = nullptr;      // none for a new relation
  std::uint32_t subnetMask = 0;
  std::uint32_t gateway = 0;  // 0 = none
};

// The entry fields a failed check sends the user back to.
enum class EntryField { HardwareAddress, IpAddress, Hostname };

// The one message box a failed OK shows and the field that takes the focus.
struct RelationEntryProblem {
  int messageId = 0;
  int captionId = 0;
  EntryField field = EntryField::HardwareAddress;

  bool operator==(const RelationEntryProblem&) const = default;
};

// The caller's initial values. Bytes and a length above 0 are both needed for
// a value to be taken; longer values are cut to their fields, so a hardware
// address never claims more than its 16 bytes.
void SetEntryHardwareAddress(RelationEntry& entry, const std::uint8_t* bytes, std::uint8_t length);
void SetEntryHostname(RelationEntry& entry, const char* bytes, std::uint8_t length);
void SetEntryDescription(RelationEntry& entry, const char* bytes, std::uint8_t length);

// The hardware address as the edit shows it; empty when there is none.
std::string EntryHardwareAddressText(const RelationEntry& entry);
// The texts up to their first zero byte.
std::string EntryHostnameText(const RelationEntry& entry);
std::string EntryDescriptionText(const RelationEntry& entry);

// Converts the typed text into the working bytes. The length is taken only
// when the conversion succeeds; the bytes are whatever it wrote.
[[nodiscard]] bool ReadEntryHardwareAddress(RelationEntry& entry, std::string_view text);
// Replace the texts with the bytes of what was typed, in the encoding they are
// stored in, cut to the field size before a UTF-8 character that would not
// fit whole.
void ReadEntryHostname(RelationEntry& entry, std::string_view text);
void ReadEntryDescription(RelationEntry& entry, std::string_view text);

// The first failing check of an entry whose fields have been read, in the
// order hardware address, IP address, duplicate hardware address, IP address
// and hostname, gateway subnet, server subnet; nullopt when OK may close.
// `macConverted` is what ReadEntryHardwareAddress returned; the server
// address is the text the editor shows, and a text that is no dotted address
// counts as 0.0.0.0.
[[nodiscard]] std::optional<RelationEntryProblem> CheckRelationEntry(const RelationEntry& entry, bool macConverted,
                                                             const RelationEntryContext& context,
                                                             std::string_view serverAddressText);

// What the editor opens with: its title ("New Entry" or "Properties"), the
// initial values, what the checks compare with, and the server's address as
// it is shown (the text remembered for the interface the server runs on).
struct RelationEditorRequest {
  std::string title;
  RelationEntry entry;
  RelationEntryContext context;
  std::string serverAddressText;
};

// A new relation with the entry's values and type 0, not in any table.
std::unique_ptr<Relation> MakeRelation(const RelationEntry& entry);

}  // namespace corvessa
