// Discovery History: the row list, the request counts and the recording of
// requests, checked against hand-written expectations and against a naive
// reference list.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/address.h"
#include "server/history.h"

namespace corvessa {
namespace {

using Mac = std::array<std::uint8_t, 16>;

constexpr Mac kDeviceA = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
constexpr Mac kDeviceB = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
constexpr Mac kDeviceLower = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};

// A request as it arrives: op 1, hlen, chaddr, the cookie and, for DHCP,
// option 53 followed by End.
BootpMessage MakeRequest(const Mac& mac, std::uint8_t hlen, std::optional<std::uint8_t> dhcpType) {
  BootpMessage m;
  m.bytes[0] = 1;     // op BOOTREQUEST
  m.bytes[1] = 1;     // htype Ethernet
  m.bytes[2] = hlen;  // hlen
  for (std::size_t i = 0; i < mac.size(); ++i) m.bytes[28 + i] = mac[i];  // chaddr
  m.bytes[236] = 99;  // magic cookie
  m.bytes[237] = 130;
  m.bytes[238] = 83;
  m.bytes[239] = 99;
  if (dhcpType) {
    m.bytes[240] = 53;  // option 53, DHCP message type
    m.bytes[241] = 1;   // length
    m.bytes[242] = *dhcpType;
    m.bytes[243] = 255;  // End
  } else {
    m.bytes[240] = 255;  // End
  }
  return m;
}

BootpMessage BootpRequest(const Mac& mac, std::uint8_t hlen = 6) { return MakeRequest(mac, hlen, std::nullopt); }
BootpMessage DhcpRequest(const Mac& mac, std::uint8_t type) { return MakeRequest(mac, 6, type); }

Relation MakeRelation(std::uint32_t ip, std::string_view hostname) {
  Relation r;
  r.hardwareAddressLength = 6;
  r.ipAddress = ip;
  std::copy(hostname.begin(), hostname.end(), r.hostname.begin());
  r.hostnameLength = static_cast<std::uint8_t>(hostname.size());
  return r;
}

HistoryEntry Entry(std::string mac, std::string type, std::string time, std::string count, std::string ip = {},
                   std::string hostname = {}) {
  return HistoryEntry{std::move(mac), std::move(type), std::move(time), std::move(count), std::move(ip),
                      std::move(hostname)};
}

std::vector<std::string> Column0(const HistoryList& list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.RowCount(); ++i) texts.push_back(list.Row(i).mac);
  return texts;
}

constexpr LocalTime kAt(int h, int m, int s) { return LocalTime{h, m, s}; }

class HistoryTest : public ::testing::Test {
 protected:
  void Add(const BootpMessage& request, const Relation* served, LocalTime now) {
    AddHistoryEntry(list, counts, request, served, now);
  }

  HistoryList list;
  RequestCountTable counts;
};

TEST_F(HistoryTest, RepeatedRequestsCountUpOnOneTopRowWithTheLatestTime) {
  Add(BootpRequest(kDeviceA), nullptr, kAt(10, 0, 1));
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.Row(0), Entry("00:1D:9C:C8:12:34", "BOOTP", "10:00:01", "1"));

  Add(BootpRequest(kDeviceA), nullptr, kAt(10, 0, 2));
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.Row(0), Entry("00:1D:9C:C8:12:34", "BOOTP", "10:00:02", "2"));

  Add(BootpRequest(kDeviceA), nullptr, kAt(10, 0, 3));
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.Row(0), Entry("00:1D:9C:C8:12:34", "BOOTP", "10:00:03", "3"));
}

TEST_F(HistoryTest, AfterClearingTheCountRestartsAtOneThenContinuesTheKeptCount) {
  std::uint32_t requestCounter = 0;
  for (int i = 0; i < 3; ++i) {
    ++requestCounter;
    Add(BootpRequest(kDeviceA), nullptr, kAt(8, 0, i));
  }
  ASSERT_TRUE(ClearHistory(list, requestCounter));
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_EQ(requestCounter, 0u);

  Add(BootpRequest(kDeviceA), nullptr, kAt(8, 1, 0));
  EXPECT_EQ(list.Row(0).count, "1");
  Add(BootpRequest(kDeviceA), nullptr, kAt(8, 1, 1));
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.Row(0).count, "4");
}

class FailingHistoryList : public HistoryList {
 public:
  bool DeleteAll() override { return false; }
};

