#include <csignal>

#include "app/application.h"

int main(int argc, char** argv) {
  // A closed pipe on stdout or stderr must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  corvessa::Application app(argc, argv);
  return app.InitInstance();
}
