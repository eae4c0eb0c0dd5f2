#pragma once
// The real program in a network namespace (the load lab: a server and a
// client namespace joined by a veth pair, settings that start the program
// straight into its window), and a client in the other namespace that asks
// for each hardware address and tells which ones were served, with what.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bench/load/child_process.h"
#include "bench/load/client_message.h"
#include "bench/load/lab.h"

namespace corvessa::program_test {

using Mac = load::Mac;

struct Served {
  std::uint32_t address = 0;  // yiaddr, host order
  std::optional<std::string> hostname;

  bool operator==(const Served&) const = default;
};

// "10.77.15.1 plc1" in test failures, not the bytes of the record.
void PrintTo(const Served& served, std::ostream* out);

class ProgramFixture : public ::testing::Test {
 protected:
  // `tag`: at most 7 characters, unique among the test binaries.
  explicit ProgramFixture(std::string tag) : tag_(std::move(tag)) {}

  void SetUp() override;
  void TearDown() override;

  const load::Lab& Lab() const { return *lab_; }
  std::filesystem::path PathOf(const std::string& name) const { return lab_->Folder() / name; }
  std::filesystem::path RecoveryFolder() const { return lab_->StateHome() / "corvessa"; }
  std::filesystem::path SettingsFile() const { return lab_->ConfigHome() / "Merrowin Software" / "corvessa.conf"; }

  // Starts the program with these arguments and waits (bounded) until it
  // holds UDP port 67.
  void StartProgram(const std::vector<std::string>& arguments);
  // Asks once for each address and collects the OFFERs for `window`; the
  // program must answer `ready` first (its file is loaded once it does).
  std::map<Mac, Served> ServedOf(const Mac& ready, const std::vector<Mac>& macs,
                                 std::chrono::milliseconds window = std::chrono::milliseconds(1500));
  // What the program printed, for failure messages.
  std::string Output() const;

  std::unique_ptr<load::ChildProcess> program_;

 private:
  std::string tag_;
  std::unique_ptr<load::Lab> lab_;
  int starts_ = 0;
};

}  // namespace corvessa::program_test
