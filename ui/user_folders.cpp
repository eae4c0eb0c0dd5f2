#include "ui/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace corvessa {

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

// Only an absolute path counts; a relative one would depend on the folder
// the program happens to be started from.
std::string XdgFolder(const char* variable, const char* underHome) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') return value;
  return (std::filesystem::path(HomeFolder()) / underHome).string();
}

}  // namespace

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string UserStateFolder() { return XdgFolder("XDG_STATE_HOME", ".local/state"); }

}  // namespace corvessa