TEST(ClearHistoryTest, AFailedDeleteChangesNothing) {
  FailingHistoryList list;
  RequestCountTable counts;
  AddHistoryEntry(list, counts, BootpRequest(kDeviceA), nullptr, kAt(1, 2, 3));
  std::uint32_t requestCounter = 7;
  EXPECT_FALSE(ClearHistory(list, requestCounter));
  EXPECT_EQ(requestCounter, 7u);
  EXPECT_EQ(list.RowCount(), 1);
}

TEST_F(HistoryTest, AnotherDeviceGoesOnTopAndTheFirstMovesBackUp) {
  Add(BootpRequest(kDeviceA), nullptr, kAt(9, 0, 0));
  Add(BootpRequest(kDeviceB), nullptr, kAt(9, 0, 1));
  EXPECT_EQ(Column0(list), (std::vector<std::string>{"00:11:22:33:44:55", "00:1D:9C:C8:12:34"}));

  Add(BootpRequest(kDeviceA), nullptr, kAt(9, 0, 2));
  EXPECT_EQ(Column0(list), (std::vector<std::string>{"00:1D:9C:C8:12:34", "00:11:22:33:44:55"}));
  EXPECT_EQ(list.Row(0).count, "2");
  EXPECT_EQ(list.Row(1).count, "1");
}

TEST_F(HistoryTest, TheCountTableKeepsAtMost254Addresses) {
  // 254 addresses repeat once each and fill the table.
  auto device = [](int i) {
    Mac mac{};
    mac[0] = 0x02;
    mac[4] = static_cast<std::uint8_t>(i >> 8);
    mac[5] = static_cast<std::uint8_t>(i);
    return mac;
  };
  for (int i = 0; i < 254; ++i) {
    Add(BootpRequest(device(i)), nullptr, kAt(0, 0, 0));
    Add(BootpRequest(device(i)), nullptr, kAt(0, 0, 0));
  }
  EXPECT_EQ(counts.Size(), 254u);
  Add(BootpRequest(device(0)), nullptr, kAt(0, 0, 0));
  EXPECT_EQ(list.Row(0).count, "3");

  // The 255th address shows 2 at every repeat and never enters the table.
  const Mac extra = device(254);
  Add(BootpRequest(extra), nullptr, kAt(0, 0, 0));
  EXPECT_EQ(list.Row(0).count, "1");
  for (int repeat = 0; repeat < 3; ++repeat) {
    Add(BootpRequest(extra), nullptr, kAt(0, 0, 0));
    EXPECT_EQ(list.Row(0).mac, "02:00:00:00:00:FE");
    EXPECT_EQ(list.Row(0).count, "2");
  }
  EXPECT_EQ(counts.Size(), 254u);
  EXPECT_FALSE(counts.Find("02:00:00:00:00:FE"));
  EXPECT_EQ(list.RowCount(), 255);
}

TEST(RequestCountTableTest, ComparesAddressTextsCaseSensitively) {
  RequestCountTable counts;
  EXPECT_EQ(counts.CountRepeatedRequest("0A:1B"), 2u);
  EXPECT_EQ(counts.CountRepeatedRequest("0a:1b"), 2u);
  EXPECT_EQ(counts.CountRepeatedRequest("0A:1B"), 3u);
  EXPECT_EQ(counts.Size(), 2u);
}

TEST_F(HistoryTest, AnUnservedRequestBlanksTheAddressAndHostnameOfTheServedOne) {
  const Relation relation = MakeRelation(0xC0A80132, "press-7");  // 192.168.1.50
  Add(BootpRequest(kDeviceA), &relation, kAt(11, 30, 0));
  EXPECT_EQ(list.Row(0), Entry("00:1D:9C:C8:12:34", "BOOTP", "11:30:00", "1", "192.168.1.50", "press-7"));

  Add(BootpRequest(kDeviceA), nullptr, kAt(11, 30, 5));
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.Row(0), Entry("00:1D:9C:C8:12:34", "BOOTP", "11:30:05", "2"));
}

TEST_F(HistoryTest, HostnameShowsOnlyItsLengthOfBytes) {
  Relation relation = MakeRelation(0x0A000102, "abcdef");  // 10.0.1.2
  relation.hostnameLength = 3;
  Add(BootpRequest(kDeviceA), &relation, kAt(0, 0, 0));
  EXPECT_EQ(list.Row(0).hostname, "abc");

  // A length past the field shows the whole field and nothing beyond it.
  relation.hostname.fill('h');
  relation.hostnameLength = 200;
  Add(BootpRequest(kDeviceA), &relation, kAt(0, 0, 0));
  EXPECT_EQ(list.Row(0).hostname, std::string(32, 'h'));
}

