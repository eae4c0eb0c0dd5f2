#include "app/scan_control.h"

#include <cstring>

#include <QSocketNotifier>

#include "core/strings.h"
#include "enip/scan_texts.h"
#include "enip/widgets/devices_window.h"
#include "netconfig/startup_settings.h"

namespace corvessa {

namespace {

bool Blank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

std::string AnsweredText(std::size_t count, const std::string& interfaceName) {
  if (count == 0) return FormatText(scan_text::kAnsweredNone, interfaceName.c_str());
  if (count == 1) return FormatText(scan_text::kAnsweredOne, interfaceName.c_str());
  return FormatText(scan_text::kAnsweredMany, static_cast<int>(count), interfaceName.c_str());
}

}  // namespace

ScanControl::ScanControl(Session& session, RelationRows& rows, ScanControlHost host)
    : presence_(session, rows), host_(std::move(host)) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, &ScanControl::OnDeadline);
  repeatTimer_.setSingleShot(true);
  repeatTimer_.setInterval(kRepeatIntervalMs);
  connect(&repeatTimer_, &QTimer::timeout, this, [this] {
    if (repeat_ && !StartScan(true)) ScheduleRepeat();
  });
  presence_.SetDevicesChanged([this] {
    if (window_) window_->Reload();
  });
  repeat_ = host_.store.GetDword(startup_settings::kApplicationSection, startup_settings::kScanRepeat) != 0;
  // The first repetition comes once the window runs; its server is set up by then.
  if (repeat_) ScheduleRepeat();
}

ScanControl::~ScanControl() {
  // The window reads the rows of the presence, which goes with this object.
  delete window_.data();
  delete notifier_;
}

bool ScanControl::Scan() { return StartScan(false); }

bool ScanControl::StartScan(bool automatic) {
  if (scan_.Running()) return false;
  const std::string interfaceName = host_.interfaceName ? host_.interfaceName() : std::string();
  if (Blank(interfaceName)) {
    if (!automatic) host_.status(scan_text::kNoInterface);
    return false;
  }
  if (!scannedInterface_.empty() && interfaceName != scannedInterface_) Forget();
  if (!scan_.Start(interfaceName, IdentityScan::Clock::now())) {
    host_.status(FormatText(scan_text::kStartFailed, interfaceName.c_str(), std::strerror(scan_.Error())));
    return false;
  }
  automatic_ = automatic;
  scannedInterface_ = interfaceName;
  repeatTimer_.stop();
  notifier_ = new QSocketNotifier(static_cast<qintptr>(scan_.Fd()), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &ScanControl::OnReadable);
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(scan_.Deadline() -
                                                                          IdentityScan::Clock::now());
  deadline_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
  if (!automatic) host_.status(FormatText(scan_text::kScanning, interfaceName.c_str()));
  return true;
}

void ScanControl::OnReadable() {
  if (scan_.Running()) scan_.OnReadable();
}

void ScanControl::OnDeadline() {
  // The notifier goes before the socket it watches.
  delete notifier_;
  notifier_ = nullptr;
  if (!scan_.Running()) return;
  ShowScanResult(scan_.Finish(), automatic_);
  ScheduleRepeat();
}

void ScanControl::ShowScanResult(std::vector<ScannedDevice> devices, bool automatic) {
  // A repetition that found what the last scan found keeps the status line
  // for the server's own reports.
  const bool changed = devices != last_;
  last_ = devices;
  const std::size_t count = devices.size();
  presence_.ShowScan(std::move(devices));
  if (!automatic || changed) host_.status(AnsweredText(count, scannedInterface_));
}

void ScanControl::ScheduleRepeat() {
  if (repeat_ && !scan_.Running()) repeatTimer_.start();
}

void ScanControl::SetRepeat(bool repeat) {
  if (repeat != repeat_) {
    repeat_ = repeat;
    (void)host_.store.SetDword(startup_settings::kApplicationSection, startup_settings::kScanRepeat,
                               repeat ? 1u : 0u);
    emit RepeatChanged(repeat);
  }
  if (!repeat_) {
    repeatTimer_.stop();
  } else if (!scan_.Running()) {
    StartScan(true);
  }
}

void ScanControl::Forget() {
  last_.clear();
  presence_.Forget();
}

DevicesWindow* ScanControl::Devices() const { return window_.data(); }

void ScanControl::ShowDevices() {
  if (!window_) {
    window_ = new DevicesWindow(presence_.Devices(), host_.parent);
    connect(window_, &DevicesWindow::AddAsRelationRequested, this, &ScanControl::AddAsRelation);
    connect(window_, &DevicesWindow::AcknowledgeRequested, this, [this](int row) { presence_.Acknowledge(row); });
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void ScanControl::AddAsRelation(int row) {
  const std::optional<RelationEntry> entry = presence_.Candidate(row);
  if (entry && host_.addRelation) host_.addRelation(*entry);
}

}  // namespace corvessa
