#include "server/history_index.h"

#include <algorithm>
#include <bit>
#include <random>
#include <stdexcept>

#include "core/ascii.h"

namespace corvessa::history_index {

std::string FoldAsciiCase(std::string_view text) {
  std::string folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(), FoldAscii);
  return folded;
}

// ---------------------------------------------------------------------------
// RankIndex

namespace {

constexpr std::size_t LowBit(std::size_t i) { return i & (~i + 1); }

}  // namespace

void RankIndex::Clear() { tree_.assign(1, 0); }

void RankIndex::Append(bool live) {
  const std::size_t n = tree_.size();  // the new position
  // tree_[n] covers (n - LowBit(n), n]: the new value plus the live positions
  // already in that range.
  const std::size_t below = CountUpTo(n - 1) - CountUpTo(n - LowBit(n));
  tree_.push_back(static_cast<std::uint32_t>(below + (live ? 1 : 0)));
}

void RankIndex::Remove(std::size_t position) {
  for (std::size_t i = position; i < tree_.size(); i += LowBit(i)) --tree_[i];
}

void RankIndex::Rebuild(std::size_t count) {
  tree_.assign(count + 1, 0);
  for (std::size_t i = 1; i <= count; ++i) tree_[i] = static_cast<std::uint32_t>(LowBit(i));
}

std::size_t RankIndex::CountUpTo(std::size_t position) const {
  std::size_t sum = 0;
  for (std::size_t i = std::min(position, Size()); i > 0; i -= LowBit(i)) sum += tree_[i];
  return sum;
}

std::size_t RankIndex::FindKth(std::size_t k) const {
  std::size_t position = 0;
  for (std::size_t step = std::bit_floor(Size()); step > 0; step >>= 1) {
    const std::size_t next = position + step;
    if (next <= Size() && tree_[next] < k) {
      position = next;
      k -= tree_[next];
    }
  }
  return position + 1;
}

// ---------------------------------------------------------------------------
// PrefixIndex

PrefixIndex::PrefixIndex() : random_(std::random_device{}() | 1u) {}

void PrefixIndex::Clear() {
  nodes_.clear();
  nodes_.shrink_to_fit();
  free_.clear();
  free_.shrink_to_fit();
  root_ = kNil;
  size_ = 0;
}

std::uint32_t PrefixIndex::NextPriority() {
  // xorshift64: the tree's balance needs priorities that do not follow the keys.
  random_ ^= random_ << 13;
  random_ ^= random_ >> 7;
  random_ ^= random_ << 17;
  return static_cast<std::uint32_t>(random_ >> 32);
}

PrefixIndex::NodeId PrefixIndex::NewNode(std::string key, std::uint64_t sequence) {
  NodeId id;
  if (!free_.empty()) {
    id = free_.back();
    free_.pop_back();
  } else {
    if (nodes_.size() >= static_cast<std::size_t>(INT32_MAX)) throw std::length_error("history index full");
    id = static_cast<NodeId>(nodes_.size());
    nodes_.emplace_back();
  }
  Node& node = nodes_[static_cast<std::size_t>(id)];
  node.key = std::move(key);
  node.sequence = sequence;
  node.maxSequence = sequence;
  node.priority = NextPriority();
  node.left = kNil;
  node.right = kNil;
  return id;
}

void PrefixIndex::FreeNode(NodeId id) {
  Node& node = nodes_[static_cast<std::size_t>(id)];
  std::string().swap(node.key);  // give the text's memory back now
  node.sequence = 0;
  node.maxSequence = 0;
  free_.push_back(id);
}

std::uint64_t PrefixIndex::MaxOf(NodeId id) const {
  return id == kNil ? 0 : nodes_[static_cast<std::size_t>(id)].maxSequence;
}

void PrefixIndex::Update(NodeId id) {
  Node& node = nodes_[static_cast<std::size_t>(id)];
  node.maxSequence = std::max({node.sequence, MaxOf(node.left), MaxOf(node.right)});
}

bool PrefixIndex::Less(NodeId id, std::string_view key, std::uint64_t sequence) const {
  const Node& node = nodes_[static_cast<std::size_t>(id)];
  const int order = std::string_view(node.key).compare(key);
  return order < 0 || (order == 0 && node.sequence < sequence);
}

