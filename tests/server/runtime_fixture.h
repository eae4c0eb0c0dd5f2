#pragma once
// Scripted surroundings of a ServerRuntime: the window's callbacks, message
// boxes and a sender that records what would go to the wire.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/reply.h"
#include "server/server_runtime.h"
#include "ui/prompts.h"

namespace corvessa::testing_runtime {

class RecordingOwner final : public ServerOwner {
 public:
  void StatusLine(std::string_view text) override {
    statuses.emplace_back(text);
    calls.push_back("status");
  }
  int RelationListLastFullyVisibleRow() override {
    calls.push_back("last-visible");
    return lastVisibleRow;
  }
  void RefreshRelationList() override { calls.push_back("refresh"); }
  void EnsureRelationRowVisible(int row) override { calls.push_back("ensure " + std::to_string(row)); }
  void SocketChanged() override { calls.push_back("socket"); }
  void ScheduleRebind(std::chrono::milliseconds delay) override {
    rebindDelays.push_back(delay);
    rebindRequested = std::chrono::steady_clock::now();
    calls.push_back("rebind");
  }

  std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

  int lastVisibleRow = 7;
  std::vector<std::chrono::milliseconds> rebindDelays;
  std::chrono::steady_clock::time_point rebindRequested;
  std::vector<std::string> statuses;
  std::vector<std::string> calls;
};

class ScriptedPrompts final : public Prompts {
 public:
  struct Shown {
    std::string text;
    std::string caption;
  };
  void Message(std::string_view text, std::string_view caption) override {
    shown.push_back({std::string(text), std::string(caption)});
  }
  PromptAnswer AskYesNoCancel(std::string_view, std::string_view) override { return PromptAnswer::Cancel; }
  std::vector<Shown> shown;
};

class RecordingSender final : public DatagramSender {
 public:
  struct Sent {
    std::vector<std::uint8_t> bytes;
    Endpoint destination;
  };
  bool SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) override {
    ++attempts;
    if (failFromAttempt != 0 && attempts >= failFromAttempt) return false;
    sent.push_back({std::vector<std::uint8_t>(data, data + length), destination});
    return true;
  }
  int attempts = 0;
  int failFromAttempt = 0;  // 0: never fail
  std::vector<Sent> sent;
};

}  // namespace corvessa::testing_runtime
