#include "app/application.h"

#include <memory>

#include <signal.h>

#include <QSessionManager>
#include <QStringList>

#include "app/app_icon.h"
#include "app/main_window.h"
#include "netconfig/startup_checks.h"
#include "app/signal_watcher.h"
#include "core/settings_names.h"
#include "core/strings.h"
#include "server/server_runtime.h"
#include "ui/widgets/qt_prompts.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

Application::Application(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(ToQString(settings_names::kApplicationName));
  QApplication::setWindowIcon(ApplicationIcon());
}

int Application::InitInstance() {
  Environment environment;
  // Sockets need no start-up on Linux; the check stays where the program
  // would report it.
  environment.startSockets = [] { return true; };
  if (!environment.startSockets()) {
    QtPrompts().Message(LoadString(kIdsSocketsInitFailed), {});
    return kFatalExitStatus;
  }
  // The per-user settings live under "Merrowin Software" in the user's
  // configuration folder.
  environment.settingsPath = SettingsStore::DefaultPath();

  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) environment.arguments.push_back(ToStdString(arguments[i]));

  // Logout, a closed terminal and Ctrl+C end the program through its own
  // close path, so nothing unsaved is lost; so does the session manager.
  SignalWatcher endRequests({SIGTERM, SIGHUP, SIGINT});
  auto window = std::make_unique<MainWindow>(std::move(environment));
  QObject::connect(&endRequests, &SignalWatcher::Caught, window.get(), [&window](int) { window->EndSession(); });
  QObject::connect(&application_, &QGuiApplication::commitDataRequest, window.get(),
                   [&window](QSessionManager& session) {
                     // Asking for interaction is what allowsInteraction does;
                     // it must be released once the question is answered.
                     const bool mayAsk = session.allowsInteraction();
                     if (!window->OnCommitData(mayAsk)) session.cancel();
                     if (mayAsk) session.release();
                   });
  window->DoModal();
  window.reset();
  return 0;
}

}  // namespace corvessa
