#pragma once
// The lines the service logs, one builder per event. The event words and
// their fields are documented in the README and corvessa-server(1); scripts
// may rely on them, so fields are only ever added at the end.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/network_settings.h"
#include "server/history.h"
#include "server/server_runtime.h"
#include "service/list_changes.h"
#include "service/log_line.h"

namespace corvessa::service {

// serving interface= server= file= relations= subnet-mask= gateway= dns1= dns2= domain=
LogLine ServingLine(std::string_view interfaceName, std::string_view serverAddress, std::string_view file,
                    int relations, const NetworkSettings& settings);
// request mac= type= time= count= ip= hostname= status=: the Discovery History's row and the status line
LogLine RequestLine(const HistoryEntry& row, std::string_view status);
// answered mac= type= time= count= ip= hostname= status=: a request that waited while its address was
// checked, answered now (the history row as it is now)
LogLine AnsweredLine(const HistoryEntry& row, std::string_view status);
// conflict ip= mac= holder= reason=in-use|own-address|declined text=: an address not given until confirmed
LogLine ConflictLine(const AddressConflict& conflict, std::string_view device, std::string_view text);
// confirmed ip=: an address in conflict given again after SIGHUP
LogLine ConfirmedLine(std::uint32_t address);
// status text=: the server's own reports between requests
LogLine StatusLine(std::string_view text);
// warning text=: what the window would show in a box and then go on
LogLine WarningLine(std::string_view text);
// reloaded file= relations= added= removed= changed= settings=changed|unchanged, then one line per change:
// added|removed|changed mac= ip= hostname= description= (changed adds was-<field>= for each field that
// differs), setting name= value= was=
std::vector<LogLine> ReloadLines(std::string_view file, int relations, const ListChanges& changes);
// reload-failed file= relations-kept= reason=
LogLine ReloadFailedLine(std::string_view file, int relationsKept, std::string_view reason);
// stopping signal=
LogLine StoppingLine(std::string_view signalName);

}  // namespace corvessa::service
