#include "server/port67_owners.h"

#include <dirent.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <map>
#include <string_view>

#include "core/strings.h"
#include "server/server_texts.h"

namespace corvessa {

namespace {

// The kernel keeps at most this many characters of a command name in comm.
constexpr std::size_t kCommLength = 15;

bool ParseDecimal(std::string_view text, unsigned long& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  return error == std::errc() && end == text.data() + text.size();
}

std::vector<unsigned> ProcessIds(const std::string& procRoot) {
  std::vector<unsigned> ids;
  DIR* dir = opendir(procRoot.c_str());
  if (dir == nullptr) return ids;
  while (const dirent* entry = readdir(dir)) {
    unsigned long id = 0;
    if (ParseDecimal(entry->d_name, id) && id != 0 && id <= 0xFFFFFFFFul) ids.push_back(static_cast<unsigned>(id));
  }
  closedir(dir);
  std::sort(ids.begin(), ids.end());
  return ids;
}

struct OwnerScan {
  // Socket inode -> first process (by rising PID) that has it open.
  std::map<unsigned long, unsigned> owners;
  // Some process's descriptors could not be read: a socket without an owner
  // may belong to it rather than to an ended process.
  bool somethingHidden = false;
};

OwnerScan ScanOwners(const std::string& procRoot, const std::vector<unsigned long>& inodes) {
  OwnerScan scan;
  for (const unsigned id : ProcessIds(procRoot)) {
    const std::string fdDir = procRoot + "/" + std::to_string(id) + "/fd";
    DIR* dir = opendir(fdDir.c_str());
    if (dir == nullptr) {
      // Gone meanwhile is not hidden; not ours to look into is.
      if (errno == EACCES || errno == EPERM) scan.somethingHidden = true;
      continue;
    }
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::array<char, 64> target{};
      const std::string link = fdDir + "/" + entry->d_name;
      const ssize_t n = readlink(link.c_str(), target.data(), target.size() - 1);
      if (n <= 0) continue;
      std::string_view text(target.data(), static_cast<std::size_t>(n));
      constexpr std::string_view kPrefix = "socket:[";
      if (!text.starts_with(kPrefix) || !text.ends_with(']')) continue;
      unsigned long inode = 0;
      if (!ParseDecimal(text.substr(kPrefix.size(), text.size() - kPrefix.size() - 1), inode)) continue;
      if (std::find(inodes.begin(), inodes.end(), inode) != inodes.end()) scan.owners.emplace(inode, id);
    }
    closedir(dir);
  }
  return scan;
}

std::string BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// argv[0] as the process started it; empty when unreadable.
std::string CommandLineName(const std::string& processDir) {
  std::ifstream in(processDir + "/cmdline", std::ios::binary);
  std::string first;
  if (!in || !std::getline(in, first, '\0')) return {};
  // Some programs write their status into argv ("name: status"); the name is
  // the first word.
  std::string name = BaseName(first.substr(0, first.find(' ')));
  if (name.ends_with(':')) name.pop_back();
  return name;
}

std::string ExecutableName(const std::string& processDir) {
  std::array<char, 4096> target{};
  const ssize_t n = readlink((processDir + "/exe").c_str(), target.data(), target.size() - 1);
  if (n <= 0) return {};
  std::string_view path(target.data(), static_cast<std::size_t>(n));
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.ends_with(kDeleted)) path.remove_suffix(kDeleted.size());
  return BaseName(path);
}

// The process's command name: comm, which the kernel cuts at 15 characters,
// completed from argv[0] or the executable when they begin with it. nullopt
// when the process is gone.
std::optional<std::string> ProcessName(const std::string& procRoot, unsigned id) {
  const std::string processDir = procRoot + "/" + std::to_string(id);
  std::ifstream in(processDir + "/comm");
  std::string comm;
  if (!in || !std::getline(in, comm)) return std::nullopt;
  if (comm.size() < kCommLength) return comm;
  for (const std::string& longer : {CommandLineName(processDir), ExecutableName(processDir)}) {
    if (longer.size() > comm.size() && longer.starts_with(comm)) return longer;
  }
  return comm;
}

bool Counts(const UdpSocketEntry& entry, const Port67Search& search) {
  if (entry.inode == 0) return false;  // being torn down; nobody holds it
  if (search.ownInode != 0 && entry.inode == search.ownInode) return false;
  if (search.interfaceIndex == 0) return true;
  return entry.boundDevice == 0 || entry.boundDevice == kUnknownDevice || entry.boundDevice == search.interfaceIndex;
}

}  // namespace

std::string UserName(std::uint32_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  std::array<char, 4096> buffer{};
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_name != nullptr) {
    return found->pw_name;
  }
  return std::to_string(uid);
}

std::optional<std::vector<Port67Holder>> FindPort67Holders(const Port67Search& search) {
  std::optional<std::vector<UdpSocketEntry>> table;
  if (search.askKernel) table = ReadUdpSocketsByDiag(kOwnerCheckPort);
  if (!table) table = ReadUdpTable(search.procRoot, kOwnerCheckPort);
  if (!table) return std::nullopt;

  std::vector<UdpSocketEntry> counted;
  std::vector<unsigned long> inodes;
  for (const UdpSocketEntry& entry : *table) {
    if (!Counts(entry, search)) continue;
    if (std::find(inodes.begin(), inodes.end(), entry.inode) != inodes.end()) continue;
    inodes.push_back(entry.inode);
    counted.push_back(entry);
  }
  std::vector<Port67Holder> holders;
  if (counted.empty()) return holders;

  const OwnerScan scan = ScanOwners(search.procRoot, inodes);
  for (const UdpSocketEntry& entry : counted) {
    Port67Holder holder;
    holder.inode = entry.inode;
    holder.uid = entry.uid;
    holder.boundDevice = entry.boundDevice;
    const auto owner = scan.owners.find(entry.inode);
    if (owner != scan.owners.end()) {
      const auto name = ProcessName(search.procRoot, owner->second);
      if (!name) continue;  // ended since
      holder.pid = owner->second;
      holder.name = *name;
    } else if (!scan.somethingHidden) {
      // Every process was looked at and none holds it: its owner has ended.
      continue;
    }
    holders.push_back(std::move(holder));
  }
  return holders;
}

std::string DescribePort67Holders(const std::vector<Port67Holder>& holders) {
  std::string lines;
  for (const Port67Holder& holder : holders) {
    if (holder.pid) {
      lines += FormatText(text::kPort67OwnerFormat, holder.name.c_str(), *holder.pid);
    } else {
      lines += FormatText(text::kPort67UserOwnerFormat, UserName(holder.uid).c_str());
    }
    lines += "\n";
  }
  return lines;
}

std::string NamePort67Holders(const std::vector<Port67Holder>& holders) {
  std::string names;
  for (const Port67Holder& holder : holders) {
    if (!names.empty()) names += ", ";
    names += holder.pid ? FormatText(text::kHolderProcessFormat, holder.name.c_str(), *holder.pid)
                        : FormatText(text::kHolderUserFormat, UserName(holder.uid).c_str());
  }
  return names.empty() ? std::string(text::kHolderUnknown) : names;
}

std::string FindPort67Owners(const std::string& procRoot, unsigned long ownInode) {
  Port67Search search;
  search.procRoot = procRoot;
  search.askKernel = false;
  search.ownInode = ownInode;
  const auto holders = FindPort67Holders(search);
  return holders ? DescribePort67Holders(*holders) : std::string();
}

}  // namespace corvessa
