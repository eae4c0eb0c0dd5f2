#include "files/limit_box.h"

#include "core/strings.h"
#include "relations/relation_table.h"

namespace corvessa {

void ShowRelationLimitReached(Prompts& prompts) {
  prompts.Message(FormatString(kIdsRelationLimitOmitted, RelationCapacity, RelationCapacity),
                  LoadString(kIdsLimitReachedCaption));
}

}  // namespace corvessa
