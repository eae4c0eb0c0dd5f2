// Draws the main window with a few example relations and requests and saves
// it as a PNG (the README's picture). Nothing is sent: the server runtime's
// replies go to a recorder.
//
//   QT_QPA_PLATFORM=offscreen app_screenshot docs/main-window.png

#include <cstdio>

#include <QPixmap>

#include "tests/app/window_fixture.h"
#include "ui/widgets/table.h"

using namespace corvessa;
using namespace corvessa::app_test;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file.png>\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  Surroundings surroundings;
  RecordingSender sender;
  MainWindow window(surroundings.Environment());
  window.SetupLists();
  window.Runtime().SetSender(&sender);
  window.CurrentSession().SetSettings(ValidSettings(), false);
  ChangeSettings(window, [&](NetworkSettings& s) { s.gateway = Ip(192, 168, 1, 1); });

  const std::vector<std::uint8_t> plc = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
  const std::vector<std::uint8_t> rack = {0x00, 0x00, 0xBC, 0x2A, 0x7F, 0x10};
  const std::vector<std::uint8_t> drive = {0x0A, 0x00, 0x3C, 0x00, 0x12, 0xAF};
  const std::vector<std::uint8_t> unknown = {0x00, 0x0E, 0x8C, 0x91, 0x44, 0x02};
  window.Relations().Append(MakeRelation(plc, Ip(192, 168, 1, 50), "plc-line4", "Press line 4 controller"));
  window.Relations().Append(MakeRelation(rack, Ip(192, 168, 1, 51), "io-rack2", "Remote I/O rack 2"));
  window.Relations().Append(MakeRelation(drive, Ip(192, 168, 1, 60), "drive7", "Conveyor drive 7"));
  window.RefreshRelationList();
  window.UpdateRelationCounter();

  const auto request = [&](const std::vector<std::uint8_t>& mac, LocalTime at) {
    window.Runtime().SetClock([at] { return at; });
    const std::vector<std::uint8_t> bytes = BootpRequest(mac);
    window.HandleDatagram(bytes.data(), bytes.size());
  };
  request(unknown, {9, 41, 7});
  request(unknown, {9, 41, 12});
  request(rack, {9, 42, 30});
  request(plc, {9, 43, 5});

  window.RelationTableView()->SelectRow(0, false);
  window.UpdateButtons();
  window.show();
  QApplication::processEvents();
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
