// The server's start as a program of its own, so that a test can run it as
// another user (with or without the port privilege) inside a namespace:
// StartServer on the named interface with the live host, the box of a fatal
// start written to standard output. Prints "serving" and exits 0 when the server
// socket is bound; a fatal start prints "fatal exit" and exits 3.
//
//   start_probe <interface> <settings file>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "netconfig/host_network.h"
#include "relations/relation_table.h"
#include "server/history.h"
#include "server/server_runtime.h"
#include "tests/server/runtime_fixture.h"
#include "ui/network_settings_store.h"
#include "ui/settings_store.h"

namespace {

constexpr int kFatalStatus = 3;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: start_probe <interface> <settings file>\n");
    return 2;
  }
  using namespace corvessa;
  RelationTable table;
  NetworkSettings settings;
  HistoryList history;
  SettingsStore store(argv[2]);
  testing_runtime::RecordingOwner owner;
  HostNetwork host;
  ServerRuntime runtime(table, settings, history, owner, host);
  runtime.SetExecutablePath("/opt/corvessa/corvessa");
  if (const std::optional<StartFailure> failure =
          runtime.StartServer(argv[1], ReadInterfaceAddressText(store, argv[1]))) {
    std::printf("caption: Network Setup Warning\nmessage: %s\nfatal exit\n", failure->text.c_str());
    return kFatalStatus;
  }
  std::printf("serving\n");
  return 0;
}
