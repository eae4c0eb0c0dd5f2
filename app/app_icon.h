#pragma once
// The application icon, shown by the main window and the About box.

#include <QIcon>

namespace corvessa {

QIcon ApplicationIcon();

}  // namespace corvessa
