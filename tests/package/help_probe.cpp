// A probe that the installed, unchanged program loads as a Qt generic plugin
// (QT_QPA_GENERIC_PLUGINS=corvessaprobe, QT_PLUGIN_PATH naming its folder):
// once the main window is up it presses F1 there, as a user would, and notes
// what follows in the file CORVESSA_PROBE_OUT, one line each:
//   window <title>       the main window showed and got F1
//   message <text>       a message box showed this text (line ends as \n)
// It answers each box with OK. The test that started the program ends it.

#include <QApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

class Probe : public QObject {
 public:
  Probe() : out_(qEnvironmentVariable("CORVESSA_PROBE_OUT")) {
    if (!out_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) return;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &Probe::Look);
    timer->start(100);
  }

 private:
  void Note(const QString& line) {
    QString escaped = line;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    out_.write((escaped + QLatin1Char('\n')).toUtf8());
  }

  void Look() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box != nullptr && box->isVisible()) {
        Note(QLatin1String("message ") + box->text());
        box->accept();
        return;
      }
    }
    if (pressed_) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || !modal->windowTitle().startsWith(QLatin1String("Corvessa"))) {
      return;
    }
    Note(QLatin1String("window ") + modal->windowTitle());
    pressed_ = true;
    QTest::keyClick(modal, Qt::Key_F1);
  }

  QFile out_;
  bool pressed_ = false;
};

class ProbePlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "help_probe.json")

 public:
  QObject* create(const QString& key, const QString&) override {
    return key == QLatin1String("corvessaprobe") ? new Probe : nullptr;
  }
};

}  // namespace

#include "help_probe.moc"
