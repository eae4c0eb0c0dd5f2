#pragma once
// What an EtherNet/IP flow needs from its surroundings: where status texts
// go, message boxes, the busy cursor, the pause, the sockets, a cancel token,
// and the port and time limits. The window fills one in; tests fill in scripted parts.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

#include "enip/encap_message.h"

namespace corvessa {

class CancelToken;
class SocketApi;

using StatusSink = std::function<void(std::string_view)>;

// Shows the busy cursor between Begin and End; pairs may nest.
class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  virtual void Begin() = 0;
  virtual void End() = 0;
};

// Ends the busy cursor on every way out of a scope.
class BusyScope {
 public:
  explicit BusyScope(BusyIndicator* busy) : busy_(busy) {
    if (busy_) busy_->Begin();
  }
  ~BusyScope() {
    if (busy_) busy_->End();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  BusyIndicator* busy_;
};

// The memory blocks a flow obtains before it starts.
enum class MessageBlock { RegisterRequest, CommandRequest, Response };

struct EnipContext {
  StatusSink status;                 // the status line; may be empty
  // A command flow that is not quiet failed: the text of the step that
  // failed, which the user must be told (the Communication Error box); may
  // be empty.
  std::function<void(std::string_view failureText)> commandFailed;
  BusyIndicator* busy = nullptr;     // the busy cursor
  std::function<void(std::chrono::milliseconds)> sleep;  // empty: the thread sleeps
  SocketApi* sockets = nullptr;      // empty: the system's calls
  std::uint16_t port = kEnipTcpPort;
  std::chrono::milliseconds connectTimeout{20000};
  std::chrono::milliseconds waitPeriod{2000};
  // Stops the flows at once when cancelled; may be null.
  CancelToken* cancel = nullptr;
  // Lets a test make a block unobtainable; the request and command blocks are
  // fixed arrays that cannot otherwise fail.
  std::function<bool(MessageBlock)> blockUnavailable;
};

}  // namespace corvessa
