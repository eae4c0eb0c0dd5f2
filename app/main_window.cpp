#include "app/main_window.h"

#include <cstdlib>
#include <filesystem>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "app/commissioning_runner.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/network_dialogs.h"
#include "app/scan_control.h"
#include "core/address.h"
#include "core/settings_names.h"
#include "files/widgets/kea_export_dialog.h"
#include "netconfig/firewall.h"
#include "netconfig/host_network.h"
#include "netconfig/link_watch.h"
#include "netconfig/startup_checks.h"
#include "relations/widgets/relation_editor.h"
#include "server/server_runtime.h"
#include "ui/network_settings_store.h"
#include "ui/user_folders.h"
#include "ui/file_dialogs.h"
#include "ui/widgets/history_model.h"
#include "ui/widgets/qt_file_dialogs.h"
#include "ui/widgets/qt_prompts.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/relation_model.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

// Room for the rows the user works with; the window itself has a fixed size.
constexpr int kListWidth = 720;
constexpr int kListHeight = 190;
constexpr int kStatusLines = 2;
constexpr int kCounterWidth = 110;

}  // namespace

// What the server reports between requests.
class MainWindow::ServerHooks final : public ServerReports {
 public:
  explicit ServerHooks(MainWindow& window) : window_(window) {}
  void ServerStatus(std::string_view text) override { window_.StatusLine(text); }
  void SocketChanged() override { window_.SocketChanged(); }
  void ScheduleRebind(std::chrono::milliseconds delay) override {
    window_.rebindTimer_.start(static_cast<int>(delay.count()));
  }
  // The next start names the address the interface has now.
  void ServerAddressMoved(std::string_view interfaceName, std::uint32_t address) override {
    (void)window_.store_.SetString(interfaceName, settings_names::kIpAddress, IpToText(address));
  }
  void ProbeChanged() override { window_.ProbeChanged(); }
  void ScheduleProbeCheck(std::chrono::steady_clock::time_point deadline) override {
    window_.ScheduleProbeCheck(deadline);
  }

 private:
  MainWindow& window_;
};

// The relation counter follows the relations.
class MainWindow::SessionHooks final : public SessionObserver {
 public:
  explicit SessionHooks(MainWindow& window) : window_(window) { window_.session_.AddObserver(*this); }
  ~SessionHooks() override { window_.session_.RemoveObserver(*this); }
  void RelationsReset() override { window_.UpdateRelationCounter(); }
  void RelationAdded(Relation&) override { window_.UpdateRelationCounter(); }
  void RelationRemoved() override { window_.UpdateRelationCounter(); }

 private:
  MainWindow& window_;
};

// The relation editor, run modally over the window.
class MainWindow::Editor final : public RelationEditorPort {
 public:
  explicit Editor(MainWindow& window) : window_(window) {}
  std::unique_ptr<Relation> Edit(const RelationEditorRequest& request) override {
    RelationEditor editor(*window_.prompts_, &window_);
    editor.RelationEditorInit(request);
    if (editor.exec() != QDialog::Accepted) return nullptr;
    return editor.TakeRelation();
  }

 private:
  MainWindow& window_;
};

// The options dialog of the export to Kea (a test's script when given).
class MainWindow::KeaDialog final : public KeaOptionsPort {
 public:
  explicit KeaDialog(MainWindow& window) : window_(window) {}
  bool Ask(KeaOptions& options, int bootpDevices, const std::string& defaultPeerUrl) override {
    if (window_.env_.runKeaExportDialog) return window_.env_.runKeaExportDialog(options, bootpDevices);
    KeaExportDialog dialog(options, defaultPeerUrl, bootpDevices, &window_);
    if (dialog.exec() != QDialog::Accepted) return false;
    options = dialog.Options();
    return true;
  }

 private:
  MainWindow& window_;
};

namespace {

std::string RecoveryFolderOf(const Environment& environment) {
  if (!environment.stateFolder.empty()) return environment.stateFolder;
  return (std::filesystem::path(UserStateFolder()) / settings_names::kApplicationName).string();
}

}  // namespace

