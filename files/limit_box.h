#pragma once
// The box both file readers show when the relation table fills up before the
// end of the file.

#include "ui/prompts.h"

namespace corvessa {

void ShowRelationLimitReached(Prompts& prompts);

}  // namespace corvessa
