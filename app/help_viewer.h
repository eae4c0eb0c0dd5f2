#pragma once
// Opens the help page with the desktop's handler for it.

#include <functional>

class QProcess;
class QUrl;

namespace corvessa {

// Hands the page to xdg-open, or, where that is not installed, to Qt's own
// choice of handler. Calls `unavailable` when nothing could show the page: at
// once, or later from the event loop when xdg-open ends in failure. Returns
// the running xdg-open, which deletes itself when it ends (nullptr when none
// was started).
QProcess* OpenWithDesktop(const QUrl& url, std::function<void()> unavailable);

}  // namespace corvessa
