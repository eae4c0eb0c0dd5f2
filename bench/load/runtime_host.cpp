#include "bench/load/runtime_host.h"

#include <cstdio>

#include "ui/network_settings_store.h"

namespace corvessa::load {

RuntimeHost::RuntimeHost(const Lab& lab, const std::vector<Device>& fleet)
    : lab_(lab),
      fleet_(fleet),
      store_((lab.ConfigHome() / "Merrowin Software" / "corvessa.conf").string()),
      runtime_(std::make_unique<ServerRuntime>(table_, settings_, history_, *this, host_)) {}

RuntimeHost::~RuntimeHost() {
  notifier_.reset();
  runtime_.reset();
}

bool RuntimeHost::Start() {
  const std::string adapter = ReadLastAdapter(store_);
  if (adapter != lab_.Link().serverIf) return false;
  // This host watches no probe socket or deadline: it measures the request
  // handling alone, so every listed device is answered at once, unprobed.
  runtime_->SetAddressProbing(false);
  if (const auto failure = runtime_->StartServer(adapter, ReadInterfaceAddressText(store_, adapter))) {
    // A start-up failure is printed, never shown.
    std::fprintf(stderr, "Network Setup Warning: %s\n", failure->text.c_str());
    return false;
  }
  settings_ = ReadNetworkSettings(store_, adapter);
  FillRelationTable(fleet_, table_);
  return runtime_->HasSocket();
}

void RuntimeHost::SocketChanged() {
  if (notifier_) {
    // It may be the notifier whose activation is running right now.
    notifier_->setEnabled(false);
    notifier_.release()->deleteLater();
  }
  const int fd = runtime_ ? runtime_->Fd() : -1;
  if (fd < 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(fd), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    if (const auto outcome = runtime_->OnServerSocketEvent()) status_ = outcome->statusText;
  });
}

}  // namespace corvessa::load