MainWindow::MainWindow(Environment environment, QWidget* parent)
    : QDialog(parent),
      env_(std::move(environment)),
      store_(env_.settingsPath.empty() ? SettingsStore::DefaultPath() : env_.settingsPath),
      recoveryStore_(RecoveryFolderOf(env_)),
      fileCommands_(session_, *this, &recoveryStore_) {
  if (env_.prompts != nullptr) {
    prompts_ = env_.prompts;
  } else {
    ownPrompts_ = std::make_unique<QtPrompts>(this);
    prompts_ = ownPrompts_.get();
  }
  if (env_.fileDialogs != nullptr) {
    fileDialogs_ = env_.fileDialogs;
  } else {
    ownFileDialogs_ = std::make_unique<QtFileDialogs>(this);
    fileDialogs_ = ownFileDialogs_.get();
  }
  if (env_.host != nullptr) {
    host_ = env_.host;
  } else {
    ownHost_ = std::make_unique<HostNetwork>();
    host_ = ownHost_.get();
  }
  if (env_.firewall != nullptr) {
    firewall_ = env_.firewall;
  } else {
    ownFirewall_ = std::make_unique<HostFirewallPolicyReader>();
    firewall_ = ownFirewall_.get();
  }
  if (env_.networkDialogs != nullptr) {
    networkDialogs_ = env_.networkDialogs;
  } else {
    ownNetworkDialogs_ = std::make_unique<QtNetworkDialogs>(store_, *prompts_, *host_);
    networkDialogs_ = ownNetworkDialogs_.get();
  }

  // Settings are written on the way (interface, first start, network
  // settings); a write that fails must not pass unnoticed.
  store_.SetWriteFailureHandler([this](const std::string& path, const std::string& cause) {
    StatusLine(FormatText(text::kSettingsWriteFailed, path.c_str(), cause.c_str()));
  });

  icon_ = ApplicationIcon();
  CommandHost& commandHost = *this;
  sessionHooks_ = std::make_unique<SessionHooks>(*this);
  editor_ = std::make_unique<Editor>(*this);
  keaDialog_ = std::make_unique<KeaDialog>(*this);
  relationCommands_ = std::make_unique<RelationCommands>(
      session_, rows_,
      RelationCommandsHost{*prompts_, *editor_, [this] { return ServerAddressText(); },
                           [this](int row) { EnsureRelationRowVisible(row); }});
  handoffCommands_ = std::make_unique<HandoffCommands>(session_, commandHost, fileCommands_, *keaDialog_,
                                                       [this] { return CurrentHandoffSource(); });
  recovery_ = std::make_unique<SessionRecovery>(session_, commandHost, fileCommands_, recoveryStore_);
  historyModel_ = std::make_unique<HistoryModel>(history_);
  relationModel_ = std::make_unique<RelationModel>(rows_);
  serverHooks_ = std::make_unique<ServerHooks>(*this);
  runtime_ = std::make_unique<ServerRuntime>(session_.Relations(), session_.Settings(), history_, *serverHooks_,
                                             *host_);

  BuildControls();
  BuildMenus();
  ConnectLists();
  SetUpPaintHold();
  SetUpRebindTimer();
  SetUpAddressProbe();
  SetUpCommissioning();
  SetUpScan();
}

MainWindow::~MainWindow() {
  // A run still going is cancelled, and its threads end, before anything
  // it reports to goes.
  commissioning_.reset();
  // A start-up that ended at a fatal step saves nothing: in the program the
  // process is already gone by then.
  if (started_) SaveNetworkSettings(store_, ReadLastAdapter(store_), session_.Settings());
  // The notifier goes before the socket it watches.
  delete linkNotifier_;
  linkNotifier_ = nullptr;
  linkWatch_.reset();
  rebindTimer_.stop();
  probeTimer_.stop();
  delete probeNotifier_;
  probeNotifier_ = nullptr;
  runtime_->StopServer();

  // The child widgets outlive this body; keep their signals away from the
  // members that go first, and their rows away from the models that go.
  for (QObject* child : {static_cast<QObject*>(historyList_), static_cast<QObject*>(relationList_)}) {
    disconnect(child, nullptr, this, nullptr);
  }
  historyList_->SetModel(nullptr);
  relationList_->SetModel(nullptr);
}

