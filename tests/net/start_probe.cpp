// The server's start as a program of its own, so that a test can run it as
// another user (with or without the port privilege) inside a namespace:
// StartServer on the named interface with the live host, message boxes
// written to standard output. Prints "serving" and exits 0 when the server
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
#include "ui/settings_store.h"

namespace {

class PrintingPrompts final : public corvessa::Prompts {
 public:
  void Message(std::string_view text, std::string_view caption) override {
    std::printf("caption: %.*s\nmessage: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                static_cast<int>(text.size()), text.data());
  }
  corvessa::PromptAnswer AskYesNoCancel(std::string_view, std::string_view) override {
    return corvessa::PromptAnswer::Cancel;
  }
};

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
  PrintingPrompts prompts;
  testing_runtime::RecordingOwner owner;
  HostNetwork host;
  ServerRuntime runtime(table, settings, history, store, prompts, owner, host);
  runtime.SetExecutablePath("/opt/corvessa/corvessa");
  runtime.SetFatalExit([] {
    std::printf("fatal exit\n");
    std::fflush(stdout);
    std::_Exit(kFatalStatus);
  });
  if (!runtime.StartServer(argv[1])) return kFatalStatus;
  std::printf("serving\n");
  return 0;
}
