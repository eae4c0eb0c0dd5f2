#include <csignal>

#include "app/provan_app.h"

int main(int argc, char** argv) {
  // A closed pipe on stdout or stderr must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  corvessa::CProvanApp app(argc, argv);
  return app.InitInstance();
}
