#include "relations/widgets/add_entry_dlg.h"
