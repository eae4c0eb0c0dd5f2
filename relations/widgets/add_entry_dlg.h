#pragma once
// The relation editor (dialog template 130). Filled in by the relation editor work.
