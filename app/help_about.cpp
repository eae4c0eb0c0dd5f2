// Help Topics, F1 and the About box.

#include <QCoreApplication>
#include <QPointer>
#include <QUrl>

#include "app/about_dialog.h"
#include "app/command_ids.h"
#include "app/help_path.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "core/strings.h"
#include "ui/prompts.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

void MainWindow::OnHelpTopics() {
  const std::string executable =
      env_.executablePath.empty() ? ToStdString(QCoreApplication::applicationFilePath()) : env_.executablePath;
  const std::optional<std::string> path = HelpFilePath(executable);
  if (!path) return;
  QUrl url = QUrl::fromLocalFile(ToQString(*path));
  url.setFragment(QString::number(ids::kHelpContext));
  // Where no program can show the page, the user is told where it is rather
  // than left with nothing happening. The answer may come after the window
  // has gone.
  auto unavailable = [window = QPointer<MainWindow>(this), page = *path] {
    if (window) window->prompts_->Message(FormatText(text::kHelpNotOpened, page.c_str()), {});
  };
  if (env_.openUrl) {
    env_.openUrl(url, unavailable);
  } else {
    OpenWithDesktop(url, unavailable);
  }
}

void MainWindow::OnAbout() {
  AboutDialog about(icon_, this);
  about.exec();
}

}  // namespace corvessa
