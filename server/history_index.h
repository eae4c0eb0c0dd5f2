#pragma once
// The two indices behind the Discovery History. Rows are numbered by rising
// sequence numbers 1, 2, 3, ... in the order they were inserted at the top, so
// the top row has the highest live sequence.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa::history_index {

// Lower-cases ASCII letters; other bytes are kept. Column-0 texts are matched
// ignoring case, so the prefix index holds them folded.
std::string FoldAsciiCase(std::string_view text);

// Counts live rows by sequence number (a Fenwick tree): turns a sequence into
// the number of live rows up to it, and a count back into a sequence.
class RankIndex {
 public:
  void Clear();
  // Positions run from 1 to Size().
  std::size_t Size() const { return tree_.size() - 1; }
  // Adds position Size() + 1, live or not.
  void Append(bool live);
  // Marks a live position as no longer live.
  void Remove(std::size_t position);
  // Makes positions 1..count all live.
  void Rebuild(std::size_t count);
  // Live positions in [1, position].
  std::size_t CountUpTo(std::size_t position) const;
  // The smallest position p with CountUpTo(p) == k, for 1 <= k <= live count.
  std::size_t FindKth(std::size_t k) const;

 private:
  std::vector<std::uint32_t> tree_ = {0};  // 1-based; tree_[0] is unused
};

// Folded column-0 texts with the sequence of their row, kept sorted (a treap
// whose nodes also hold the highest sequence below them), so that the topmost
// row whose text begins with a prefix is found in O(log n) however many rows
// share that prefix.
class PrefixIndex {
 public:
  PrefixIndex();

  void Clear();
  std::size_t Size() const { return size_; }
  void Insert(std::string foldedKey, std::uint64_t sequence);
  // Removes the entry; an entry that is not there is ignored.
  void Erase(std::string_view foldedKey, std::uint64_t sequence);

  // The highest sequence among keys that begin with `foldedPrefix`, 0 if none.
  std::uint64_t TopWithPrefix(std::string_view foldedPrefix) const;
  // The highest sequence among keys equal to `foldedKey`, 0 if none.
  std::uint64_t TopExact(std::string_view foldedKey) const;

  // Gives every entry a new sequence; `renumber` must keep their order.
  void Renumber(const std::function<std::uint64_t(std::uint64_t)>& renumber);

 private:
  using NodeId = std::int32_t;
  static constexpr NodeId kNil = -1;

  struct Node {
    std::string key;
    std::uint64_t sequence = 0;     // 0 marks a node on the free list
    std::uint64_t maxSequence = 0;  // highest sequence in this subtree
    std::uint32_t priority = 0;
    NodeId left = kNil;
    NodeId right = kNil;
  };

  // Which keys a query wants: all keys in one contiguous run of the order.
  struct Range {
    std::string_view text;
    bool prefix;  // keys beginning with text, else keys equal to it
    bool Below(std::string_view key) const;
    bool Above(std::string_view key) const;
  };

  NodeId NewNode(std::string key, std::uint64_t sequence);
  void FreeNode(NodeId id);
  void Update(NodeId id);
  std::uint64_t MaxOf(NodeId id) const;
  bool Less(NodeId id, std::string_view key, std::uint64_t sequence) const;
  // Splits `tree` into entries less than (key, sequence) and the rest.
  void Split(NodeId tree, std::string_view key, std::uint64_t sequence, NodeId& less, NodeId& rest);
  NodeId Merge(NodeId left, NodeId right);
  std::uint64_t TopIn(const Range& range) const;
  std::uint32_t NextPriority();

  std::vector<Node> nodes_;
  std::vector<NodeId> free_;
  NodeId root_ = kNil;
  std::size_t size_ = 0;
  std::uint64_t random_;
};

}  // namespace corvessa::history_index
