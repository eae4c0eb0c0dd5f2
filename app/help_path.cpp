#include "app/help_path.h"

#include <filesystem>
#include <system_error>

namespace corvessa {

namespace {

// From the executable's folder to the installed data folder, as the install
// rules lay them out ("../share/corvessa").
constexpr std::string_view kInstalledHelpFolder = CORVESSA_INSTALLED_HELP_FOLDER;

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::optional<std::string> HelpFilePath(std::string_view executablePath) {
  const std::size_t slash = executablePath.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return std::nullopt;
  std::string nextToExecutable(executablePath.substr(0, slash + 1));
  nextToExecutable += kHelpFileName;
  if (IsFile(nextToExecutable)) return nextToExecutable;

  const std::filesystem::path folder(executablePath.substr(0, slash));
  const std::filesystem::path installed =
      (folder / kInstalledHelpFolder / kHelpFileName).lexically_normal();
  if (IsFile(installed)) return installed.string();
  return nextToExecutable;
}

}  // namespace corvessa
