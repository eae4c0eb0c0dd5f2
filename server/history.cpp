#include "server/history.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "core/address.h"

namespace corvessa {

using history_index::FoldAsciiCase;

namespace {

// Removed rows leave empty slots behind; once they outnumber the live rows
// (and are more than a handful), the slots are packed and renumbered. Each
// packing costs O(n log n) and happens at most once per n requests.
constexpr std::size_t kMinSlackBeforeCompaction = 1024;

}  // namespace

HistoryList::HistoryList() = default;
HistoryList::~HistoryList() = default;

int HistoryList::RowCount() const { return rowCount_; }

int HistoryList::RowOfSequence(std::uint64_t sequence) const {
  // Rows above a row are the live rows with a higher sequence.
  return rowCount_ - static_cast<int>(rank_.CountUpTo(static_cast<std::size_t>(sequence)));
}

const HistoryEntry& HistoryList::Row(int row) const {
  if (row < 0 || row >= rowCount_) throw std::out_of_range("history row");
  const std::size_t sequence = rank_.FindKth(static_cast<std::size_t>(rowCount_ - row));
  return *slots_[sequence - 1];
}

int HistoryList::FindPrefix(std::string_view text) const {
  const std::uint64_t sequence = prefix_.TopWithPrefix(FoldAsciiCase(text));
  return sequence == 0 ? -1 : RowOfSequence(sequence);
}

int HistoryList::FindExact(std::string_view text) const {
  const std::uint64_t sequence = prefix_.TopExact(FoldAsciiCase(text));
  return sequence == 0 ? -1 : RowOfSequence(sequence);
}

void HistoryList::RemoveRow(int row) {
  if (row < 0 || row >= rowCount_) return;
  const std::size_t sequence = rank_.FindKth(static_cast<std::size_t>(rowCount_ - row));
  if (observer_ != nullptr) observer_->RowsAboutToBeRemoved(row, row);
  std::unique_ptr<HistoryEntry>& slot = slots_[sequence - 1];
  prefix_.Erase(FoldAsciiCase(slot->mac), sequence);
  slot.reset();
  rank_.Remove(sequence);
  --rowCount_;
  if (observer_ != nullptr) observer_->RowsRemoved();
}

void HistoryList::InsertTop(HistoryEntry entry) {
  CompactIfSparse();
  if (observer_ != nullptr) observer_->RowAboutToBeInsertedAtTop();
  std::string key = FoldAsciiCase(entry.mac);
  slots_.push_back(std::make_unique<HistoryEntry>(std::move(entry)));
  rank_.Append(true);
  prefix_.Insert(std::move(key), slots_.size());
  ++rowCount_;
  if (observer_ != nullptr) observer_->RowInsertedAtTop();
}

void HistoryList::UpdateRow(int row, const HistoryEntry& entry) {
  if (row < 0 || row >= rowCount_) return;
  const std::size_t sequence = rank_.FindKth(static_cast<std::size_t>(rowCount_ - row));
  HistoryEntry& slot = *slots_[sequence - 1];
  // The prefix index is keyed on the hardware address, which stays.
  const std::string mac = std::move(slot.mac);
  slot = entry;
  slot.mac = mac;
  if (observer_ != nullptr) observer_->RowChanged(row);
}

bool HistoryList::DeleteAll() {
  if (observer_ != nullptr) observer_->ModelAboutToBeReset();
  slots_.clear();
  slots_.shrink_to_fit();
  rank_.Clear();
  prefix_.Clear();
  rowCount_ = 0;
  if (observer_ != nullptr) observer_->ModelReset();
  return true;
}

void HistoryList::SetObserver(HistoryObserver* observer) { observer_ = observer; }

void HistoryList::CompactIfSparse() {
  const std::size_t live = static_cast<std::size_t>(rowCount_);
  if (slots_.size() < 2 * live + kMinSlackBeforeCompaction) return;
  // The new sequence of a live row is its rank among the live rows, which
  // keeps their order, so the prefix index stays sorted.
  prefix_.Renumber([this](std::uint64_t sequence) {
    return static_cast<std::uint64_t>(rank_.CountUpTo(static_cast<std::size_t>(sequence)));
  });
  std::erase_if(slots_, [](const std::unique_ptr<HistoryEntry>& slot) { return slot == nullptr; });
  slots_.shrink_to_fit();
  rank_.Rebuild(slots_.size());
}

// ---------------------------------------------------------------------------

std::uint64_t RequestCountTable::CountRepeatedRequest(const std::string& mac) {
  if (const auto it = counts_.find(mac); it != counts_.end()) return ++it->second;
  if (counts_.size() < kCapacity) counts_.emplace(mac, 2);
  return 2;
}

std::optional<std::uint64_t> RequestCountTable::Find(const std::string& mac) const {
  if (const auto it = counts_.find(mac); it != counts_.end()) return it->second;
  return std::nullopt;
}

// ---------------------------------------------------------------------------

LocalTime CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  if (localtime_r(&now, &parts) == nullptr) return {};
  return LocalTime{parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::string FormatHistoryTime(const LocalTime& time) {
  char text[40];
  std::snprintf(text, sizeof text, "%d:%.2d:%.2d", time.hour, time.minute, time.second);
  return text;
}

void AddHistoryEntry(HistoryList& list, RequestCountTable& counts, const BootpMessage& request,
                     const Relation* served, const LocalTime& now, std::string conflict) {
  const std::string mac = RequestMacText(request);
  // An empty address text (hlen 0) would begin every row's text and replace
  // whichever device happens to be on top, so it only finds its own row.
  const int found = mac.empty() ? list.FindExact(mac) : list.FindPrefix(mac);
  std::uint64_t count = 1;
  if (found >= 0) {
    count = counts.CountRepeatedRequest(mac);
    list.RemoveRow(found);
  }

  HistoryEntry entry;
  entry.mac = mac;
  entry.type = std::string(RequestTypeText(request));
  entry.time = FormatHistoryTime(now);
  entry.count = std::to_string(count);
  if (served != nullptr) {
    entry.ipAddress = IpToText(served->ipAddress);
    entry.hostname = std::string(HostnameText(*served));
  }
  entry.conflict = std::move(conflict);
  list.InsertTop(std::move(entry));
}

void UpdateHistoryEntry(HistoryList& list, const BootpMessage& request, const Relation* served,
                        std::string conflict) {
  const std::string mac = RequestMacText(request);
  const int row = list.FindExact(mac);
  if (row < 0) return;
  HistoryEntry entry = list.Row(row);
  entry.ipAddress.clear();
  entry.hostname.clear();
  if (served != nullptr) {
    entry.ipAddress = IpToText(served->ipAddress);
    entry.hostname = std::string(HostnameText(*served));
  }
  entry.conflict = std::move(conflict);
  list.UpdateRow(row, entry);
}

bool ClearHistory(HistoryList& list, std::uint32_t& requestCounter) {
  if (!list.DeleteAll()) return false;
  requestCounter = 0;
  return true;
}

}  // namespace corvessa
