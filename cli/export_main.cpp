// corvessa-export: hands a Corvessa relation list to Kea or dnsmasq.

#include <iostream>
#include <string>
#include <vector>

#include "cli/export_options.h"
#include "cli/export_run.h"
#include "ui/settings_store.h"

int main(int argc, char** argv) {
  using namespace corvessa::cli;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const ParsedOptions parsed = ParseExportOptions(arguments);
  if (parsed.options.help) {
    std::cout << ExportHelpText();
    return kExitWritten;
  }
  if (parsed.options.version) {
    std::cout << "corvessa-export (Corvessa) 3.06.00\n";
    return kExitWritten;
  }
  if (!parsed.error.empty()) {
    std::cerr << "corvessa-export: " << parsed.error << "\nTry 'corvessa-export --help' for more information.\n";
    return kExitUsage;
  }
  return RunExport(parsed.options, corvessa::SettingsStore::DefaultPath(), std::cout, std::cerr);
}
