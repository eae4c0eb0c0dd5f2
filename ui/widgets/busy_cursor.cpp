#include "ui/widgets/busy_cursor.h"

#include <QApplication>

namespace corvessa {

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace corvessa