TEST_F(HistoryTest, DiscoverThenRequestOfAListedDevice) {
  const Relation relation = MakeRelation(0xC0A80132, "press-7");
  // The OFFER does not count as served.
  Add(DhcpRequest(kDeviceA, 1), nullptr, kAt(7, 0, 0));
  EXPECT_EQ(list.Row(0), Entry("00:1D:9C:C8:12:34", "DHCP", "7:00:00", "1"));
  Add(DhcpRequest(kDeviceA, 3), &relation, kAt(7, 0, 1));
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.Row(0), Entry("00:1D:9C:C8:12:34", "DHCP", "7:00:01", "2", "192.168.1.50", "press-7"));
}

TEST_F(HistoryTest, AnyOption53MakesTheRowDhcp) {
  Add(DhcpRequest(kDeviceA, 7), nullptr, kAt(0, 0, 0));  // RELEASE
  EXPECT_EQ(list.Row(0).type, "DHCP");
  Add(MakeRequest(kDeviceB, 6, 0), nullptr, kAt(0, 0, 0));  // type 0, not one the server knows
  EXPECT_EQ(list.Row(0).type, "DHCP");
}

TEST(HistoryTimeTest, HourUnpaddedMinutesAndSecondsTwoDigits) {
  const struct {
    LocalTime time;
    const char* text;
  } cases[] = {
      {kAt(9, 5, 3), "9:05:03"},
      {kAt(14, 0, 0), "14:00:00"},
      {kAt(0, 0, 0), "0:00:00"},
      {kAt(23, 59, 59), "23:59:59"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatHistoryTime(c.time), c.text);
}

TEST_F(HistoryTest, PrefixSearchIgnoresCase) {
  // A row written in lower case (as another list could hold it) is found by
  // the upper-case text of a request.
  list.InsertTop(Entry("0a:1b:2c:3d:4e:5f", "BOOTP", "1:00:00", "1"));
  list.InsertTop(Entry("00:11:22:33:44:55", "BOOTP", "1:00:00", "1"));
  EXPECT_EQ(list.FindPrefix("0A:1B"), 1);
  EXPECT_EQ(list.FindPrefix("0a:1B:2C:3D:4E:5F"), 1);
  EXPECT_EQ(list.FindPrefix("0a:1b:2c:3d:4e:5f:"), -1);
  EXPECT_EQ(list.FindExact("0A:1B:2C:3D:4E:5F"), 1);
  EXPECT_EQ(list.FindExact("0A:1B"), -1);

  Add(BootpRequest(kDeviceLower), nullptr, kAt(1, 0, 1));
  EXPECT_EQ(Column0(list), (std::vector<std::string>{"0A:1B:2C:3D:4E:5F", "00:11:22:33:44:55"}));
  EXPECT_EQ(list.Row(0).count, "2");
}

TEST_F(HistoryTest, PrefixSearchFindsTheTopmostOfSeveralMatches) {
  list.InsertTop(Entry("00:1D:9C:00:00:01", "BOOTP", "", ""));
  list.InsertTop(Entry("00:1D:9C:00:00:02", "BOOTP", "", ""));
  list.InsertTop(Entry("00:11:00:00:00:03", "BOOTP", "", ""));
  list.InsertTop(Entry("00:1d:9c:00:00:04", "BOOTP", "", ""));
  list.InsertTop(Entry("01:00:00:00:00:05", "BOOTP", "", ""));
  EXPECT_EQ(list.FindPrefix("00:1D:9C"), 1);
  EXPECT_EQ(list.FindPrefix("00:1"), 1);
  EXPECT_EQ(list.FindPrefix("00:11"), 2);
  EXPECT_EQ(list.FindPrefix(""), 0);
  EXPECT_EQ(list.FindPrefix("00:1D:9C:00:00:01"), 4);
  EXPECT_EQ(list.FindPrefix("02"), -1);
  list.RemoveRow(1);
  EXPECT_EQ(list.FindPrefix("00:1D:9C"), 2);
}

TEST_F(HistoryTest, AShortHardwareAddressReplacesTheRowItBegins) {
  Add(BootpRequest(kDeviceB), nullptr, kAt(3, 0, 0));
  Add(BootpRequest(kDeviceA), nullptr, kAt(3, 0, 1));
  Add(BootpRequest(kDeviceB), nullptr, kAt(3, 0, 2));
  // hlen 3: "00:1D:9C" begins the second row's text.
  Add(BootpRequest(kDeviceA, 3), nullptr, kAt(3, 0, 3));
  EXPECT_EQ(Column0(list), (std::vector<std::string>{"00:1D:9C", "00:11:22:33:44:55"}));
  EXPECT_EQ(list.Row(0).count, "2");
  EXPECT_EQ(counts.Find("00:1D:9C"), 2u);

  // The full address no longer finds a row: the shorter text does not begin with it.
  Add(BootpRequest(kDeviceA), nullptr, kAt(3, 0, 4));
  EXPECT_EQ(Column0(list), (std::vector<std::string>{"00:1D:9C:C8:12:34", "00:1D:9C", "00:11:22:33:44:55"}));
  EXPECT_EQ(list.Row(0).count, "1");
}

TEST_F(HistoryTest, AnEmptyHardwareAddressKeepsToItsOwnRow) {
  Add(BootpRequest(kDeviceA), nullptr, kAt(5, 0, 0));
  Add(BootpRequest(kDeviceA, 0), nullptr, kAt(5, 0, 1));
  // The top device's row stays; the request gets a row of its own.
  EXPECT_EQ(Column0(list), (std::vector<std::string>{"", "00:1D:9C:C8:12:34"}));
  EXPECT_EQ(list.Row(0).count, "1");
  EXPECT_EQ(list.Row(1).count, "1");

  Add(BootpRequest(kDeviceB), nullptr, kAt(5, 0, 2));
  Add(BootpRequest(kDeviceA, 0), nullptr, kAt(5, 0, 3));
  EXPECT_EQ(Column0(list), (std::vector<std::string>{"", "00:11:22:33:44:55", "00:1D:9C:C8:12:34"}));
  EXPECT_EQ(list.Row(0).count, "2");
}

class RecordingObserver : public HistoryObserver {
 public:
  void RowsAboutToBeRemoved(int first, int last) override {
    events.push_back("remove " + std::to_string(first) + "-" + std::to_string(last) + " of " +
                     std::to_string(list->RowCount()));
  }
  void RowsRemoved() override { events.push_back("removed, " + std::to_string(list->RowCount()) + " left"); }
  void RowAboutToBeInsertedAtTop() override { events.push_back("insert at top"); }
  void RowInsertedAtTop() override { events.push_back("inserted " + list->Row(0).mac); }
  void ModelAboutToBeReset() override { events.push_back("reset of " + std::to_string(list->RowCount())); }
  void ModelReset() override { events.push_back("reset, " + std::to_string(list->RowCount()) + " left"); }

  const HistoryList* list = nullptr;
  std::vector<std::string> events;
};

TEST_F(HistoryTest, TheObserverHearsEachChangeWithTheIndicesOfTheMoment) {
  RecordingObserver observer;
  observer.list = &list;
  Add(BootpRequest(kDeviceA), nullptr, kAt(0, 0, 0));
  Add(BootpRequest(kDeviceB), nullptr, kAt(0, 0, 0));
  Add(BootpRequest(kDeviceLower), nullptr, kAt(0, 0, 0));
  list.SetObserver(&observer);

  Add(BootpRequest(kDeviceB), nullptr, kAt(0, 0, 1));  // the middle row moves up
  Add(BootpRequest(kDeviceA), nullptr, kAt(0, 0, 2));  // the bottom row moves up
  std::uint32_t requestCounter = 5;
  ASSERT_TRUE(ClearHistory(list, requestCounter));
  list.SetObserver(nullptr);
  Add(BootpRequest(kDeviceA), nullptr, kAt(0, 0, 3));

  EXPECT_EQ(observer.events, (std::vector<std::string>{
                                 "remove 1-1 of 3",
                                 "removed, 2 left",
                                 "insert at top",
                                 "inserted 00:11:22:33:44:55",
                                 "remove 2-2 of 3",
                                 "removed, 2 left",
                                 "insert at top",
                                 "inserted 00:1D:9C:C8:12:34",
                                 "reset of 3",
                                 "reset, 0 left",
                             }));
}

TEST_F(HistoryTest, ALongRunOfRepeatsKeepsTheRowsInOrder) {
  // Every repeat leaves the old row's place behind; thousands of them must
  // not disturb order, counts or lookups.
  const Mac devices[] = {kDeviceA, kDeviceB, kDeviceLower};
  for (int i = 0; i < 5000; ++i) Add(BootpRequest(devices[i % 3]), nullptr, kAt(0, 0, 0));
  EXPECT_EQ(Column0(list),
            (std::vector<std::string>{"00:11:22:33:44:55", "00:1D:9C:C8:12:34", "0A:1B:2C:3D:4E:5F"}));
  EXPECT_EQ(list.Row(0).count, "1667");
  EXPECT_EQ(list.Row(1).count, "1667");
  EXPECT_EQ(list.Row(2).count, "1666");
  EXPECT_EQ(list.FindPrefix("00:1d"), 1);
  EXPECT_EQ(list.FindPrefix("0a"), 2);
}

TEST_F(HistoryTest, LookupsStayRightWhileOneDeviceRepeatsBelowManyQuietOnes) {
  // One chatty device among quiet ones: the quiet rows sit untouched while
  // thousands of repeats pile up between and behind them.
  const Mac chatty = kDeviceB;
  for (int i = 0; i < 60; ++i) {
    Mac mac = kDeviceA;
    mac[5] = static_cast<std::uint8_t>(i);
    Add(BootpRequest(mac), nullptr, kAt(0, 0, 0));
    for (int repeat = 0; repeat < 30; ++repeat) Add(BootpRequest(chatty), nullptr, kAt(0, 0, 0));
  }
  for (int i = 1800; i < 4000; ++i) {
    Add(BootpRequest(chatty), nullptr, kAt(0, 0, 0));
    if (i % 500 == 499) {
      ASSERT_EQ(list.RowCount(), 61);
      const std::vector<std::string> texts = Column0(list);
      for (int row = 0; row < list.RowCount(); ++row) {
        ASSERT_EQ(list.FindExact(texts[static_cast<std::size_t>(row)]), row) << "after " << i << " repeats";
        // Every prefix of the row's text finds the first row from the top that begins with it.
        for (std::size_t length = 0; length <= texts[static_cast<std::size_t>(row)].size(); ++length) {
          const std::string prefix = texts[static_cast<std::size_t>(row)].substr(0, length);
          const auto first = std::find_if(texts.begin(), texts.end(),
                                          [&](const std::string& t) { return t.starts_with(prefix); });
          ASSERT_EQ(list.FindPrefix(prefix), first - texts.begin()) << "after " << i << " repeats: " << prefix;
        }
      }
    }
  }
  EXPECT_EQ(list.Row(0).count, "4000");
  EXPECT_EQ(list.Row(1).mac, "00:1D:9C:C8:12:3B");
  EXPECT_EQ(list.Row(60).mac, "00:1D:9C:C8:12:00");
}

TEST_F(HistoryTest, RemovingOutOfRangeRowsDoesNothing) {
  Add(BootpRequest(kDeviceA), nullptr, kAt(0, 0, 0));
  list.RemoveRow(-1);
  list.RemoveRow(1);
  EXPECT_EQ(list.RowCount(), 1);
  EXPECT_THROW((void)list.Row(1), std::out_of_range);
}

// ---------------------------------------------------------------------------
// The indexed list against a plain vector that follows the same rules by
// scanning.

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct ReferenceHistory {
  std::vector<HistoryEntry> rows;  // rows[0] is the top
  std::map<std::string, std::uint64_t> counts;

  int FindPrefix(std::string_view text) const {
    const std::string wanted = Lower(text);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (Lower(rows[i].mac).starts_with(wanted)) return static_cast<int>(i);
    }
    return -1;
  }

  int FindEmpty() const {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].mac.empty()) return static_cast<int>(i);
    }
    return -1;
  }

  void Add(const Mac& mac, int hlen, bool dhcp, const Relation* served, const std::string& time) {
    std::string text;
    for (int i = 0; i < std::min(hlen, 16); ++i) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      if (i > 0) text += ':';
      text += kHex[mac[static_cast<std::size_t>(i)] >> 4];
      text += kHex[mac[static_cast<std::size_t>(i)] & 15];
    }
    const int found = text.empty() ? FindEmpty() : FindPrefix(text);
    std::uint64_t count = 1;
    if (found >= 0) {
      if (auto it = counts.find(text); it != counts.end()) {
        count = ++it->second;
      } else {
        if (counts.size() < 254) counts[text] = 2;
        count = 2;
      }
      rows.erase(rows.begin() + found);
    }
    HistoryEntry e{text, dhcp ? "DHCP" : "BOOTP", time, std::to_string(count), {}, {}};
    if (served != nullptr) {
      e.ipAddress = IpToText(served->ipAddress);
      e.hostname.assign(served->hostname.data(), served->hostnameLength);
    }
    rows.insert(rows.begin(), e);
  }
};

