#pragma once
// Where the help file is: BootP.html in the folder of the executable.

#include <optional>
#include <string>
#include <string_view>

namespace corvessa {

inline constexpr std::string_view kHelpFileName = "BootP.html";

// The executable's path cut at its last '/', with the help file name
// appended; nothing when no '/' stands after the first character (no folder
// to look in).
[[nodiscard]] std::optional<std::string> HelpFilePath(std::string_view executablePath);

}  // namespace corvessa
