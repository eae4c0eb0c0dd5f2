#include "core/strings.h"

#include <algorithm>
#include <array>

namespace corvessa {
namespace {

// Sorted by number; LoadString searches it by halves.
constexpr std::array kStrings = std::to_array<StringEntry>({
    {kIdsAboutMenuItem, "&About Corvessa..."},
    {kIdsServerSubnetMismatch,
     "The IP address you entered is not in the same subnet.\n"
     "Please check your Network Settings in the Tools menu."},
    {kIdsSocketsInitFailed, "Windows sockets initialization failed."},
    {kIdsInvalidAddressCaption, "Invalid Address"},
    {kIdsInvalidIpAddress, "The IP address entered is invalid.\nPlease check it and try again."},
    {kIdsInvalidSubnetMask, "The subnet mask entered is invalid.\nPlease check it and try again."},
    {kIdsInvalidGateway, "The gateway address entered is invalid.\nPlease check it and try again."},
    {kIdsInvalidMacAddress,
     "The Ethernet (MAC) address entered is invalid.\nPlease check it and try again."},
    {kIdsInvalidPrimaryDns,
     "The primary domain name server address entered\nis invalid. Please check it and try again."},
    {kIdsInvalidSecondaryDns,
     "The secondary domain name server address entered\nis invalid. Please check it and try "
     "again."},
    {kIdsNoValidIpAddress,
     "Cannot find a valid IP address.\nApplication cannot continue.\n"
     "Fix network settings or connection and retry the application."},
    {kIdsCommandFailed,
     "Failed to complete the requested operation.\n\n"
     "See status bar for further information then press OK when ready to continue."},
    {kIdsSelectAddressFirst,
     "Please select an address from the Address Relations List to send the command to."},
    {kIdsSaveChangesPrompt, "Would you like to save your changes?"},
    {kIdsSelectRequest, "Please select a BOOTP/DHCP request."},
    {kIdsSaveChangesCaption, "Save Changes"},
    {kIdsNetworkSetupWarningCaption, "Network Setup Warning"},
    {kIdsCommunicationErrorCaption, "Communication Error"},
    {kIdsSelectAddressCaption, "Select An Address"},
    {kIdsCsvFormatErrorCaption, "CSV Format Error"},
    {kIdsUnsupportedFileVersion,
     "%s of the BOOTP/DHCP server utility is not capable of opening files from "
     "Version %d.%d.%d.%d."},
    {kIdsFileFormatErrorCaption, "File Format Error"},
    {kIdsServerSocketAllocFailed,
     "Unable to allocate server socket.\nApplication cannot continue.\n"
     "Fix network settings or connection and retry the application."},
    {kIdsServerSocketCreateFailed,
     "Unable to create server socket.\nApplication cannot continue.\n"
     "Fix network settings or connection and retry the application."},
    {kIdsServerSocketBroadcastFailed,
     "Unable to set server socket to broadcast mode.\nApplication cannot continue.\n"
     "Fix network settings or connection and retry the application."},
    {kIdsServerSocketReceiveError, "Server socket error on receive: restarting socket..."},
    {kIdsSentToEthernet, "Sent %s to Ethernet address %s"},
    {kIdsUnableToService, "Unable to service %s request from %s."},
    {kIdsLoading, "Loading..."},
    {kIdsLoadFailed, "Load file failed: exception caught while trying to read file"},
    {kIdsLoadComplete, "Load file complete"},
    {kIdsSaving, "Saving..."},
    {kIdsSaveFailed, "Save file failed: exception caught while trying to save file"},
    {kIdsSaveComplete, "Save file complete"},
    {kIdsSentNetworkReset, "Sent network reset message (DHCP FORCE_RENEW) to %s"},
    {kIdsPrecreatingMessages, "Precreating messages..."},
    {kIdsRegisterBlockAllocFailed,
     "Failed to allocate memory for register message block. Attempt failed."},
    {kIdsCommandBlockAllocFailed,
     "Failed to allocate memory for command message block. Attempt failed."},
    {kIdsResponseBlockAllocFailed,
     "Failed to allocate memory for response message block. Attempt failed."},
    {kIdsCreatingSocket, "Creating socket for %s..."},
    {kIdsSocketBindFailed, "Socket bind failed for %s. (%s)"},
    {kIdsSettingSocketOptions, "Setting socket options for %s..."},
    {kIdsSocketOptionFailed, "Socket option (%s) failed for %s. (%s)"},
    {kIdsConnecting, "Attempting to connect to %s..."},
    {kIdsSocketConnectFailed, "Socket connect failed for %s. (%s)"},
    {kIdsSocketSendFailed, "Socket send failed to %s. [%s] (%s)"},
    {kIdsSocketSendPartial, "Socket send sent %d of %d bytes to %s. [%s]"},
    {kIdsSocketSelectFailed, "Socket select failed for %s. [%s] (%s)"},
    {kIdsNoResponse, "Didn't receive a response from %s. [%s]"},
    {kIdsVerifyingResponse, "Verifying response from %s [%s]..."},
    {kIdsSocketReceiveFailed, "Socket receive failed for %s. [%s] (%s)"},
    {kIdsSendingCommand, "Attempting to send command [%s] to %s..."},
    {kIdsReceivedError, "Received error message from %s. [%s] (%d)"},
    {kIdsReceivedOk, "Received OK message from %s. [%s] (%d)"},
    {kIdsNullRelation, "Could not send command: Null pointer"},
    {kIdsCommandSuccessful, "[%s %s] Command successful"},
    {kIdsExitSaveFailed, "Unable to save file: aborting save"},
    {kIdsDeleteItemsFailed, "Internal error: failed to delete the items"},
    {kIdsOpenSaveFailed, "Unable to save changes: aborting load"},
    {kIdsLoadAborted, "Unable to load file or load aborted."},
    {kIdsAppTitle, "Corvessa"},
    {kIdsTipClearHistory, "Clear the history window of all BOOTP and DHCP requests"},
    {kIdsTipAddRelation, "Create a new address relation based on the selected BOOTP or DHCP request"},
    {kIdsTipDeleteRelation, "Delete the selected address relation"},
    {kIdsTipEnable, "Enable selected device to obtain configuration via BOOTP at next power cycle"},
    {kIdsTipDisable, "Force selected device to retain configuration in memory at next power cycle"},
    {kIdsCsvUnexpectedEnd,
     "Error loading file '%s': Unexpected end of file.\nPlease check file format and try again."},
    {kIdsRelationLimit, "The relation list only allows %d entries."},
    {kIdsLimitReachedCaption, "Limit Reached"},
    {kIdsRelationLimitOmitted,
     "The relation list only allows %d entries. All entries after #%d will be omitted."},
    {kIdsMacExists,
     "The specified hardware address (MAC)\nis already in the relation list. Please change\n"
     "the MAC and try again."},
    {kIdsIpExists,
     "The specified IP address is already in the\nrelation list. Please change the IP and\n"
     "try again."},
    {kIdsHostnameExists,
     "The specified hostname is already in the\nrelation list. Please change the hostname\n"
     "and try again."},
    {kIdsAddressExistsCaption, "Address Exists"},
    {kIdsLoadCompleteOmitted,
     "Load file complete. %d records were omitted because of errors or duplicates."},
    {kIdsFileNotAccessible,
     "The file '%s' does not exist or cannot be accessed.\n"
     "Please check the filename and try again."},
    {kIdsFileCorrupt, "File '%s' is corrupt and cannot be opened."},
    {kIdsBindingSocket, "Binding socket for %s..."},
    {kIdsPromptMac, "Enter the hardware address (MAC) for the requesting device."},
    {kIdsPromptIp, "Enter the IP address for the device to be assigned."},
    {kIdsPromptHostname, "Enter the hostname for the device to be assigned."},
    {kIdsPromptDescription, "Enter a short description for this device."},
    {kIdsCannotSaveSettings,
     "Cannot save network configuration, due to invalid global network settings.\n"
     "Please check the subnet mask, gateway, and primary and secondary domain\n"
     "name server settings under \"Tools\"->\"Network Settings\"."},
    {kIdsSaveFileFailureCaption, "Save File Failure"},
    {kIdsConfigureNetworkSettings,
     "Please configure your network settings before\nusing the Corvessa."},
    {kIdsWaitingForResponse, "Waiting for response to [%s] from [%s]..."},
    {kIdsColumnDescription, "Description"},
    {kIdsColumnIpAddress, "IP Address"},
    {kIdsUnknownAddress, "Unknown"},
    {kIdsPort67InUse,
     "The BOOTP/DHCP is unable to function because port 67 is being used by another "
     "process:\n\n"},
    {kIdsClosePort67Process, "Please close this process and restart the application."},
    {kIdsGatewaySubnetMismatch,
     "The IP address and gateway are not in the same subnet.\n Please check your settings."},
    {kIdsNetworkSetupCaption, "Network Setup"},
    {kIdsFirewallWarning,
     "Windows Firewall may block some features of BootP. If this occurs, please change your "
     "firewall settings to Notify me when Windows Firewall blocks a new program and try again."},
});

constexpr bool StrictlySortedById() {
  for (std::size_t i = 1; i < kStrings.size(); ++i) {
    if (kStrings[i - 1].id >= kStrings[i].id) return false;
  }
  return true;
}
static_assert(StrictlySortedById(), "string table must be sorted by number without repeats");

}  // namespace

std::span<const StringEntry> AllStrings() { return kStrings; }

std::string_view LoadString(int id) {
  const auto it = std::lower_bound(kStrings.begin(), kStrings.end(), id,
                                   [](const StringEntry& e, int key) { return e.id < key; });
  if (it == kStrings.end() || it->id != id) return {};
  return it->text;
}

bool HasString(int id) { return !LoadString(id).empty(); }

}  // namespace corvessa