void ExpectSameRows(const HistoryList& list, const ReferenceHistory& reference, int step) {
  ASSERT_EQ(list.RowCount(), static_cast<int>(reference.rows.size())) << "step " << step;
  for (int i = 0; i < list.RowCount(); ++i) {
    ASSERT_EQ(list.Row(i), reference.rows[static_cast<std::size_t>(i)]) << "step " << step << " row " << i;
  }
}

TEST(HistoryRandomizedTest, IndexedListMatchesAPlainVector) {
  std::mt19937 random(20240611);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

  // Addresses share leading bytes often, so short texts match several rows.
  std::vector<Mac> pool;
  for (int i = 0; i < 600; ++i) {
    Mac mac{};
    mac[0] = static_cast<std::uint8_t>(pick(3));
    mac[1] = static_cast<std::uint8_t>(pick(2) == 0 ? 0x1D : 0x1d + pick(4));
    for (std::size_t b = 2; b < mac.size(); ++b) mac[b] = static_cast<std::uint8_t>(random());
    pool.push_back(mac);
  }
  const std::array<int, 12> hlens = {6, 6, 6, 6, 6, 0, 1, 2, 3, 7, 16, 200};
  const Relation served = MakeRelation(0x0A0B0C0D, "cell-4");

  HistoryList list;
  RequestCountTable counts;
  ReferenceHistory reference;
  std::uint32_t requestCounter = 0;
  constexpr int kSteps = 8000;
  for (int step = 0; step < kSteps; ++step) {
    const int action = pick(100);
    if (step == 3000 || step == 7000) {
      ASSERT_TRUE(ClearHistory(list, requestCounter));
      reference.rows.clear();
    } else if (action < 6 && list.RowCount() > 0) {
      const int row = pick(list.RowCount());
      list.RemoveRow(row);
      reference.rows.erase(reference.rows.begin() + row);
    } else {
      // A small active set keeps rows repeating, so that many removed rows
      // pile up behind the live ones; then the whole pool lets the list grow.
      const int span = step < 6000 ? 20 : static_cast<int>(pool.size());
      const Mac& mac = pool[static_cast<std::size_t>(pick(span))];
      const int hlen = hlens[static_cast<std::size_t>(pick(static_cast<int>(hlens.size())))];
      const bool dhcp = pick(2) == 0;
      const Relation* relation = pick(4) == 0 ? &served : nullptr;
      const LocalTime now{pick(24), pick(60), pick(60)};
      AddHistoryEntry(list, counts, MakeRequest(mac, static_cast<std::uint8_t>(hlen), dhcp ? 3 : std::optional<std::uint8_t>{}),
                      relation, now);
      reference.Add(mac, hlen, dhcp, relation, FormatHistoryTime(now));
    }

    ASSERT_EQ(list.RowCount(), static_cast<int>(reference.rows.size())) << "step " << step;
    if (list.RowCount() > 0) {
      // Look up a random row's text, cut short, in another letter case.
      const std::string& text = reference.rows[static_cast<std::size_t>(pick(list.RowCount()))].mac;
      const std::string probe = Lower(text.substr(0, static_cast<std::size_t>(pick(static_cast<int>(text.size()) + 1))));
      ASSERT_EQ(list.FindPrefix(probe), reference.FindPrefix(probe)) << "step " << step << " probe " << probe;
    }
    if (step % 250 == 0) ExpectSameRows(list, reference, step);
  }
  ExpectSameRows(list, reference, kSteps);
  for (const auto& [text, count] : reference.counts) EXPECT_EQ(counts.Find(text), count) << text;
  EXPECT_EQ(counts.Size(), reference.counts.size());
}

}  // namespace
}  // namespace corvessa
