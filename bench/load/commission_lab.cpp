#include "bench/load/commission_lab.h"

#include <QApplication>

#include "bench/load/client_socket.h"
#include "bench/load/probe.h"
#include "enip/encap_message.h"
#include "server/server_runtime.h"
#include "ui/widgets/table.h"

namespace corvessa::load {

std::unique_ptr<CommissionLab> CommissionLab::Create(const std::string& tag, int fleetSize, int simulated,
                                                     const enipsim::DeviceConfig& config, std::string& error) {
  std::unique_ptr<CommissionLab> lab(new CommissionLab());
  if (!lab->Build(tag, fleetSize, simulated, config, error)) return nullptr;
  return lab;
}

bool CommissionLab::Build(const std::string& tag, int fleetSize, int simulated, const enipsim::DeviceConfig& config,
                          std::string& error) {
  fleet_ = MakeFleet(fleetSize);
  lab_ = Lab::Create(tag, fleet_, error);
  if (!lab_) return false;

  const testsupport::VethLink& link = lab_->Link();
  {
    // The devices' own addresses on the client end; their simulators listen there.
    testsupport::NamespaceGuard inClient(link.clientNs);
    if (!inClient.ok()) {
      error = "cannot enter the client namespace";
      return false;
    }
    for (int i = 0; i < simulated && i < fleetSize; ++i) {
      const std::uint32_t address = fleet_[static_cast<std::size_t>(i)].ipAddress;
      if (testsupport::Run(testsupport::InNs(link.clientNs, "ip addr add " + DottedText(address) + "/32 dev " +
                                                                link.clientIf)) != 0) {
        error = "cannot give a simulated device its address";
        return false;
      }
      sims_.push_back(std::make_unique<enipsim::DeviceSim>(config, kEnipTcpPort, address));
      if (!sims_.back()->ok()) {
        error = "a simulated device cannot listen on " + DottedText(address);
        return false;
      }
    }
  }

  inServer_ = std::make_unique<testsupport::NamespaceGuard>(link.serverNs);
  if (!inServer_->ok()) {
    error = "cannot enter the server namespace";
    return false;
  }
  Environment environment;
  environment.settingsPath = (lab_->ConfigHome() / "Merrowin Software" / "corvessa.conf").string();
  environment.arguments = {lab_->BpcFile().string()};
  environment.prompts = &prompts_;
  bool fatal = false;
  environment.fatalExit = [&fatal] { fatal = true; };
  window_ = std::make_unique<MainWindow>(std::move(environment));
  // The simulators' addresses all sit on the client namespace's one
  // interface, so each answers with that interface's hardware address rather
  // than its device's own: the address probe would take every simulator for
  // another device holding its address. Real devices answer as themselves.
  window_->Runtime().SetAddressProbing(false);
  if (!window_->OnInitDialog() || fatal || !window_->Runtime().HasSocket()) {
    error = "the main window did not start";
    return false;
  }
  window_->show();
  QApplication::processEvents();
  return true;
}

CommissionLab::~CommissionLab() {
  // The window first: it cancels a run still going and closes its socket.
  window_.reset();
  inServer_.reset();
  sims_.clear();
  lab_.reset();
}

bool CommissionLab::SelectSimulatedDevices() {
  Table& list = *window_->RelationTableView();
  list.ClearSelectionOfRows();
  std::size_t selected = 0;
  for (int row = 0; row < list.RowCount(); ++row) {
    const Relation* relation = window_->Rows().At(row);
    if (relation == nullptr) continue;
    for (std::size_t i = 0; i < sims_.size(); ++i) {
      if (relation->ipAddress == fleet_[i].ipAddress) {
        list.SelectRow(row, true);
        ++selected;
      }
    }
  }
  window_->UpdateButtons();
  return selected == sims_.size();
}

BurstThread::BurstThread(const Lab& lab, BurstPlan plan) {
  thread_ = std::thread([this, &lab, plan = std::move(plan)] {
    testsupport::NamespaceGuard inClient(lab.Link().clientNs);
    ClientSocket socket;
    if (!inClient.ok() || !socket.Open(lab.Link().clientIf)) {
      failure_ = "cannot open the client socket: " + socket.Error();
    } else if (!WaitUntilOffering(socket, plan.listed.front(), std::chrono::seconds(20))) {
      failure_ = "the server offered nothing";
    } else {
      SocketWire wire(socket);
      result_ = RunBurst(plan, wire);
    }
    done_ = true;
  });
}

BurstThread::~BurstThread() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace corvessa::load
