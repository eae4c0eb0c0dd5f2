#include "app/help_viewer.h"

#include <memory>
#include <utility>

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace corvessa {

namespace {

// xdg-open may run a browser in the foreground and end only when it is
// closed; a failure after this long is the browser's, not a missing handler.
constexpr qint64 kHandlerStartMs = 15000;

}  // namespace

QProcess* OpenWithDesktop(const QUrl& url, std::function<void()> unavailable) {
  const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (xdgOpen.isEmpty()) {
    if (!QDesktopServices::openUrl(url)) unavailable();
    return nullptr;
  }
  // xdg-open reports a missing handler only by its exit code, which a
  // detached start would lose. The process owns itself: it outlives the
  // window (closing the program leaves the browser open) and is deleted when
  // xdg-open ends.
  auto* process = new QProcess;
  auto started = std::make_shared<QElapsedTimer>();
  auto report = std::make_shared<std::function<void()>>(std::move(unavailable));
  QObject::connect(process, &QProcess::finished, process,
                   [process, started, report](int exitCode, QProcess::ExitStatus status) {
                     if ((status != QProcess::NormalExit || exitCode != 0) && started->elapsed() < kHandlerStartMs) {
                       (*report)();
                     }
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    (*report)();
    process->deleteLater();
  });
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  started->start();
  process->start(xdgOpen, {url.toString(QUrl::FullyEncoded)});
  return process;
}

}  // namespace corvessa
