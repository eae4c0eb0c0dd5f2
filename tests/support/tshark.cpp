#include "tests/support/tshark.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/netns.h"

namespace corvessa::testsupport {
namespace {

void AppendLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  AppendLe16(out, static_cast<std::uint16_t>(v));
  AppendLe16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

bool HasTshark() { return Run("command -v tshark >/dev/null 2>&1") == 0; }

std::vector<std::uint8_t> PcapFileHeader() {
  std::vector<std::uint8_t> b;
  AppendLe32(b, 0xA1B2C3D4);  // magic: microsecond time stamps
  AppendLe16(b, 2);           // version major
  AppendLe16(b, 4);           // version minor
  AppendLe32(b, 0);           // time zone offset
  AppendLe32(b, 0);           // time stamp accuracy
  AppendLe32(b, 65535);       // snapshot length
  AppendLe32(b, 1);           // link type: Ethernet
  return b;
}

void AppendPcapRecord(std::vector<std::uint8_t>& file, std::uint32_t second, std::span<const std::uint8_t> frame) {
  AppendLe32(file, second);                                     // seconds
  AppendLe32(file, 0);                                          // microseconds
  AppendLe32(file, static_cast<std::uint32_t>(frame.size()));  // captured length
  AppendLe32(file, static_cast<std::uint32_t>(frame.size()));  // original length
  file.insert(file.end(), frame.begin(), frame.end());
}

std::uint16_t Ipv4HeaderChecksum(std::span<const std::uint8_t> header) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < header.size(); i += 2) sum += (std::uint32_t{header[i]} << 8) | header[i + 1];
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

bool TsharkCapture::Write(std::span<const std::uint8_t> pcapFile) {
  capture_ = folder_.File("capture.pcap");
  return WriteWholeFile(capture_, pcapFile);
}

std::string TsharkCapture::Read(const std::string& arguments) const {
  const std::string home = folder_.Path().string();
  const std::string out = RunOutput("HOME='" + home + "' XDG_CONFIG_HOME='" + home + "' tshark -n -r '" + capture_ +
                                    "' " + arguments + " 2>/dev/null; echo \"exit=$?\"");
  const auto at = out.rfind("exit=");
  EXPECT_NE(at, std::string::npos) << arguments;
  if (at == std::string::npos) return out;
  EXPECT_EQ(out.substr(at), "exit=0\n") << arguments;
  return out.substr(0, at);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace corvessa::testsupport
