// Help Topics, F1 and the About box.

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/help_path.h"
#include "app/provan_dlg.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

void CProvanDlg::OnHelpTopics() {
  const std::string executable =
      env_.executablePath.empty() ? ToStdString(QCoreApplication::applicationFilePath()) : env_.executablePath;
  const std::optional<std::string> path = HelpFilePath(executable);
  if (!path) return;
  QUrl url = QUrl::fromLocalFile(ToQString(*path));
  url.setFragment(QString::number(ids::kHelpContext));
  // Like the help viewer it replaces, a browser that cannot open the page
  // reports nothing here.
  if (env_.openUrl) {
    env_.openUrl(url);
  } else {
    QDesktopServices::openUrl(url);
  }
}

void CProvanDlg::OnAbout() {
  CAboutDlg about(icon_, this);
  about.exec();
}

}  // namespace corvessa
