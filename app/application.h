#pragma once
// The application object: owns the QApplication and runs the main window as
// a modal dialog. When the window ends, the program ends.

#include <QApplication>

namespace corvessa {

class Application {
 public:
  Application(int& argc, char** argv);

  // Starts the platform services, runs the main window and returns the
  // process's exit code (0; non-zero when the platform services fail).
  int InitInstance();

 private:
  QApplication application_;
};

}  // namespace corvessa
