#pragma once
// Numbered string IDs and the unnumbered texts of the program.

#include <string_view>

namespace corvessa {
}  // namespace corvessa
