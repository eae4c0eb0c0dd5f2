#pragma once
// The identity scan as the window runs it: the Scan command, its repetition
// every 10 s, the presence it gives the relation list and the window of the
// devices on the network. Nothing blocks: the scan's socket is watched by a
// QSocketNotifier and its end is a single-shot timer at its deadline.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "enip/identity_scan.h"
#include "relations/relation_entry.h"
#include "session/device_presence.h"
#include "ui/settings_store.h"

class QSocketNotifier;
class QWidget;

namespace corvessa {

class DevicesWindow;

// What the scan needs of the window around it.
struct ScanControlHost {
  std::function<void(std::string_view text)> status;
  // The interface the server runs on; empty when it runs on none.
  std::function<std::string()> interfaceName;
  // The relation editor over the window, through the relation commands.
  std::function<void(const RelationEntry& initial)> addRelation;
  SettingsStore& store;
  QWidget* parent = nullptr;
};

class ScanControl : public QObject {
  Q_OBJECT

 public:
  static constexpr int kRepeatIntervalMs = 10000;

  ScanControl(Session& session, RelationRows& rows, ScanControlHost host);
  ~ScanControl() override;

  // The Scan command. False when none started: no interface, a scan running
  // already, or a failed start (the status line says which).
  bool Scan();
  bool Scanning() const { return scan_.Running(); }
  // The option "Scan Every 10 s", remembered for the next start; turned on,
  // it scans at once.
  void SetRepeat(bool repeat);
  bool Repeat() const { return repeat_; }
  // Opens the window of the devices on the network, or brings it up.
  void ShowDevices();
  // nullptr until it was first opened.
  DevicesWindow* Devices() const;
  // The devices of a finished scan, as if it had just ended (tests give a
  // fixed one). `automatic`: a repetition, which writes the status line only
  // when what answered changed.
  void ShowScanResult(std::vector<ScannedDevice> devices, bool automatic = false);
  // The server moved to another interface: nothing seen so far counts.
  void Forget();
  // A new relation for the device of the window's row.
  void AddAsRelation(int row);
  DevicePresence& Presence() { return presence_; }

 signals:
  void RepeatChanged(bool repeat);

 private:
  bool StartScan(bool automatic);
  void OnReadable();
  void OnDeadline();
  void ScheduleRepeat();

  DevicePresence presence_;
  ScanControlHost host_;
  IdentityScan scan_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer deadline_;
  QTimer repeatTimer_;
  bool repeat_ = false;
  bool automatic_ = false;
  std::string scannedInterface_;
  std::vector<ScannedDevice> last_;
  QPointer<DevicesWindow> window_;
};

}  // namespace corvessa
