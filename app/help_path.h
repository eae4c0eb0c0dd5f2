#pragma once
// Where the help file is: BootP.html next to the executable (a build tree), or
// in the data folder of an installation (<prefix>/share/corvessa for an
// executable in <prefix>/bin).

#include <optional>
#include <string>
#include <string_view>

namespace corvessa {

inline constexpr std::string_view kHelpFileName = "BootP.html";

// The help file that exists, looked for next to the executable first, then in
// the installed data folder. When neither exists, the path next to the
// executable, where the page has always been looked for. Nothing when no '/'
// stands after the first character of the executable's path (no folder to
// look in).
[[nodiscard]] std::optional<std::string> HelpFilePath(std::string_view executablePath);

}  // namespace corvessa
