// The order of the relation list, the cells of a row, the reset rule and the
// help file's place: plain logic, no window.

#include <gtest/gtest.h>

#include "app/command_state.h"
#include "app/help_path.h"
#include "relations/relation_order.h"
#include "tests/app/window_fixture.h"

namespace corvessa::app_test {
namespace {

Relation Make(std::vector<std::uint8_t> mac, std::uint32_t ip, std::string hostname = {},
              std::string description = {}, std::uint8_t type = kRelationTypeNone) {
  Relation relation = *MakeRelation(std::move(mac), ip, std::move(hostname), std::move(description));
  relation.type = type;
  return relation;
}

constexpr std::uint32_t kAscending(int column) { return static_cast<std::uint32_t>(column); }
constexpr std::uint32_t kDescending(int column) { return static_cast<std::uint32_t>(column) | 0x80000000u; }

struct CompareCase {
  const char* name;
  Relation a;
  Relation b;
  std::uint32_t parameter;
  int expected;
};

TEST(CompareRelations, EachColumnInBothDirections) {
  const std::vector<std::uint8_t> mac1 = {0x00, 0x1d, 0x9c, 0xc8, 0x12, 0x34};
  const std::vector<std::uint8_t> mac2 = {0x00, 0x1d, 0x9c, 0xc8, 0x12, 0xab};
  const CompareCase cases[] = {
      {"mac ascending", Make(mac1, 1), Make(mac2, 1), kAscending(0), -1},
      {"mac descending", Make(mac1, 1), Make(mac2, 1), kDescending(0), 1},
      {"mac equal", Make(mac1, 1), Make(mac1, 2), kAscending(0), 0},
      {"type none before BOOTP", Make(mac1, 1, "", "", kRelationTypeNone), Make(mac1, 1, "", "", kRelationTypeBootp),
       kAscending(1), -1},
      {"type DHCP after BOOTP", Make(mac1, 1, "", "", kRelationTypeDhcp), Make(mac1, 1, "", "", kRelationTypeBootp),
       kAscending(1), 1},
      // Numbers, not texts: 10.0.0.9 < 10.0.0.10 < 192.168.0.1.
      {"ip numeric", Make(mac1, Ip(10, 0, 0, 9)), Make(mac1, Ip(10, 0, 0, 10)), kAscending(2), -1},
      {"ip high bit unsigned", Make(mac1, Ip(192, 168, 0, 1)), Make(mac1, Ip(10, 0, 0, 10)), kAscending(2), 1},
      {"ip descending", Make(mac1, Ip(192, 168, 0, 1)), Make(mac1, Ip(10, 0, 0, 10)), kDescending(2), -1},
      {"hostname ignores case", Make(mac1, 1, "abc"), Make(mac1, 1, "ABD"), kAscending(3), -1},
      {"hostname same but case", Make(mac1, 1, "PLC1"), Make(mac1, 1, "plc1"), kAscending(3), 0},
      {"hostname prefix first", Make(mac1, 1, "plc"), Make(mac1, 1, "plc1"), kAscending(3), -1},
      {"hostname of 32 characters", Make(mac1, 1, std::string(32, 'b')), Make(mac1, 1, std::string(31, 'b') + "a"),
       kAscending(3), 1},
      // '_' lies between the upper and the lower case letters: folding to lower case decides.
      {"hostname folds to lower case", Make(mac1, 1, "_x"), Make(mac1, 1, "Ax"), kAscending(3), -1},
      {"description", Make(mac1, 1, "", "Press 2"), Make(mac1, 1, "", "press 10"), kDescending(4), -1},
      {"unknown column", Make(mac1, 1), Make(mac2, 2), kAscending(5), 0},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(CompareRelations(c.a, c.b, c.parameter), c.expected) << c.name;
  }
}

TEST(CompareRelations, ClickDirections) {
  struct Case {
    int sortColumn;
    bool sortAscending;
    int clicked;
    bool ascending;
  };
  const Case cases[] = {
      {-1, true, 2, false},  // never sorted: descending first
      {2, false, 2, true},   // same column, was descending
      {2, true, 2, false},   // same column, was ascending
      {2, false, 3, false},  // another column
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AscendingAfterClick(c.sortColumn, c.sortAscending, c.clicked), c.ascending)
        << c.sortColumn << " " << c.sortAscending << " " << c.clicked;
  }
  EXPECT_EQ(SortParameter(3, true), 0x00000003u);
  EXPECT_EQ(SortParameter(3, false), 0x80000003u);
}

TEST(RelationRows, CellTextsByColumn) {
  const Relation served =
      Make({0x00, 0x1d, 0x9c, 0xc8, 0x12, 0x34}, Ip(192, 168, 1, 50), "plc1", "Press line 4", kRelationTypeDhcp);
  EXPECT_EQ(RelationRowTexts(served), (std::vector<std::string>{"00:1D:9C:C8:12:34", "DHCP", "192.168.1.50",
                                                                 "plc1", "Press line 4"}));
  const Relation fresh = Make({0x00, 0x1d, 0x9c, 0xc8, 0x12, 0x35}, Ip(192, 168, 1, 51));
  EXPECT_EQ(RelationRowTexts(fresh)[1], "");
  const Relation bootp = Make({0x00, 0x1d, 0x9c, 0xc8, 0x12, 0x35}, 1, "", "", kRelationTypeBootp);
  EXPECT_EQ(RelationRowTexts(bootp)[1], "BOOTP");
}

TEST(NetworkResetRule, HardwareAddressMustBeginWith0A003C) {
  struct Case {
    std::vector<std::uint8_t> mac;
    bool takes;
  };
  const Case cases[] = {
      {{0x0A, 0x00, 0x3C, 0x12, 0x34, 0x56}, true},
      {{0x02, 0x00, 0x00, 0x12, 0x34, 0x56}, false},
      {{0x0A, 0x00, 0x3D, 0x12, 0x34, 0x56}, false},
      {{0x0A, 0x00}, false},  // too short to carry the prefix
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasVendorPrefix(Make(c.mac, 1)), c.takes) << c.mac.size();
  }
}

TEST(HelpFile, NextToTheExecutable) {
  EXPECT_EQ(HelpFilePath("/usr/lib/corvessa/corvessa"), "/usr/lib/corvessa/BootP.html");
  EXPECT_EQ(HelpFilePath("./corvessa"), "./BootP.html");
  EXPECT_EQ(HelpFilePath("/corvessa"), std::nullopt);
  EXPECT_EQ(HelpFilePath("corvessa"), std::nullopt);
  EXPECT_EQ(HelpFilePath(""), std::nullopt);
}

}  // namespace
}  // namespace corvessa::app_test
