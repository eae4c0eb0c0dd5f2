// Until the main window exists, the program only says what is built so far.
#include <cstdio>

int main() {
  std::puts("corvessa: the main window is not built yet; the server core and its tests are.");
  return 0;
}
