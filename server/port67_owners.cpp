#include "server/port67_owners.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <map>

#include "core/strings.h"

namespace corvessa {

namespace {

// Field positions in a data line of /proc/net/udp.
constexpr std::size_t kSlotField = 0;
constexpr std::size_t kLocalAddressField = 1;
constexpr std::size_t kInodeField = 9;
constexpr std::size_t kAddressDigits = 8;
constexpr std::size_t kPortDigits = 4;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t p = 0;
  while (p < line.size()) {
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    const std::size_t start = p;
    while (p < line.size() && line[p] != ' ' && line[p] != '\t') ++p;
    if (p > start) fields.push_back(line.substr(start, p - start));
  }
  return fields;
}

template <typename T>
bool ParseWhole(std::string_view text, int base, T& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

// The kernel's table of the network namespace of this thread; /proc/net
// follows the process's main thread instead.
std::string UdpTablePath(const std::string& procRoot) {
  const std::string threadTable = procRoot + "/thread-self/net/udp";
  if (access(threadTable.c_str(), R_OK) == 0) return threadTable;
  return procRoot + "/net/udp";
}

std::vector<unsigned> ProcessIds(const std::string& procRoot) {
  std::vector<unsigned> ids;
  DIR* dir = opendir(procRoot.c_str());
  if (dir == nullptr) return ids;
  while (const dirent* entry = readdir(dir)) {
    unsigned id = 0;
    if (ParseWhole(std::string_view(entry->d_name), 10, id) && id != 0) ids.push_back(id);
  }
  closedir(dir);
  std::sort(ids.begin(), ids.end());
  return ids;
}

// Socket inode -> first process (by rising PID) that has it open, for the
// inodes asked for only.
std::map<unsigned long, unsigned> OwnersOf(const std::string& procRoot, const std::vector<unsigned long>& inodes) {
  std::map<unsigned long, unsigned> owners;
  for (const unsigned id : ProcessIds(procRoot)) {
    const std::string fdDir = procRoot + "/" + std::to_string(id) + "/fd";
    DIR* dir = opendir(fdDir.c_str());
    if (dir == nullptr) continue;  // ended meanwhile, or not ours to look into
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::array<char, 64> target{};
      const std::string link = fdDir + "/" + entry->d_name;
      const ssize_t n = readlink(link.c_str(), target.data(), target.size() - 1);
      if (n <= 0) continue;
      std::string_view text(target.data(), static_cast<std::size_t>(n));
      constexpr std::string_view kPrefix = "socket:[";
      if (!text.starts_with(kPrefix) || !text.ends_with(']')) continue;
      text = text.substr(kPrefix.size(), text.size() - kPrefix.size() - 1);
      unsigned long inode = 0;
      if (!ParseWhole(text, 10, inode)) continue;
      if (std::find(inodes.begin(), inodes.end(), inode) != inodes.end()) owners.emplace(inode, id);
    }
    closedir(dir);
  }
  return owners;
}

std::optional<std::string> ProcessName(const std::string& procRoot, unsigned id) {
  std::ifstream in(procRoot + "/" + std::to_string(id) + "/comm");
  std::string name;
  if (!in || !std::getline(in, name)) return std::nullopt;
  return name;
}

}  // namespace

std::optional<UdpTableRow> ParseUdpTableLine(std::string_view line) {
  const auto fields = SplitFields(line);
  if (fields.size() <= kInodeField) return std::nullopt;
  const std::string_view slot = fields[kSlotField];
  if (slot.size() < 2 || slot.back() != ':') return std::nullopt;
  unsigned slotNumber = 0;
  if (!ParseWhole(slot.substr(0, slot.size() - 1), 10, slotNumber)) return std::nullopt;

  const std::string_view local = fields[kLocalAddressField];
  if (local.size() != kAddressDigits + 1 + kPortDigits || local[kAddressDigits] != ':') return std::nullopt;
  UdpTableRow row;
  if (!ParseWhole(local.substr(0, kAddressDigits), 16, row.localAddress)) return std::nullopt;
  if (!ParseWhole(local.substr(kAddressDigits + 1), 16, row.localPort)) return std::nullopt;
  if (!ParseWhole(fields[kInodeField], 10, row.inode)) return std::nullopt;
  return row;
}

std::string FindPort67Owners(const std::string& procRoot, unsigned long ownInode) {
  std::ifstream table(UdpTablePath(procRoot));
  if (!table) return {};
  std::vector<unsigned long> inodes;  // table order
  std::string line;
  while (std::getline(table, line)) {
    const auto row = ParseUdpTableLine(line);
    if (!row || row->localPort != kOwnerCheckPort) continue;
    // Inode 0 is a socket that is being torn down; no process holds it.
    if (row->inode == 0 || (ownInode != 0 && row->inode == ownInode)) continue;
    inodes.push_back(row->inode);
  }
  if (inodes.empty()) return {};

  const auto owners = OwnersOf(procRoot, inodes);
  std::string result;
  for (const unsigned long inode : inodes) {
    const auto owner = owners.find(inode);
    if (owner == owners.end()) continue;
    const auto name = ProcessName(procRoot, owner->second);
    if (!name) continue;
    result += FormatText(text::kPort67OwnerFormat, name->c_str(), owner->second);
    result += "\n";
  }
  return result;
}

}  // namespace corvessa
