#pragma once
// Numbers of the texts in the string table, and the texts that have no number.
// Included at the end of core/strings.h.

#include <array>
#include <span>
#include <string_view>

namespace corvessa {

// One entry of the string table.
struct StringEntry {
  int id;
  std::string_view text;
};

// The whole table, sorted by number.
std::span<const StringEntry> AllStrings();

// --- Start-up and system menu ---
inline constexpr int kIdsAboutMenuItem = 101;
inline constexpr int kIdsServerSubnetMismatch = 102;
inline constexpr int kIdsSocketsInitFailed = 103;

// --- Captions of message boxes ---
inline constexpr int kIdsInvalidAddressCaption = 32783;
inline constexpr int kIdsSaveChangesCaption = 32795;
inline constexpr int kIdsNetworkSetupWarningCaption = 32796;
inline constexpr int kIdsCommunicationErrorCaption = 32797;
inline constexpr int kIdsSelectAddressCaption = 32798;
inline constexpr int kIdsCsvFormatErrorCaption = 32801;
inline constexpr int kIdsFileFormatErrorCaption = 32803;
inline constexpr int kIdsLimitReachedCaption = 32859;
inline constexpr int kIdsAddressExistsCaption = 32864;
inline constexpr int kIdsSaveFileFailureCaption = 32874;
inline constexpr int kIdsNetworkSetupCaption = 32887;

// --- Checks of entered addresses and settings ---
inline constexpr int kIdsInvalidIpAddress = 32784;
inline constexpr int kIdsInvalidSubnetMask = 32785;
inline constexpr int kIdsInvalidGateway = 32786;
inline constexpr int kIdsInvalidMacAddress = 32787;
inline constexpr int kIdsInvalidPrimaryDns = 32788;
inline constexpr int kIdsInvalidSecondaryDns = 32789;
inline constexpr int kIdsMacExists = 32861;
inline constexpr int kIdsIpExists = 32862;
inline constexpr int kIdsHostnameExists = 32863;
inline constexpr int kIdsGatewaySubnetMismatch = 32885;
inline constexpr int kIdsConfigureNetworkSettings = 32878;

// --- Host, server socket and firewall ---
inline constexpr int kIdsNoValidIpAddress = 32790;
inline constexpr int kIdsServerSocketAllocFailed = 32804;
inline constexpr int kIdsServerSocketCreateFailed = 32805;
inline constexpr int kIdsServerSocketBroadcastFailed = 32806;
inline constexpr int kIdsServerSocketReceiveError = 32807;
inline constexpr int kIdsPort67InUse = 32883;
inline constexpr int kIdsClosePort67Process = 32884;
inline constexpr int kIdsFirewallWarning = 32889;

// --- Request handling and history ---
inline constexpr int kIdsSentToEthernet = 32809;
inline constexpr int kIdsUnableToService = 32810;
inline constexpr int kIdsSentNetworkReset = 32817;
inline constexpr int kIdsDeleteItemsFailed = 32841;

// --- Relation list ---
inline constexpr int kIdsSelectRequest = 32794;
inline constexpr int kIdsRelationLimit = 32858;
inline constexpr int kIdsRelationLimitOmitted = 32860;
inline constexpr int kIdsPromptMac = 32869;
inline constexpr int kIdsPromptIp = 32870;
inline constexpr int kIdsPromptHostname = 32871;
inline constexpr int kIdsPromptDescription = 32872;

// --- Files ---
inline constexpr int kIdsSaveChangesPrompt = 32793;
inline constexpr int kIdsUnsupportedFileVersion = 32802;
inline constexpr int kIdsLoading = 32811;
inline constexpr int kIdsLoadFailed = 32812;
inline constexpr int kIdsLoadComplete = 32813;
inline constexpr int kIdsSaving = 32814;
inline constexpr int kIdsSaveFailed = 32815;
inline constexpr int kIdsSaveComplete = 32816;
inline constexpr int kIdsExitSaveFailed = 32840;
inline constexpr int kIdsOpenSaveFailed = 32842;
inline constexpr int kIdsLoadAborted = 32843;
inline constexpr int kIdsAppTitle = 32844;
inline constexpr int kIdsCsvUnexpectedEnd = 32857;
inline constexpr int kIdsLoadCompleteOmitted = 32865;
inline constexpr int kIdsFileNotAccessible = 32866;
inline constexpr int kIdsFileCorrupt = 32867;
inline constexpr int kIdsCannotSaveSettings = 32873;

// --- EtherNet/IP session and commands ---
inline constexpr int kIdsCommandFailed = 32791;
inline constexpr int kIdsSelectAddressFirst = 32792;
inline constexpr int kIdsPrecreatingMessages = 32818;
inline constexpr int kIdsRegisterBlockAllocFailed = 32819;
inline constexpr int kIdsCommandBlockAllocFailed = 32820;
inline constexpr int kIdsResponseBlockAllocFailed = 32821;
inline constexpr int kIdsCreatingSocket = 32822;
inline constexpr int kIdsSocketBindFailed = 32824;
inline constexpr int kIdsSettingSocketOptions = 32825;
inline constexpr int kIdsSocketOptionFailed = 32826;
inline constexpr int kIdsConnecting = 32827;
inline constexpr int kIdsSocketConnectFailed = 32828;
inline constexpr int kIdsSocketSendFailed = 32829;
inline constexpr int kIdsSocketSendPartial = 32830;
inline constexpr int kIdsSocketSelectFailed = 32831;
inline constexpr int kIdsNoResponse = 32832;
inline constexpr int kIdsVerifyingResponse = 32833;
inline constexpr int kIdsSocketReceiveFailed = 32834;
inline constexpr int kIdsSendingCommand = 32835;
inline constexpr int kIdsReceivedError = 32836;
inline constexpr int kIdsReceivedOk = 32837;
inline constexpr int kIdsNullRelation = 32838;
inline constexpr int kIdsCommandSuccessful = 32839;
inline constexpr int kIdsBindingSocket = 32868;
inline constexpr int kIdsWaitingForResponse = 32879;

// --- Tooltips of the main window's buttons ---
inline constexpr int kIdsTipClearHistory = 32850;
inline constexpr int kIdsTipAddRelation = 32851;
inline constexpr int kIdsTipDeleteRelation = 32853;
inline constexpr int kIdsTipEnable = 32854;
inline constexpr int kIdsTipDisable = 32856;

// --- Interface selection ---
inline constexpr int kIdsColumnDescription = 32880;
inline constexpr int kIdsColumnIpAddress = 32881;
inline constexpr int kIdsUnknownAddress = 32882;

}  // namespace corvessa

