#pragma once
// The Discovery History: one row per requesting hardware address, the most
// recent request on top. Plain logic; the window shows it through a model that
// observes the list.
//
// The list has no size limit, so every operation a request causes is
// O(log n): rows carry rising sequence numbers (top = highest), a prefix index
// over the case-folded column-0 texts finds the topmost match, and a rank
// index turns sequence numbers into row indices and back.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "relations/relation_table.h"
#include "server/bootp_message.h"
#include "server/history_index.h"

namespace corvessa {

// One row: the six column texts as shown.
struct HistoryEntry {
  std::string mac;        // MacToText of chaddr and hlen
  std::string type;       // "DHCP" or "BOOTP"
  std::string time;       // "%d:%.2d:%.2d"
  std::string count;      // "%d"
  std::string ipAddress;  // empty when not served
  std::string hostname;   // empty when not served or the relation has none
  // The IP Address column's text when the relation's address was not given
  // because another device holds it or the device declined it; else empty.
  std::string conflict{};
  bool operator==(const HistoryEntry&) const = default;
};

// What a Qt item model needs to follow the list. Every change is announced
// before it happens (with the indices as they are then) and confirmed after.
class HistoryObserver {
 public:
  virtual ~HistoryObserver() = default;
  virtual void RowsAboutToBeRemoved(int first, int last) = 0;
  virtual void RowsRemoved() = 0;
  virtual void RowAboutToBeInsertedAtTop() = 0;
  virtual void RowInsertedAtTop() = 0;
  virtual void ModelAboutToBeReset() = 0;
  virtual void ModelReset() = 0;
  // A row's texts changed in place (a request answered after its address
  // was checked); its place and hardware address stay.
  virtual void RowChanged(int row) { (void)row; }
};

class HistoryList {
 public:
  HistoryList();
  virtual ~HistoryList();
  HistoryList(const HistoryList&) = delete;
  HistoryList& operator=(const HistoryList&) = delete;

  int RowCount() const;
  // Row 0 is the top. `row` must be in [0, RowCount()).
  const HistoryEntry& Row(int row) const;

  // The first row from the top whose column 0 begins with `text`, ignoring
  // ASCII case; -1 when there is none. An empty text matches the top row.
  int FindPrefix(std::string_view text) const;
  // The first row from the top whose column 0 equals `text`, ignoring ASCII
  // case; -1 when there is none.
  int FindExact(std::string_view text) const;

  // Out-of-range rows are ignored.
  void RemoveRow(int row);
  void InsertTop(HistoryEntry entry);
  // Replaces every column but the hardware address of `row`; out-of-range
  // rows are ignored.
  void UpdateRow(int row, const HistoryEntry& entry);
  // Virtual so that a list backed by a view can report failure; false leaves
  // the rows as they were.
  [[nodiscard]] virtual bool DeleteAll();

  // The observer is not owned; nullptr detaches it.
  void SetObserver(HistoryObserver* observer);

 private:
  int RowOfSequence(std::uint64_t sequence) const;
  void CompactIfSparse();

  // Slot i holds the row with sequence number base + i + 1, or nothing once
  // that row was removed; sparse slots are compacted away now and then.
  std::vector<std::unique_ptr<HistoryEntry>> slots_;
  int rowCount_ = 0;
  history_index::RankIndex rank_;
  history_index::PrefixIndex prefix_;
  HistoryObserver* observer_ = nullptr;
};

// Request counts of hardware addresses whose row was already in the history.
// It lives for the whole run; clearing the history does not reset it.
class RequestCountTable {
 public:
  static constexpr std::size_t kCapacity = 254;

  // The count shown for a request that found its address's row: the kept
  // count plus one, or 2 for an address not yet kept (added while there is
  // room). Addresses compare exactly, case-sensitively.
  std::uint64_t CountRepeatedRequest(const std::string& mac);

  std::optional<std::uint64_t> Find(const std::string& mac) const;
  std::size_t Size() const { return counts_.size(); }

 private:
  std::map<std::string, std::uint64_t, std::less<>> counts_;
};

struct LocalTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

LocalTime CurrentLocalTime();
// "%d:%.2d:%.2d"
std::string FormatHistoryTime(const LocalTime& time);

// Records one accepted request: the address's row, if any, moves to the top
// with the updated count; otherwise a new row with count 1 goes on top.
// `served` is the relation that was served, or nullptr.
// `conflict` is the IP Address column's text of a request refused for an
// address conflict.
void AddHistoryEntry(HistoryList& list, RequestCountTable& counts, const BootpMessage& request,
                     const Relation* served, const LocalTime& now, std::string conflict = {});
// A request that waited for its address to be checked has now been answered
// (`served`) or refused (`conflict`): its row, the topmost of its hardware
// address, shows it. Nothing when the row is gone (the history was cleared).
void UpdateHistoryEntry(HistoryList& list, const BootpMessage& request, const Relation* served,
                        std::string conflict = {});

// Deletes every row. On failure returns false and changes nothing else (the
// caller reports it); on success sets `requestCounter` to 0.
[[nodiscard]] bool ClearHistory(HistoryList& list, std::uint32_t& requestCounter);

}  // namespace corvessa
