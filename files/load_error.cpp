#include "files/load_error.h"

#include "core/strings.h"

namespace corvessa {

LoadErrorBox LoadErrorMessage(LoadError error, std::string_view path) {
  const std::string file(path);
  switch (error) {
    case LoadError::UnexpectedEnd:
      return {FormatString(kIdsCsvUnexpectedEnd, file.c_str()), LoadString(kIdsCsvFormatErrorCaption)};
    case LoadError::CorruptSettings:
    case LoadError::TrailingData:
      return {FormatString(kIdsFileCorrupt, file.c_str()), LoadString(kIdsFileFormatErrorCaption)};
    case LoadError::None:
    case LoadError::Access:
      break;
  }
  return {FormatString(kIdsFileNotAccessible, file.c_str()), LoadString(kIdsFileFormatErrorCaption)};
}

}  // namespace corvessa
