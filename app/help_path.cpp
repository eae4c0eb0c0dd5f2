#include "app/help_path.h"

namespace corvessa {

std::optional<std::string> HelpFilePath(std::string_view executablePath) {
  const std::size_t slash = executablePath.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return std::nullopt;
  std::string path(executablePath.substr(0, slash + 1));
  path += kHelpFileName;
  return path;
}

}  // namespace corvessa