void MainWindow::CallFatalExit(int status) {
  if (env_.fatalExit) {
    env_.fatalExit();
    return;
  }
  // Nothing may run after a fatal start-up failure: no destructors, no save.
  std::_Exit(status);
}

QPushButton* MainWindow::MakeButton(std::string_view label, int id, int tipId) {
  auto* button = new QPushButton(ToQString(label), this);
  SetControlId(button, id);
  button->setAccessibleName(ToQString(label));
  button->setToolTip(ToQString(LoadString(tipId)));
  // The hidden buttons keep their place, so the captions do not jump about.
  QSizePolicy policy = button->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  button->setSizePolicy(policy);
  return button;
}

void MainWindow::BuildControls() {
  setWindowTitle(ToQString(LoadString(kIdsAppTitle)));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  auto* layout = new QVBoxLayout(this);
  menuBar_ = new QMenuBar(this);
  SetControlId(menuBar_, ids::kMainMenu);
  layout->setMenuBar(menuBar_);

  addRelationButton_ = MakeButton(text::kButtonAddRelation, ids::kAddRelationButton, kIdsTipAddRelation);
  clearHistoryButton_ = MakeButton(text::kButtonClearHistory, ids::kClearHistoryButton, kIdsTipClearHistory);
  deleteRelationButton_ =
      MakeButton(text::kButtonDeleteRelation, ids::kDeleteRelationButton, kIdsTipDeleteRelation);
  enableButton_ = MakeButton(text::kButtonEnable, ids::kEnableButton, kIdsTipEnable);
  disableButton_ = MakeButton(text::kButtonDisable, ids::kDisableButton, kIdsTipDisable);

  const auto caption = [this](std::string_view text) {
    auto* label = new QLabel(ToQString(text), this);
    SetControlId(label, ids::kStatic);
    label->setAlignment(Qt::AlignCenter);
    return label;
  };
  // Left, middle and right thirds; the caption sits in the middle one.
  const auto row = [](QWidget* left, QLabel* middle, std::initializer_list<QWidget*> right) {
    auto* grid = new QGridLayout;
    grid->addWidget(left, 0, 0, Qt::AlignLeft);
    grid->addWidget(middle, 0, 1, Qt::AlignCenter);
    auto* rightBox = new QHBoxLayout;
    rightBox->addStretch(1);
    for (QWidget* w : right) rightBox->addWidget(w);
    grid->addLayout(rightBox, 0, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    return grid;
  };

  historyList_ = new Table(this);
  SetControlId(historyList_, ids::kHistoryList);
  historyList_->SetAccessibleCaption(ToQString(text::kDiscoveryHistory));
  historyList_->SetModel(historyModel_.get());
  historyList_->SetMultiSelection(false);
  historyList_->SetHeaderClickable(false);
  historyList_->setMinimumSize(kListWidth, kListHeight);

  relationList_ = new Table(this);
  SetControlId(relationList_, ids::kRelationList);
  relationList_->SetAccessibleCaption(ToQString(text::kEnteredRelations));
  relationList_->SetModel(relationModel_.get());
  relationList_->SetMultiSelection(true);
  relationList_->SetHeaderClickable(true);
  relationList_->setMinimumSize(kListWidth, kListHeight);

  layout->addLayout(row(addRelationButton_, caption(text::kDiscoveryHistory), {clearHistoryButton_}));
  layout->addWidget(historyList_);
  layout->addLayout(
      row(deleteRelationButton_, caption(text::kEnteredRelations), {enableButton_, disableButton_}));
  layout->addWidget(relationList_);

  auto* errors = new QGroupBox(ToQString(text::kErrorsAndWarnings), this);
  SetControlId(errors, ids::kStatic);
  statusLine_ = new QLabel(ToQString(text::kListening), errors);
  SetControlId(statusLine_, ids::kStatusLine);
  statusLine_->setWordWrap(true);
  statusLine_->setTextFormat(Qt::PlainText);
  // Long texts wrap or are cut; they never widen the fixed window.
  statusLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  statusLine_->setFixedHeight(statusLine_->fontMetrics().lineSpacing() * kStatusLines);
  (new QVBoxLayout(errors))->addWidget(statusLine_);

  auto* relations = new QGroupBox(ToQString(text::kRelationsGroup), this);
  SetControlId(relations, ids::kStatic);
  relationCounter_ = new QLabel(relations);
  SetControlId(relationCounter_, ids::kRelationCounter);
  relationCounter_->setTextFormat(Qt::PlainText);
  relationCounter_->setMinimumWidth(kCounterWidth);
  relationCounter_->setFixedHeight(statusLine_->fontMetrics().lineSpacing() * kStatusLines);
  (new QVBoxLayout(relations))->addWidget(relationCounter_);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(errors, 1);
  bottom->addWidget(relations, 0);
  layout->addLayout(bottom);

  setFixedSize(sizeHint());
}

void MainWindow::ConnectLists() {
  // The buttons follow both lists on exactly these notifications.
  for (Table* list : {historyList_, relationList_}) {
    connect(list, &Table::FocusEntered, this, &MainWindow::UpdateButtons);
    connect(list, &Table::FocusLeft, this, &MainWindow::UpdateButtons);
    connect(list, &Table::RowsInserted, this, &MainWindow::UpdateButtons);
    connect(list, &Table::ItemChanged, this, &MainWindow::UpdateButtons);
  }
  connect(historyList_, &Table::Clicked, this, [this](int) { UpdateButtons(); });

  connect(historyList_, &Table::DoubleClicked, this, [this](int) { OnHistoryDoubleClick(); });
  connect(relationList_, &Table::DoubleClicked, this, [this](int) { OnRelationListDoubleClick(); });
  connect(relationList_, &Table::ColumnClicked, this, &MainWindow::OnRelationColumnClick);
  // Through the dispatcher, which refuses it while a command runs.
  connect(relationList_, &Table::DeleteKeyPressed, this, [this] { OnCommand(ids::kDeleteRelation); });
  connect(historyList_, &Table::RightClicked, this,
          [this](int, QPoint position) { OnHistoryRightClick(position); });
  connect(relationList_, &Table::RightClicked, this,
          [this](int, QPoint position) { OnRelationRightClick(position); });

  const std::pair<QPushButton*, int> buttons[] = {
      {addRelationButton_, ids::kAddRelationButton}, {clearHistoryButton_, ids::kClearHistoryButton},
      {deleteRelationButton_, ids::kDeleteRelationButton}, {enableButton_, ids::kEnableButton},
      {disableButton_, ids::kDisableButton}};
  for (const auto& [button, id] : buttons) {
    connect(button, &QPushButton::clicked, this, [this, id = id] { OnCommand(id); });
  }
}

bool MainWindow::StatusLine(std::string_view text) {
  if (statusLine_ == nullptr) return false;
  statusLine_->setText(ToQString(text));
  // Loading and saving hold the thread while they read and write; their
  // progress must show at once, not when the event loop next runs. Request
  // handling returns to the event loop at once, which paints the text anyway.
  if (!handlingSocketEvents_) statusLine_->repaint();
  return true;
}

std::string MainWindow::ServerAddressText() const {
  // The interface the server runs on, and the address remembered for it.
  return ReadInterfaceAddressText(store_, ReadLastAdapter(store_));
}

HandoffSource MainWindow::CurrentHandoffSource() const {
  // The interface the server runs on and its address there; before the server
  // has been set up, the address remembered for the interface.
  HandoffSource source{session_.Relations(), session_.Settings(), ReadLastAdapter(store_),
                       runtime_->Identity().ServerAddressHostOrder()};
  if (source.serverAddress == 0) source.serverAddress = ParseDottedIp(ServerAddressText()).value_or(0);
  return source;
}

std::string MainWindow::StatusText() const { return ToStdString(statusLine_->text()); }

void MainWindow::UpdateTitle() {
  std::string title(LoadString(kIdsAppTitle));
  if (!session_.CurrentFileName().empty()) {
    title += text::kTitleSeparator;
    title += session_.CurrentFileName();
  }
  setWindowTitle(ToQString(title));
}

QWidget* MainWindow::Control(int id) const {
  for (QWidget* widget : findChildren<QWidget*>()) {
    if (ControlIdOf(widget) == id) return widget;
  }
  return nullptr;
}

}  // namespace corvessa
