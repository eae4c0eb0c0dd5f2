#pragma once
// The main window (the product's CProvanDlg, dialog template 145): a thin
// layer over the Qt-free session. It lays out the two lists, the buttons, the
// menus and the status line, wires each command to the session's commands
// (FileCommands, RelationCommands, HandoffCommands, SessionRecovery) and the
// server (ServerRuntime), and shows what they report. Its initialisation
// (OnInitDialog) is the start-up sequence; every command reaches it through
// OnCommand.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QDialog>
#include <QIcon>
#include <QTimer>

#include "app/environment.h"
#include "core/strings.h"
#include "enip/enip_context.h"
#include "relations/relation_rows.h"
#include "server/history.h"
#include "server/server_runtime.h"
#include "session/command_host.h"
#include "session/file_commands.h"
#include "session/handoff_commands.h"
#include "session/recovery.h"
#include "session/relation_commands.h"
#include "session/session.h"
#include "session/session_rows.h"
#include "ui/settings_store.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QSocketNotifier;

namespace corvessa {

class CommissioningDialog;
class CommissioningRunner;
class FileDialogs;
class FirewallPolicyReader;
class HistoryModel;
class HostNetwork;
class LinkWatch;
class NetworkDialogs;
class Prompts;
class RelationModel;
class ScanControl;
class Table;
struct WindowState;
enum class CommissionCommand : std::uint8_t;

class MainWindow : public QDialog, private CommandHost {
  Q_OBJECT

