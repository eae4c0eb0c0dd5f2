#pragma once
// Control, command and menu identifiers of the main window. Every control
// carries its identifier as the dynamic property "controlId", and every
// command goes through MainWindow::OnCommand with one of these numbers.

#include <array>
#include <string_view>

namespace corvessa::ids {

// Dialog results that double as commands: Enter and Escape.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
// Captions and frames that have no number of their own.
inline constexpr int kStatic = -1;

// Controls of the main window.
inline constexpr int kHistoryList = 1000;
inline constexpr int kRelationList = 1001;
inline constexpr int kDeleteRelationButton = 1003;
inline constexpr int kClearHistoryButton = 1004;
inline constexpr int kAddRelationButton = 1005;
inline constexpr int kDisableButton = 1017;
inline constexpr int kEnableButton = 1018;
inline constexpr int kStatusLine = 1019;
inline constexpr int kRelationCounter = 1020;

// Menus.
inline constexpr int kMainMenu = 131;
inline constexpr int kHistoryContextMenu = 136;
inline constexpr int kRelationContextMenu = 147;

// File menu.
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFileExit = 57665;
// Hand-over to a permanent DHCP service (File menu).
inline constexpr int kImportConfiguration = 32900;
inline constexpr int kExportKea = 32901;
inline constexpr int kExportDnsmasq = 32902;
// Confirms the address of the selected relations after a conflict (Tools
// menu and the relation list's context menu).
inline constexpr int kConfirmAddress = 32920;
// Tools menu.
inline constexpr int kSelectInterface = 32888;
inline constexpr int kNetworkSettings = 32781;
inline constexpr int kAddRelation = 32794;
inline constexpr int kClearHistory = 32788;
inline constexpr int kDeleteRelation = 32808;
inline constexpr int kEnableBootpDhcp = 32809;
inline constexpr int kDisableBootpDhcp = 32810;
inline constexpr int kResetModule = 32813;
inline constexpr int kProperties = 32811;
// Help menu and F1.
inline constexpr int kHelpTopics = 32824;
inline constexpr int kAbout = 32780;
inline constexpr int kHelp = 57670;
// "Add Relation" of the relation list's context menu.
inline constexpr int kAddRelationContext = 32812;

// View menu: the identity scan and the devices it found.
inline constexpr int kViewMenu = 32910;
inline constexpr int kScan = 32911;
inline constexpr int kScanRepeat = 32912;
inline constexpr int kDevicesWindow = 32913;

// The help file is opened at this anchor.
inline constexpr int kHelpContext = 131217;


}  // namespace corvessa::ids
