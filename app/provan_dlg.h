#pragma once
// The main window. It owns all state of the running program: both lists, the
// relation table, the network settings, the server runtime (socket, identity,
// request counter, lock), Modified and CurrentFileName. Its initialisation is
// the start-up sequence; every command reaches it through OnCommand.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QDialog>
#include <QIcon>
#include <QTimer>

#include "app/environment.h"
#include "core/network_settings.h"
#include "core/strings.h"
#include "enip/enip_context.h"
#include "relations/relation_table.h"
#include "server/history.h"
#include "ui/settings_store.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QSocketNotifier;

namespace corvessa {

class CCommissioningDlg;
class CommissioningRunner;
class FileDialogs;
class FirewallPolicyReader;
class HistoryModel;
class HostNetwork;
class LinkWatch;
class NetworkDialogs;
class Prompts;
class ServerRuntime;
class Table;
struct WindowState;
enum class CommissionCommand : std::uint8_t;

class CProvanDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CProvanDlg(Environment environment = {}, QWidget* parent = nullptr);
  ~CProvanDlg() override;

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

  // --- What the server and the relation commands use ---
  bool StatusLine(std::string_view text);
  std::string StatusText() const;
  // Rebuilds the rows from the table and re-sorts them; true when a row could
  // not be built.
  bool RefreshRelationList();
  bool AddRelationRow(Relation* relation, int row);
  void UpdateRelationCounter();
  void SortRelations(int column);
  void UpdateButtons();
  int RelationListLastFullyVisibleRow() const;
  void EnsureRelationRowVisible(int row);

  // --- Handlers ---
  void OnAddRelation();
  bool NewRelation(const std::uint8_t* mac, std::uint8_t macLength, std::uint32_t ip, const char* hostname,
                   std::uint8_t hostnameLength, const char* description, std::uint8_t descriptionLength);
  bool OnProperties();
  void OnDeleteRelation();
  void OnHistoryDoubleClick();
  void OnRelationListDoubleClick();
  void OnRelationColumnClick(int column);

  void OnFileNew();
  void OnFileOpen();
  void OnFileSave();
  void OnFileSaveAs();
  void PromptSaveAndQuit();
  bool LoadConfiguration(bool showDialog);
  bool SaveConfiguration(bool askName);
  // Hand-over to and from a permanent DHCP service (Kea, dnsmasq).
  void OnImportConfiguration();
  void OnExportKea();
  void OnExportDnsmasq();

  void OnEnableBootpDhcp();
  void OnDisableBootpDhcp();
  void OnButtonEnable();
  void OnButtonDisable();
  // Enable or Disable BOOTP/DHCP is going on off the window's thread.
  bool CommissioningRunning() const;
  void CancelCommissioning();
  // The progress and summary window of the commissioning commands.
  CCommissioningDlg& CommissioningProgress() const { return *commissioningDlg_; }

  void OnResetNetworkSettings();
  void OnClearHistory();
  void OnSelectInterface();
  // Before the server moves to another interface: the save question when
  // there are unsaved changes. False when the change must stop; the old
  // interface is then the selected one again.
  bool SaveBeforeInterfaceChange(std::string_view previousInterface);
  void OnNetworkSettings();
  void LoadNetworkSettings(std::string_view section);
  void OnHelpTopics();
  void OnAbout();

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
  // Start-up: offers the relations kept when the program was last ended from
  // outside; true when they were restored.
  bool OfferRecoveryCopy();

  // --- State, for the commands of other files and for tests ---
  RelationTable& Relations() { return table_; }
  HistoryList& History() { return history_; }
  NetworkSettings& Settings() { return settings_; }
  ServerRuntime& Runtime() { return *runtime_; }
  SettingsStore& Store() { return store_; }
  // Port, time limits, pause and sockets of Enable/Disable BOOTP/DHCP. The
  // run reports to the window itself: status line, boxes and busy cursor set
  // here are not used.
  EnipContext& EnipSettings() { return enip_; }
  Prompts& MessageBoxes() { return *prompts_; }
  FileDialogs& Files() { return *fileDialogs_; }
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }
  const std::string& CurrentFileName() const { return currentFileName_; }
  // Keeps at most kMaxFileNameLength characters; false when `name` is longer
  // (CurrentFileName is then left as it was).
  bool SetCurrentFileName(std::string_view name);
  // "Corvessa", or "Corvessa - <CurrentFileName>" when a file is named.
  void UpdateTitle();
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return sortAscending_; }

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

  static constexpr const std::array<std::string_view, 3>& kTypeNames = text::kRelationTypeNames;

 protected:
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class ServerHooks;

  // Ends the process at once with `status` (the injected fatal exit in tests).
  void CallFatalExit(int status);
  QPushButton* MakeButton(std::string_view label, int id, int tipId);
  void BuildControls();
  void BuildMenus();
  void ConnectLists();
  void ApplySort();
  void SocketChanged();
  void OnSocketActivated();
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
  bool FatalStartup(std::string_view text, std::string_view caption);
  void RunFirewallCheckOnFirstStart();
  void RunPopup(QMenu& menu, const QPoint& globalPosition);
  void SetUpCommissioning();
  // False when nothing started: no selection (the box has been shown) or a
  // run is going already.
  bool StartCommissioning(CommissionCommand command);
  // A status text of a command's run.
  void ShowCommandProgress(std::string_view text);

  std::string RecoveryFolder() const;
  // The relation list and the settings as a recovery copy holds them.
  std::vector<std::uint8_t> UnsavedContent() const;
  void KeepRecoveryCopy();
  void RemoveRecoveryCopy();
  // The end of the close path: the window ends and no recovery copy stays.
  void EndCleanly();

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

  std::string currentFileName_;
  RelationTable table_;
  HistoryList history_;
  std::unique_ptr<HistoryModel> historyModel_;
  NetworkSettings settings_;
  EnipContext enip_;
  std::unique_ptr<ServerHooks> hooks_;
  std::unique_ptr<ServerRuntime> runtime_;
  std::unique_ptr<CommissioningRunner> commissioning_;
  CCommissioningDlg* commissioningDlg_ = nullptr;
  int sortColumn_ = -1;
  bool sortAscending_ = true;
  bool modified_ = false;
  // Start-up went past the last fatal step: the destructor may save.
  bool started_ = false;
  // The session is ending (EndSession ran).
  bool ending_ = false;
  // What the user declined to save when the session manager asked; a signal
  // that follows keeps no copy of exactly this.
  std::optional<std::vector<std::uint8_t>> discardedContent_;
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
  // Set while read events are handled: the status line then paints with the
  // rest of the window instead of at once.
  bool handlingSocketEvents_ = false;
  // A served request asked for a rebuild of the relation list while read
  // events were handled.
  bool relationListStale_ = false;
  // Runs for one paint interval after read events painted; while it runs,
  // the lists and status line do not paint (requestViewsHeld_).
  QTimer paintHold_;
  bool requestViewsHeld_ = false;
};

}  // namespace corvessa
