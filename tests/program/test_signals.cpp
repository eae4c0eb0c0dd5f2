// The real program with unsaved relations, ended by SIGTERM (logout), SIGHUP
// (the terminal goes) and SIGINT (Ctrl+C): it goes through its own close
// path, ends with code 0, keeps the relations as a recovery copy in its
// state folder and saves the network settings; and a signal that comes while
// the next start offers the copy loses nothing either.

#include <signal.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/program/program_fixture.h"

namespace corvessa::program_test {
namespace {

using namespace std::chrono_literals;

constexpr auto kEndLimit = 15s;

Mac Device(unsigned n) { return {0x02, 0x16, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(n)}; }

void Le32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// Magic, version and the settings block both files share: 255.255.0.0,
// gateway 10.77.0.254, name server 10.77.0.53, domain "hall.test".
std::string Header(std::uint32_t version, std::uint32_t count) {
  std::string out;
  Le32(out, 0x23456789);                  // magic
  Le32(out, version);                     // version
  Le32(out, 0xFFFF0000);                  // subnet mask 255.255.0.0
  Le32(out, 0x0A4D00FE);                  // gateway 10.77.0.254
  Le32(out, 0x0A4D0035);                  // dns1 10.77.0.53
  Le32(out, 0);                           // dns2: none
  out += "hall.test" + std::string(23, '\0');  // domain name
  out += '\x09';                          // its length
  Le32(out, count);                       // record count
  return out;
}

// The start of a record: hardware address, IP 10.77.16.n, hostname "dev<n>".
std::string RecordStart(unsigned n) {
  std::string out;
  const Mac mac = Device(n);
  out.append(reinterpret_cast<const char*>(mac.data()), mac.size());  // hardware address
  out += std::string(10, '\0');                                         // rest of its 16 bytes
  out += '\x06';                                                        // its length
  Le32(out, 0x0A4D1000u | n);                                           // IP address
  const std::string hostname = "dev" + std::to_string(n);
  out += hostname + std::string(32 - hostname.size(), '\0');  // hostname
  out += static_cast<char>(hostname.size());                  // its length
  return out;
}

// Format 2.2: the program loads it and counts it as not saved yet.
std::string Format22File() { return Header(0x02020000, 2) + RecordStart(1) + RecordStart(2); }

// The same relations as a recovery copy holds them: format 3, descriptions empty.
std::string Format3Copy() {
  return Header(0x00030000, 2) + RecordStart(1) + std::string(256, '\0') + RecordStart(2) + std::string(256, '\0');
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class SignalTest : public ProgramFixture {
 protected:
  SignalTest() : ProgramFixture("ps") {}

  // Sends `signal` and waits (bounded) for the program to end; its exit status.
  std::optional<int> EndWith(int signal) {
    ::kill(program_->Pid(), signal);
    if (!program_->Wait(kEndLimit)) return std::nullopt;
    return program_->ExitStatus();
  }
};

TEST_F(SignalTest, UnsavedRelationsAreKeptOnEverySignalThatEndsTheProgram) {
  const std::string path = PathOf("plant.bpc").string();
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    std::filesystem::remove_all(RecoveryFolder());
    std::ofstream(path, std::ios::binary) << Format22File();
    StartProgram({path});
    if (HasFatalFailure()) return;
    ASSERT_EQ(ServedOf(Device(1), {Device(1), Device(2)}).size(), 2u) << Output();

    EXPECT_EQ(EndWith(signal), std::optional<int>(0)) << Output();
    EXPECT_EQ(ReadText(RecoveryFolder() / "plant.bpc"), Format3Copy());
    EXPECT_EQ(ReadText(RecoveryFolder() / "recovery"), "plant.bpc\n" + path);
    EXPECT_EQ(ReadText(path), Format22File());  // the user's file is not touched
    // The file's network settings were in use: saved as on a normal exit.
    const std::string settings = ReadText(SettingsFile());
    EXPECT_NE(settings.find("\"gateway\"=dword:0a4d00fe\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"domainname\"=\"hall.test\"\n"), std::string::npos) << settings;
  }
}

TEST_F(SignalTest, ASignalWhileTheCopyIsOfferedKeepsIt) {
  const std::string path = PathOf("plant.bpc").string();
  std::ofstream(path, std::ios::binary) << Format22File();
  StartProgram({path});
  if (HasFatalFailure()) return;
  ASSERT_EQ(ServedOf(Device(1), {Device(1)}).size(), 1u) << Output();
  ASSERT_EQ(EndWith(SIGTERM), std::optional<int>(0)) << Output();
  ASSERT_EQ(ReadText(RecoveryFolder() / "plant.bpc"), Format3Copy());

  // The next start asks Restore or Discard; nobody answers before the logout.
  StartProgram({});
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(EndWith(SIGTERM), std::optional<int>(0)) << Output();
  EXPECT_EQ(ReadText(RecoveryFolder() / "plant.bpc"), Format3Copy());
  EXPECT_EQ(ReadText(RecoveryFolder() / "recovery"), "plant.bpc\n" + path);
}

}  // namespace
}  // namespace corvessa::program_test
