// Reading relation CSV files of 1 MB and 16 MB (the largest file the program
// opens) in shapes that ordinary files and broken ones take: relations as
// this program writes them (quoted texts with commas and line breaks),
// opening quotes that are never closed, inch marks, quoted fields of the
// longest size, and one line of nothing but commas. Each shape is read a few
// times and the best time is printed with the throughput and how far the
// reading raised the peak memory above the file itself (each shape runs in a
// child process of its own, so earlier shapes do not hide it). Measures,
// asserts nothing.
//
// Usage: bench_csv [repeats]   (default 3, at most 20)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "files/csv_reader.h"
#include "relations/relation_table.h"

namespace corvessa {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMegabyte = 1024 * 1024;
constexpr std::size_t kSizes[] = {1 * kMegabyte, 16 * kMegabyte};
constexpr int kMaxRepeats = 20;
// No shape may take longer than this in all, whatever the machine.
constexpr std::chrono::seconds kShapeTimeLimit{60};

std::string Mac(unsigned i) {
  char text[32];
  std::snprintf(text, sizeof text, "00:1D:9C:%02X:%02X:%02X", (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF);
  return text;
}

std::string Ip(unsigned i) {
  char text[32];
  std::snprintf(text, sizeof text, "10.%u.%u.%u", (i >> 16) & 0xFF, (i >> 8) & 0xFF, (i & 0xFF) | 1);
  return text;
}

// Repeats the lines `line(i)` until the file has `size` bytes.
std::string Fill(std::size_t size, const std::function<std::string(unsigned)>& line) {
  std::string text = "MAC,IP,Hostname,Description";
  for (unsigned i = 0; text.size() < size; ++i) {
    text += '\n';
    text += line(i);
  }
  text.resize(size);
  return text;
}

struct Shape {
  const char* name;
  std::function<std::string(std::size_t size)> make;
};

const Shape kShapes[] = {
    {"written by this program",
     [](std::size_t size) {
       return Fill(size, [](unsigned i) {
         return Mac(i) + "," + Ip(i) + ",plc-" + std::to_string(i) + ",\"Line 3, cabinet " + std::to_string(i) +
                "\r\nspare \"\"A\"\"\"";
       });
     }},
    {"plain lines",
     [](std::size_t size) {
       return Fill(size, [](unsigned i) { return Mac(i) + "," + Ip(i) + ",plc-" + std::to_string(i) + ",Press line"; });
     }},
    {"quotes never closed",
     [](std::size_t size) {
       return Fill(size, [](unsigned i) { return Mac(i) + "," + Ip(i) + ",h" + std::to_string(i) + ",\"Spare"; });
     }},
    {"inch marks",
     [](std::size_t size) {
       return Fill(size, [](unsigned i) {
         return Mac(i) + "," + Ip(i) + ",h" + std::to_string(i) + "," + (i % 2 == 0 ? "\"Spare" : "pipe 3/4\"");
       });
     }},
    {"longest quoted fields",
     [](std::size_t size) {
       return Fill(size, [](unsigned i) {
         return Mac(i) + "," + Ip(i) + ",h" + std::to_string(i) + ",\"" + std::string(510, '"') + "\"";
       });
     }},
    {"quoted fields one byte too long",
     [](std::size_t size) {
       return Fill(size, [](unsigned i) {
         return Mac(i) + "," + Ip(i) + ",h" + std::to_string(i) + ",\"" + std::string(511, ',') + "\"";
       });
     }},
    {"one line of commas",
     [](std::size_t size) { return "MAC,IP,Hostname,Description\n" + std::string(size - 28, ','); }},
    {"a header of commas",
     [](std::size_t size) { return std::string(size - 40, ',') + "\n00:1D:9C:C8:12:34,10.0.0.1,,"; }},
};

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// One line of the table: the shape read `repeats` times from a file of
// `size` bytes.
void Measure(const Shape& shape, std::size_t size, int repeats) {
  const std::string text = shape.make(size);
  const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  const auto end = Clock::now() + kShapeTimeLimit;
  const long peakBefore = PeakKiB();
  double best = 1e300;
  CsvLoad load;
  int loaded = 0;
  for (int r = 0; r < repeats && Clock::now() < end; ++r) {
    RelationTable table;
    const auto start = Clock::now();
    load = ReadCsv(file, table);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    best = std::min(best, ms);
    loaded = table.Count();
  }
  std::printf("%-34s %6zu MB %10.2f %10.1f %9d %10d %9ld\n", shape.name, size / kMegabyte, best,
              static_cast<double>(size) / kMegabyte / (best / 1000.0), loaded, load.omitted, PeakKiB() - peakBefore);
  std::fflush(stdout);
}

}  // namespace
}  // namespace corvessa

int main(int argc, char** argv) {
  using namespace corvessa;
  const int repeats = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, kMaxRepeats) : 3;
  std::printf("%-34s %9s %10s %10s %9s %10s %9s\n", "shape", "size", "best ms", "MB/s", "loaded", "omitted",
              "peak +KiB");
  std::fflush(stdout);
  for (const Shape& shape : kShapes) {
    for (const std::size_t size : kSizes) {
      const pid_t child = fork();
      if (child == 0) {
        Measure(shape, size, repeats);
        std::_Exit(0);
      }
      if (child > 0) waitpid(child, nullptr, 0);
    }
  }
  return 0;
}
