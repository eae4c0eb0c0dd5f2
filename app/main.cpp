#include "app/provan_app.h"

int main(int argc, char** argv) {
  corvessa::CProvanApp app(argc, argv);
  return app.InitInstance();
}