void PrefixIndex::Split(NodeId tree, std::string_view key, std::uint64_t sequence, NodeId& less, NodeId& rest) {
  if (tree == kNil) {
    less = kNil;
    rest = kNil;
    return;
  }
  Node& node = nodes_[static_cast<std::size_t>(tree)];
  if (Less(tree, key, sequence)) {
    NodeId right = node.right;
    Split(right, key, sequence, right, rest);
    nodes_[static_cast<std::size_t>(tree)].right = right;
    less = tree;
  } else {
    NodeId left = node.left;
    Split(left, key, sequence, less, left);
    nodes_[static_cast<std::size_t>(tree)].left = left;
    rest = tree;
  }
  Update(tree);
}

PrefixIndex::NodeId PrefixIndex::Merge(NodeId left, NodeId right) {
  if (left == kNil) return right;
  if (right == kNil) return left;
  if (nodes_[static_cast<std::size_t>(left)].priority > nodes_[static_cast<std::size_t>(right)].priority) {
    const NodeId merged = Merge(nodes_[static_cast<std::size_t>(left)].right, right);
    nodes_[static_cast<std::size_t>(left)].right = merged;
    Update(left);
    return left;
  }
  const NodeId merged = Merge(left, nodes_[static_cast<std::size_t>(right)].left);
  nodes_[static_cast<std::size_t>(right)].left = merged;
  Update(right);
  return right;
}

void PrefixIndex::Insert(std::string foldedKey, std::uint64_t sequence) {
  NodeId less = kNil;
  NodeId rest = kNil;
  Split(root_, foldedKey, sequence, less, rest);
  const NodeId node = NewNode(std::move(foldedKey), sequence);
  root_ = Merge(Merge(less, node), rest);
  ++size_;
}

void PrefixIndex::Erase(std::string_view foldedKey, std::uint64_t sequence) {
  NodeId less = kNil;
  NodeId rest = kNil;
  Split(root_, foldedKey, sequence, less, rest);
  NodeId match = kNil;
  NodeId greater = kNil;
  Split(rest, foldedKey, sequence + 1, match, greater);
  if (match != kNil) {
    // (key, sequence) pairs are unique, so the middle part is that one entry.
    FreeNode(match);
    --size_;
  }
  root_ = Merge(less, greater);
}

bool PrefixIndex::Range::Below(std::string_view key) const { return key < text; }

bool PrefixIndex::Range::Above(std::string_view key) const {
  if (key <= text) return false;
  return !prefix || !key.starts_with(text);
}

std::uint64_t PrefixIndex::TopIn(const Range& range) const {
  // Walk down to the first node inside the range; the wanted keys are then
  // the right end of its left subtree, the node, and the left end of its
  // right subtree.
  NodeId id = root_;
  while (id != kNil) {
    const Node& node = nodes_[static_cast<std::size_t>(id)];
    if (range.Below(node.key)) {
      id = node.right;
    } else if (range.Above(node.key)) {
      id = node.left;
    } else {
      break;
    }
  }
  if (id == kNil) return 0;
  const Node& split = nodes_[static_cast<std::size_t>(id)];
  std::uint64_t best = split.sequence;
  // Left subtree: nothing is above the range; skip what is below it.
  for (NodeId n = split.left; n != kNil;) {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    if (range.Below(node.key)) {
      n = node.right;
    } else {
      best = std::max({best, node.sequence, MaxOf(node.right)});
      n = node.left;
    }
  }
  // Right subtree: nothing is below the range; skip what is above it.
  for (NodeId n = split.right; n != kNil;) {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    if (range.Above(node.key)) {
      n = node.left;
    } else {
      best = std::max({best, node.sequence, MaxOf(node.left)});
      n = node.right;
    }
  }
  return best;
}

std::uint64_t PrefixIndex::TopWithPrefix(std::string_view foldedPrefix) const {
  return TopIn(Range{foldedPrefix, true});
}

std::uint64_t PrefixIndex::TopExact(std::string_view foldedKey) const { return TopIn(Range{foldedKey, false}); }

void PrefixIndex::Renumber(const std::function<std::uint64_t(std::uint64_t)>& renumber) {
  for (Node& node : nodes_) {
    if (node.sequence == 0) continue;  // free
    node.sequence = renumber(node.sequence);
    node.maxSequence = renumber(node.maxSequence);
  }
}

}  // namespace corvessa::history_index
