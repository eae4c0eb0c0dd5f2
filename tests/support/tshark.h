#pragma once
// Hand-written capture files read back with tshark. Nothing is captured or
// sent: the test builds every frame itself, and tshark only decodes the file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace corvessa::testsupport {

bool HasTshark();

// The pcap file header: microsecond time stamps, Ethernet frames.
std::vector<std::uint8_t> PcapFileHeader();

// Appends one frame with its record header, stamped `second` seconds after
// the epoch.
void AppendPcapRecord(std::vector<std::uint8_t>& file, std::uint32_t second, std::span<const std::uint8_t> frame);

// The one's-complement checksum of an IPv4 header whose checksum field is 0.
std::uint16_t Ipv4HeaderChecksum(std::span<const std::uint8_t> header);

// A capture file in a scratch folder that also serves as tshark's home, so
// no profile or preference of the user's applies.
class TsharkCapture {
 public:
  TsharkCapture() : folder_("tshark") {}

  bool ok() const { return folder_.ok(); }

  // Writes the whole capture file; false when it could not be written.
  bool Write(std::span<const std::uint8_t> pcapFile);

  // "tshark -n -r <capture> <arguments>" and what it printed on standard
  // output. Its exit status must be 0: an empty answer then means "nothing
  // matched", never "tshark refused the arguments".
  std::string Read(const std::string& arguments) const;

 private:
  TempFolder folder_;
  std::string capture_;
};

// The text split at line ends, without them.
std::vector<std::string> Lines(const std::string& text);

}  // namespace corvessa::testsupport
