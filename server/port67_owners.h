#pragma once
// Which other programs hold UDP port 67 so that the server's own socket
// cannot have it: read from the kernel's socket table and, where this user
// may look, the processes' open descriptors under /proc.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/socket_table.h"

namespace corvessa {

inline constexpr std::uint16_t kOwnerCheckPort = 67;

// One socket on port 67 held by another program.
struct Port67Holder {
  unsigned long inode = 0;
  std::uint32_t uid = 0;
  int boundDevice = 0;          // interface index, 0 none, kUnknownDevice
  std::optional<unsigned> pid;  // the lowest process ID holding it, when visible
  std::string name;             // that process's command name
};

struct Port67Search {
  // Normally "/proc"; tests point it at a tree of their own.
  std::string procRoot = "/proc";
  // Read the live kernel's table through sock_diag first (it tells the bound
  // device); false reads only <procRoot>/net/udp.
  bool askKernel = true;
  // The server's own socket, never reported; 0 when it has none.
  unsigned long ownInode = 0;
  // The chosen interface's index. A holder bound to another device takes
  // none of our datagrams and does not count; 0 counts every holder.
  int interfaceIndex = 0;
};

// The holders that count, in table order, each socket once. A socket whose
// process has ended is left out; one whose process this user may not see is
// kept without a process ID. nullopt when no table can be read.
std::optional<std::vector<Port67Holder>> FindPort67Holders(const Port67Search& search);

// " - <name>, PID: <pid>;\n" for each holder, or " - a process of user
// <user>, PID: unknown;\n" when its process is not visible.
std::string DescribePort67Holders(const std::vector<Port67Holder>& holders);

// The holders as they read in a status line: "dnsmasq (PID 812)", "a process
// of user libvirt-dnsmasq", joined by ", ".
std::string NamePort67Holders(const std::vector<Port67Holder>& holders);

// The owner lines of every holder in <procRoot>/net/udp, whatever it is bound
// to; empty when there is none or the table cannot be read.
std::string FindPort67Owners(const std::string& procRoot = "/proc", unsigned long ownInode = 0);

// The name of a user ID, or its number when it has none.
std::string UserName(std::uint32_t uid);

}  // namespace corvessa