 public:
  explicit MainWindow(Environment environment = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The start-up sequence. False when it stopped at a fatal step (only
  // possible when the injected fatal exit returns).
  bool OnInitDialog();
  // OnInitDialog, then the modal loop; the dialog's result.
  int DoModal();
  // The columns of both lists (a step of OnInitDialog).
  void SetupLists();

  // Runs a menu, context-menu, button or key command by its number. False
  // for a number that is no command of this window.
  bool OnCommand(int id);
  // One datagram handled as its read event would handle it: the request, its
  // status text, and the relation list following a served relation (tests
  // and benchmarks drive the window with it).
  void HandleDatagram(const std::uint8_t* data, std::size_t length);

  // --- The window's own parts of the commands ---
  bool StatusLine(std::string_view text) override;
  std::string StatusText() const;
  // Brings the relation list back into table order and the user's sort.
  void RefreshRelationList();
  void UpdateRelationCounter();
  void SortRelations(int column);
  void UpdateButtons();
  int RelationListLastFullyVisibleRow() const;
  void EnsureRelationRowVisible(int row);
  // "Corvessa", or "Corvessa - <CurrentFileName>" when a file is named.
  void UpdateTitle() override;

  // --- Handlers ---
  void OnAddRelation();
  bool OnProperties();
  void OnDeleteRelation();
  void OnHistoryDoubleClick();
  void OnRelationListDoubleClick();
  void OnRelationColumnClick(int column);

  void OnEnableBootpDhcp();
  void OnDisableBootpDhcp();
  void OnButtonEnable();
  void OnButtonDisable();
  // Enable or Disable BOOTP/DHCP is going on off the window's thread.
  bool CommissioningRunning() const;
  void CancelCommissioning();
  // The progress and summary window of the commissioning commands.
  CommissioningDialog& CommissioningProgress() const { return *commissioningDialog_; }

  void OnResetNetworkSettings();
  // Gives the addresses of the selected relations that are in conflict again.
  void OnConfirmAddress();
  // Selected relations whose address is not given until the user confirms it.
  int SelectedInConflict() const;
  void OnClearHistory();
  void OnSelectInterface();
  void OnNetworkSettings();
  void LoadNetworkSettings(std::string_view section);
  void OnHelpTopics();
  void OnAbout();

  // --- The identity scan (View menu) ---
  ScanControl& Scanner() { return *scan_; }

  // --- Ending from outside: signals and the end of the desktop session ---
  // Ends the window as the close path does, without a question: every
  // dialog over it returns as if cancelled, then its own loop ends.
  void EndSession();
  // Once every loop has returned after EndSession (DoModal calls it): keeps
  // unsaved changes as a recovery copy, or removes a copy that is no longer
  // needed.
  void FinishSession();
  bool Ending() const { return ending_; }
  // The session manager asks to save: the save question where the session
  // allows one, else the recovery copy. False to cancel the end of the session.
  bool OnCommitData(bool mayAsk);

  // --- State, for tests and the benchmarks ---
  Session& CurrentSession() { return session_; }
  FileCommands& Files() { return fileCommands_; }
  RelationTable& Relations() { return session_.Relations(); }
  const NetworkSettings& Settings() const { return session_.Settings(); }
  bool Modified() const { return session_.Modified(); }
  const std::string& CurrentFileName() const { return session_.CurrentFileName(); }
  HistoryList& History() { return history_; }
  ServerRuntime& Runtime() { return *runtime_; }
  SettingsStore& Store() { return store_; }
  // Port, time limits, pause and sockets of Enable/Disable BOOTP/DHCP. The
  // run reports to the window itself: status line, boxes and busy cursor set
  // here are not used.
  EnipContext& EnipSettings() { return enip_; }
  Prompts& MessageBoxes() override { return *prompts_; }
  const RelationRows& Rows() const { return rows_; }

  Table* HistoryTable() const { return historyList_; }
  Table* RelationTableView() const { return relationList_; }
  // The relations of the selected rows, top to bottom.
  std::vector<Relation*> SelectedRelations() const;
  WindowState CurrentState() const;
  // The control or menu action carrying this number, nullptr when none.
  QWidget* Control(int id) const;
  QAction* MenuAction(int id) const;
  QMenuBar* MenuBar() const { return menuBar_; }
  // Sets every command of `menu` enabled or greyed by the rules of the window.
  void UpdateMenuEnabling(QMenu& menu);
  // The pop-ups of the two lists; the chosen command runs.
  void OnHistoryRightClick(const QPoint& globalPosition);
  void OnRelationRightClick(const QPoint& globalPosition);

 protected:
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class ServerHooks;
  class SessionHooks;
  class Editor;
  class KeaDialog;

  // CommandHost
  FileDialogs& FileChooser() override { return *fileDialogs_; }
  void ClearHistory() override { OnClearHistory(); }
  void EndWindow() override { QDialog::done(QDialog::Rejected); }

  // Ends the process at once with `status` (the injected fatal exit in tests).
  void CallFatalExit(int status);
  bool FatalStartup(std::string_view text, std::string_view caption);
  // Sets up the server on the interface; a failure ends the program.
  bool StartServer(const std::string& interfaceName);
  QPushButton* MakeButton(std::string_view label, int id, int tipId);
  void BuildControls();
  void BuildMenus();
  // The View menu, before Help: Scan, Scan Every 10 s, Devices on the Network.
  void BuildViewMenu();
  void SetUpScan();
  // False for a number that is none of the scan's commands.
  bool OnScanCommand(int id);
  // Another interface, another network.
  void ForgetScannedDevices();
  void ConnectLists();
  void SocketChanged();
  void OnSocketActivated();
  // The address probe: its socket's read events and its deadline.
  void SetUpAddressProbe();
  void ProbeChanged();
  void ScheduleProbeCheck(std::chrono::steady_clock::time_point deadline);
  void OnProbeActivated();
  void OnProbeTimer();
  void ShowProbeOutcomes(const std::vector<RequestOutcome>& outcomes);
  // The interface watch: the chosen interface going, coming back, changing
  // its address; and the timer of a bind that is tried again.
  void StartInterfaceWatch();
  void OnInterfaceWatchActivated();
  void SetUpRebindTimer();
  // Warns when the host's firewall drops the requests on the interface.
  void RunPortFirewallCheck(std::string_view interfaceName);
  void SetUpPaintHold();
  void OnPaintHoldOver();
  void SetRequestViewsUpdatesEnabled(bool enabled);
  void RunPopup(QMenu& menu, const QPoint& globalPosition);
  void SetUpCommissioning();
  // False when nothing started: no selection (the box has been shown) or a
  // run is going already.
  bool StartCommissioning(CommissionCommand command);
  // A status text of a command's run.
  void ShowCommandProgress(std::string_view text);
  std::string ServerAddressText() const;
  HandoffSource CurrentHandoffSource() const;

  Environment env_;
  SettingsStore store_;
  std::unique_ptr<Prompts> ownPrompts_;
  std::unique_ptr<FileDialogs> ownFileDialogs_;
  std::unique_ptr<HostNetwork> ownHost_;
  std::unique_ptr<FirewallPolicyReader> ownFirewall_;
  std::unique_ptr<NetworkDialogs> ownNetworkDialogs_;
  Prompts* prompts_ = nullptr;
  FileDialogs* fileDialogs_ = nullptr;
  const HostNetwork* host_ = nullptr;
  FirewallPolicyReader* firewall_ = nullptr;
  NetworkDialogs* networkDialogs_ = nullptr;

  // The session and what follows it; the lists' models are made with the
  // widgets and go before them.
  Session session_;
  RelationRows rows_;
  SessionRows sessionRows_{session_, rows_};
  std::unique_ptr<SessionHooks> sessionHooks_;
  std::unique_ptr<Editor> editor_;
  std::unique_ptr<KeaDialog> keaDialog_;
  RecoveryStore recoveryStore_;
  FileCommands fileCommands_;
  std::unique_ptr<RelationCommands> relationCommands_;
  std::unique_ptr<HandoffCommands> handoffCommands_;
  std::unique_ptr<SessionRecovery> recovery_;
  HistoryList history_;
  std::unique_ptr<HistoryModel> historyModel_;
  std::unique_ptr<RelationModel> relationModel_;
  EnipContext enip_;
  std::unique_ptr<ServerHooks> serverHooks_;
  std::unique_ptr<ServerRuntime> runtime_;
  std::unique_ptr<CommissioningRunner> commissioning_;
  std::unique_ptr<ScanControl> scan_;
  CommissioningDialog* commissioningDialog_ = nullptr;
  // Start-up went past the last fatal step: the destructor may save.
  bool started_ = false;
  // The session is ending (EndSession ran).
  bool ending_ = false;
  QIcon icon_;

  QMenuBar* menuBar_ = nullptr;
  Table* historyList_ = nullptr;
  Table* relationList_ = nullptr;
  QPushButton* addRelationButton_ = nullptr;
  QPushButton* clearHistoryButton_ = nullptr;
  QPushButton* deleteRelationButton_ = nullptr;
  QPushButton* enableButton_ = nullptr;
  QPushButton* disableButton_ = nullptr;
  QLabel* statusLine_ = nullptr;
  QLabel* relationCounter_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  std::unique_ptr<LinkWatch> linkWatch_;
  QSocketNotifier* linkNotifier_ = nullptr;
  QTimer rebindTimer_;
  QSocketNotifier* probeNotifier_ = nullptr;
  QTimer probeTimer_;
  // Set while read events are handled: the status line then paints with the
  // rest of the window instead of at once.
  bool handlingSocketEvents_ = false;
  // Relations served while read events were handled; the relation list
  // follows them once, after the last event.
  std::vector<Relation*> servedInBatch_;
  // Runs for one paint interval after read events painted; while it runs,
  // the lists and status line do not paint (requestViewsHeld_).
  QTimer paintHold_;
  bool requestViewsHeld_ = false;
};

}  // namespace corvessa
