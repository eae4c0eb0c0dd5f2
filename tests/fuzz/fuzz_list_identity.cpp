// List Identity replies of any content, as a datagram from any device on the
// network would bring them: the reply parser, the item walk and the identity
// item alone, each checked against what the input can hold, and the product
// name as the window shows it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "enip/list_identity.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

// Header, item count, one item header and an identity item with an empty
// name and no state: the shortest reply that parses.
constexpr std::size_t kShortestReply = kEncapHeaderSize + 2 + kCpfItemHeaderSize + kIdentityFixedSize;

bool Inside(std::span<const std::uint8_t> part, std::span<const std::uint8_t> whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void CheckItem(std::span<const std::uint8_t> item) {
  const auto identity = ParseIdentityItem(item);
  if (!identity) {
    // Only an item too short for its fixed fields or its name fails.
    FUZZ_CHECK(item.size() < kIdentityFixedSize ||
               item.size() < kIdentityFixedSize + item[kIdentityNameLengthOffset]);
    return;
  }
  const std::size_t nameEnd = kIdentityFixedSize + identity->productName.size();
  FUZZ_CHECK(identity->productName.size() == item[kIdentityNameLengthOffset]);
  FUZZ_CHECK(nameEnd <= item.size());
  FUZZ_CHECK(identity->state.has_value() == (item.size() > nameEnd));
  if (identity->state) FUZZ_CHECK(*identity->state == item[nameEnd]);
  FUZZ_CHECK(identity->serialNumber == little_endian::Get32(item, kIdentitySerialOffset));
  FUZZ_CHECK(identity->socketAddress == big_endian::Get32(item, kIdentitySinAddressOffset));

  const std::string text = ProductNameText(*identity);
  FUZZ_CHECK(text.size() <= 2 * identity->productName.size());
  for (const char c : text) FUZZ_CHECK(static_cast<std::uint8_t>(c) >= 0x20 && c != 0x7F);
}

void CheckReply(std::span<const std::uint8_t> reply) {
  const auto identity = ParseListIdentityReply(reply);
  if (reply.size() >= kEncapHeaderSize) {
    const std::size_t length = reply[kEncapLengthOffset] | (std::size_t{reply[kEncapLengthOffset + 1]} << 8);
    const auto data = GetBytes(reply, kEncapHeaderSize, length);
    if (data) {
      if (const auto items = ParseCpfItems(*data)) {
        for (const CpfItem& item : *items) FUZZ_CHECK(Inside(item.data, *data));
        // The reply's identity is the first identity item's, exactly.
        for (const CpfItem& item : *items) {
          if (item.type != kCipIdentityItem) continue;
          if (reply[0] == 0x63 && reply[1] == 0 && little_endian::Get32(reply, kEncapStatusOffset) == 0u) {
            FUZZ_CHECK(identity == ParseIdentityItem(item.data));
          }
          break;
        }
      }
    } else {
      FUZZ_CHECK(!identity);  // a length past the datagram
    }
  }
  if (!identity) return;
  FUZZ_CHECK(reply.size() >= kShortestReply + identity->productName.size());
  FUZZ_CHECK(little_endian::Get16(reply, kEncapCommandOffset) == kEncapListIdentity);
  FUZZ_CHECK(little_endian::Get32(reply, kEncapStatusOffset) == 0u);
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input's size, so a read past it is caught.
  const std::vector<std::uint8_t> input(data, data + size);
  corvessa::fuzz::CheckReply(input);
  corvessa::fuzz::CheckItem(input);
  return 0;
}
