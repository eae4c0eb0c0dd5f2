#include "core/strings.h"

namespace corvessa {

std::string_view LoadString(int) { return {}; }
bool HasString(int id) { return !LoadString(id).empty(); }

}  // namespace corvessa
