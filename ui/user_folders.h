#pragma once
// The per-user folders of the XDG base directory layout.

#include <string>

namespace corvessa {

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
std::string UserConfigFolder();

// $XDG_STATE_HOME, or ~/.local/state when it is unset or not absolute:
// state that should survive a restart but is no setting, such as the
// recovery copy of unsaved relations.
std::string UserStateFolder();

}  // namespace corvessa
