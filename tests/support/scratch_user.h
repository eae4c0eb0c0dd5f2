#pragma once
// A system user that exists for one test, removed at its end: programs run
// as it the way a normal user or a service's dynamic user runs them.

#include <unistd.h>

#include <string>

#include "tests/support/netns.h"

namespace corvessa::testsupport {

class ScratchUser {
 public:
  ScratchUser() : name_("cvu" + std::to_string(getpid() % 100000)) {
    Run("userdel " + name_ + " >/dev/null 2>&1");
    ok_ = Run("useradd --system --no-create-home --shell /usr/sbin/nologin " + name_ + " >/dev/null 2>&1") == 0;
  }
  ~ScratchUser() {
    if (ok_) Run("userdel " + name_ + " >/dev/null 2>&1");
  }
  ScratchUser(const ScratchUser&) = delete;
  ScratchUser& operator=(const ScratchUser&) = delete;

  bool ok() const { return ok_; }
  const std::string& Name() const { return name_; }
  // `command` as this user, with the port privilege as an ambient
  // capability when asked for (what setcap on the executable gives).
  std::string As(const std::string& command, bool portPrivilege) const {
    std::string prefix = "setpriv --reuid=" + name_ + " --regid=" + name_ + " --clear-groups";
    if (portPrivilege) prefix += " --inh-caps=+net_bind_service --ambient-caps=+net_bind_service";
    return prefix + " " + command;
  }

 private:
  std::string name_;
  bool ok_ = false;
};

}  // namespace corvessa::testsupport