// Texts the program shows that have no number of their own.
namespace corvessa::text {

// Main window
inline constexpr std::string_view kListening = "Listening for connected devices...";
inline constexpr std::string_view kErrorsAndWarnings = "Errors and warnings";
inline constexpr std::string_view kRelationsGroup = "Relations";
inline constexpr std::string_view kDiscoveryHistory = "Discovery History";
inline constexpr std::string_view kEnteredRelations = "Entered Relations";
inline constexpr std::string_view kRelationCounterFormat = "%i of %i";
inline constexpr std::string_view kTitleSeparator = " - ";
// A settings write that failed: the file's path and the cause.
inline constexpr std::string_view kSettingsWriteFailed = "The settings could not be saved to '%s': %s";

// Column headers; the trailing blanks widen the columns.
inline constexpr std::string_view kColumnMac = "Ethernet Address (MAC)";
inline constexpr std::string_view kColumnType = "Type  ";
inline constexpr std::string_view kColumnTime = "(hr:min:sec)";
inline constexpr std::string_view kColumnCount = "#   ";
inline constexpr std::string_view kColumnIpAddress = "IP Address          ";
inline constexpr std::string_view kColumnHostname = "Hostname";
inline constexpr std::string_view kColumnDescription = "Description";
inline constexpr std::array<std::string_view, 6> kHistoryColumns = {
    kColumnMac, kColumnType, kColumnTime, kColumnCount, kColumnIpAddress, kColumnHostname};
inline constexpr std::array<std::string_view, 5> kRelationColumns = {
    kColumnMac, kColumnType, kColumnIpAddress, kColumnHostname, kColumnDescription};
inline constexpr std::string_view kHistoryTimeFormat = "%d:%.2d:%.2d";

// Relation types by their number: none, BOOTP, DHCP.
inline constexpr std::string_view kTypeBootp = "BOOTP";
inline constexpr std::string_view kTypeDhcp = "DHCP";
inline constexpr std::string_view kTypeBootpDhcp = "BOOTP/DHCP";
inline constexpr std::array<std::string_view, 3> kRelationTypeNames = {"", kTypeBootp, kTypeDhcp};

// EtherNet/IP labels, shown in square brackets in the status line
inline constexpr std::string_view kLabelRegisterSession = "Register Session";
inline constexpr std::string_view kLabelGetAttributeSingle = "Get_Attribute_Single";
inline constexpr std::string_view kLabelSetAttributeSingle = "Set_Attribute_Single";
inline constexpr std::string_view kOptionSendBuffer = "SO_SNDBUF";
inline constexpr std::string_view kOptionReceiveBuffer = "SO_RCVBUF";
inline constexpr std::string_view kOptionNoDelay = "TCP_NODELAY";
inline constexpr std::string_view kActionEnable = "Enable";
inline constexpr std::string_view kActionDisable = "Disable";

// Socket error codes that have a text of their own; any other code is shown
// as its decimal number.
struct WsaErrorName {
  int code;
  std::string_view text;
};
inline constexpr std::array<WsaErrorName, 9> kWsaErrorTexts = {{
    {10053, "Connection aborted"},  // WSAECONNABORTED
    {10054, "Connection reset"},    // WSAECONNRESET
    {10056, "Is connected"},        // WSAEISCONN
    {10057, "Not connected"},       // WSAENOTCONN
    {10060, "Timed out"},           // WSAETIMEDOUT
    {10061, "Connection refused"},  // WSAECONNREFUSED
    {10063, "Name too long"},       // WSAENAMETOOLONG
    {10064, "Host down"},           // WSAEHOSTDOWN
    {10091, "System not ready"},    // WSASYSNOTREADY
}};

// Port 67 owner line: executable name and process ID.
inline constexpr std::string_view kPort67OwnerFormat = " - %s, PID: %u;";

// Unsaved relations kept when the program was ended from outside (a signal,
// the end of the desktop session), and offered at the next start.
inline constexpr std::string_view kRecoveryCaption = "Unsaved Relations";
inline constexpr std::string_view kRecoveryOfferNamed =
    "The relations of '%s' were not saved when Corvessa was last ended.\nRestore them now, or discard them?";
inline constexpr std::string_view kRecoveryOfferUnnamed =
    "Relations that were never saved were kept when Corvessa was last ended.\nRestore them now, or discard them?";
inline constexpr std::string_view kRecoveryRestore = "Restore";
inline constexpr std::string_view kRecoveryDiscard = "Discard";
inline constexpr std::string_view kRecoveryRestoredNamed = "Restored the unsaved relations of '%s'.";
inline constexpr std::string_view kRecoveryRestoredUnnamed = "Restored the unsaved relations.";
inline constexpr std::string_view kRecoveryFileNotOpened = " The file '%s' was not opened.";
inline constexpr std::string_view kRecoveryUnreadable = "The unsaved relations kept in '%s' could not be read.";
inline constexpr std::string_view kRecoveryKeepFailed = "The unsaved relations could not be kept in '%s': %s";

// Dialogs
inline constexpr std::string_view kNewEntryCaption = "New Entry";
inline constexpr std::string_view kPropertiesCaption = "Properties";
inline constexpr std::string_view kSelectInterfaceCaption = "Select Network Interface";
inline constexpr std::string_view kSelectInterfacePrompt = "Please select a network interface:";
inline constexpr std::string_view kSelectAdapter = "Please select an adapter.";
inline constexpr std::string_view kNetworkSettingsCaption = "Network Settings";
inline constexpr std::string_view kDefaultsGroup = "Defaults";
inline constexpr std::string_view kAdapterLabel = "Adapter";
inline constexpr std::string_view kAdapterPrefix = "Adapter: ";
inline constexpr std::string_view kResetDefaults = "Reset Defaults";
inline constexpr std::string_view kServerIpAddressLabel = "Server IP address:";
inline constexpr std::string_view kSubnetMaskLabel = "Subnet Mask:";
inline constexpr std::string_view kGatewayLabel = "Gateway:";
inline constexpr std::string_view kPrimaryDnsLabel = "Primary DNS:";
inline constexpr std::string_view kSecondaryDnsLabel = "Secondary DNS:";
inline constexpr std::string_view kDomainNameLabel = "Domain Name:";
inline constexpr std::string_view kEntryServerIpLabel = "Server IP Address:";
inline constexpr std::string_view kEntryMacLabel = "Client Address (MAC):";
inline constexpr std::string_view kEntryIpLabel = "Client IP Address:";
inline constexpr std::string_view kEntryHostnameLabel = "Hostname:";
inline constexpr std::string_view kEntryDescriptionLabel = "Description:";
inline constexpr std::string_view kOk = "OK";
inline constexpr std::string_view kCancel = "Cancel";
inline constexpr std::string_view kAboutCaption = "About Corvessa";
inline constexpr std::string_view kAboutVersion = "Corvessa Version 3.06.00";
inline constexpr std::string_view kMenuLoadError = "Error loading menu item";
inline constexpr std::string_view kHelpNotOpened =
    "The help page could not be opened: no program to show it was found.\n\nThe help page is here:\n%s";

// Main menu
inline constexpr std::string_view kMenuFile = "&File";
inline constexpr std::string_view kMenuTools = "&Tools";
inline constexpr std::string_view kMenuHelp = "&Help";
inline constexpr std::string_view kMenuNew = "&New";
inline constexpr std::string_view kMenuOpen = "&Open";
inline constexpr std::string_view kMenuSave = "&Save";
inline constexpr std::string_view kMenuSaveAs = "&Save As...";
inline constexpr std::string_view kMenuExit = "E&xit";
inline constexpr std::string_view kMenuSelectInterface = "Select Network Interface";
inline constexpr std::string_view kMenuNetworkSettings = "&Network Settings";
inline constexpr std::string_view kMenuAddRelation = "Add Relation";
inline constexpr std::string_view kMenuClearDiscoveryHistory = "Clear Discovery History";
inline constexpr std::string_view kMenuDeleteRelation = "Delete Relation";
inline constexpr std::string_view kMenuEnable = "Enable BOOTP/DHCP";
inline constexpr std::string_view kMenuDisable = "Disable BOOTP/DHCP";
inline constexpr std::string_view kMenuResetModule =
    "Reset Module's Network Settings to Factory Defaults";
inline constexpr std::string_view kMenuProperties = "Properties";
inline constexpr std::string_view kMenuHelpTopics = "Help Topics\t\tF1";
inline constexpr std::string_view kMenuAbout = "&About Corvessa";

// Context menus
inline constexpr std::string_view kHistoryMenuTitle = "IP Request Menu";
inline constexpr std::string_view kRelationMenuTitle = "Relation_List_Menu";
inline constexpr std::string_view kMenuClearHistory = "Clear History";
inline constexpr std::string_view kMenuDelete = "Delete";

// Buttons of the main window
inline constexpr std::string_view kButtonAddRelation = "Add Relation";
inline constexpr std::string_view kButtonClearHistory = "Clear History";
inline constexpr std::string_view kButtonDeleteRelation = "Delete Relation";
inline constexpr std::string_view kButtonEnable = "Enable BOOTP/DHCP";
inline constexpr std::string_view kButtonDisable = "Disable BOOTP/DHCP";

// File dialogs: shown text and pattern alternate, two bars end the list.
inline constexpr std::string_view kLoadFilter =
    "Bootp Config Files (*.bpc)|*.bpc|Comma-Separated Value Files (*.csv)|*.csv|"
    "All Possible Config Files (*.bpc; *.csv)|*.bpc;*.csv|All Files (*.*)|*.*||";
inline constexpr std::string_view kSaveFilter =
    "Bootp Config Files (*.bpc)|*.bpc|Comma-Separated Value Files (*.csv)|*.csv||";
inline constexpr std::string_view kDefaultExtension = "bpc";

}  // namespace corvessa::text
