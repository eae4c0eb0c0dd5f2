#pragma once
// Unsaved relations that outlive an end from outside (a signal, the end of
// the desktop session): kept as a recovery copy when the program is ended
// with unsaved changes, offered at the next start, removed by a normal save
// or a clean exit.

#include <cstdint>
#include <optional>
#include <vector>

#include "files/recovery_copy.h"
#include "session/command_host.h"
#include "session/file_commands.h"
#include "session/session.h"

namespace corvessa {

class SessionRecovery {
 public:
  // All must outlive it; `store` is where the copy is kept.
  SessionRecovery(Session& session, CommandHost& host, FileCommands& files, RecoveryStore& store)
      : session_(session), host_(host), files_(files), store_(store) {}

  // Start-up: offers the relations kept when the program was last ended from
  // outside. True when they were restored.
  bool Offer();
  // The session manager asks to save: the save question where the session
  // allows one (`mayAsk`), else the recovery copy. False to call off the end
  // of the session.
  bool OnCommitData(bool mayAsk);
  // Once the program has been ended from outside and every dialog has
  // returned: unsaved changes are kept, a copy no longer needed goes.
  void Finish();

 private:
  void Keep();

  Session& session_;
  CommandHost& host_;
  FileCommands& files_;
  RecoveryStore& store_;
  // What the user declined to save when the session manager asked; a signal
  // that follows keeps no copy of exactly this.
  std::optional<std::vector<std::uint8_t>> discarded_;
};

}  // namespace corvessa
