// The main window's MIDI devices: menus that list the ports there when they open, the status-bar
// panel with each device's state, the message box on a device's first failure, a device that goes
// and comes back, and the devices of MIDI channels 17-32 and 33-48 on the "MIDI Out" options page.
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "app/main_window_menus.h"
#include "app/options_dialog.h"
#include "main_window_rig.h"
#include "midi/device_session.h"

using namespace varnel;
using namespace varnel::test;

namespace {

QAction* Item(QMenu* menu, const QString& text) {
  for (QAction* item : menu->actions())
    if (item->text() == text) return item;
  return nullptr;
}

QStringList Texts(QMenu* menu) {
  QStringList texts;
  for (QAction* item : menu->actions()) texts << item->text();
  return texts;
}

// The panel says each device's state in a word; its tool tip says why.
QString Panel(WindowRig& rig) { return rig.window->findChild<QLabel*>("StatusDevices")->text(); }
QString PanelTip(WindowRig& rig) { return rig.window->findChild<QLabel*>("StatusDevices")->toolTip(); }

// What the session hears from a device gets to the window through posted events.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QTest::qWait(1);
  }
}

void RunOptions(WindowRig& rig, const std::function<void(TOptionsForm&)>& inside) {
  QTimer::singleShot(0, rig.window.get(), [&rig, inside] { inside(*rig.window->OptionsForm()); });
  rig.Trigger("Options");
}

}  // namespace

class MainWindowDevicesTest : public QObject {
  Q_OBJECT

 private slots:
  void menus_listThePortsThereWhenTheyOpen();
  void deviceGoesAndReturns_panelAndNoticeSaySo_notesEndOnReturn();
  void failedOpen_keepsItsMessage_noticeUnlessWarningsDisabled();
  void midiOutPage_secondAndThirdDevices_applyAndPersist();
};

void MainWindowDevicesTest::menus_listThePortsThereWhenTheyOpen() {
  WindowRig rig;
  QMenu* outs = rig.window->Commands().OutDeviceMenu;
  QMenu* ins = rig.window->Commands().InDeviceMenu;
  QCOMPARE(Texts(outs), (QStringList{"MIDI Mapper", "Recorder"}));
  QCOMPARE(Panel(rig), QStringLiteral("Out: MIDI Mapper  |  In: None"));

  // Ports started after the program appear the next time the menus open.
  rig.backend.outputs.push_back("Late & Port");
  rig.backend.inputs.push_back("Late Keys");
  emit outs->aboutToShow();
  emit ins->aboutToShow();
  QCOMPARE(Texts(outs), (QStringList{"MIDI Mapper", "Recorder", "Late && Port"}));
  QCOMPARE(Texts(ins), (QStringList{"None", "Recorder In", "Late Keys"}));
  Item(outs, "Late && Port")->trigger();
  Item(ins, "Late Keys")->trigger();
  const DeviceSession& session = rig.window->Devices().Session();
  QCOMPARE(session.Status(0).name, std::string("Late & Port"));
  QCOMPARE(session.Status(0).state, DeviceState::Open);
  QCOMPARE(session.Status(DeviceSession::InputSlot).state, DeviceState::Open);
  QCOMPARE(Panel(rig), QStringLiteral("Out: Late & Port  |  In: Late Keys"));

  // Chosen by name: the port moves in the list, the choice stays with it.
  rig.backend.outputs = {"Late & Port", "Recorder"};
  emit outs->aboutToShow();
  QVERIFY(Item(outs, "Late && Port")->isChecked());
  QVERIFY(!Item(outs, "Recorder")->isChecked());
}

void MainWindowDevicesTest::deviceGoesAndReturns_panelAndNoticeSaySo_notesEndOnReturn() {
  WindowRig rig;
  QMenu* outs = rig.window->Commands().OutDeviceMenu;
  Item(outs, "Recorder")->trigger();
  rig.Song().SetCellData(0, 0, 60);
  rig.Trigger("PlayPause");
  rig.clock.Advance();
  QVERIFY(rig.Sent().contains("90 3C 64"));

  Item(rig.window->Commands().InDeviceMenu, "Recorder In")->trigger();
  rig.backend.Vanish("Recorder");  // the ports go while the note sounds (their system stopped, say)
  rig.backend.Vanish("Recorder In");
  Settle();
  QCOMPARE(Panel(rig), QStringLiteral("Out: Recorder (missing)  |  In: Recorder In (missing)"));
  QCOMPARE(PanelTip(rig), QStringLiteral("Out: Recorder (missing: port has gone)\nIn: Recorder In (missing: port has gone)"));
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("MIDI in Recorder In is missing (port has gone): waiting for it to return"));
  QCOMPARE(rig.dialogs.notices.size(), 1);  // both in one box
  QVERIFY(rig.dialogs.notices[0].contains("The MIDI Out device \"Recorder\" is not there (port has gone)"));
  QVERIFY(rig.dialogs.notices[0].contains("The MIDI In device \"Recorder In\" is not there (port has gone)"));
  emit outs->aboutToShow();
  QVERIFY(Item(outs, "Recorder (missing)") && Item(outs, "Recorder (missing)")->isChecked());
  rig.clock.Advance();  // the song plays on, silently

  rig.backend.Recorder().Clear();
  rig.backend.Return("Recorder");
  Settle();
  QCOMPARE(Panel(rig), QStringLiteral("Out: Recorder  |  In: Recorder In (missing)"));
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("MIDI out Recorder is back"));
  // The note it was left sounding ends first, then its channels are prepared again.
  const QStringList sent = rig.Sent();
  QVERIFY(sent.size() > 3);
  QCOMPARE(sent.mid(0, 2), (QStringList{"80 3C 00", "B0 7B 00"}));
  QVERIFY(sent.contains("C0 00"));

  // Going again is told on the status bar, without a second box.
  rig.backend.Vanish("Recorder");
  Settle();
  QCOMPARE(rig.dialogs.notices.size(), 1);
  rig.Trigger("Stop");
}

void MainWindowDevicesTest::failedOpen_keepsItsMessage_noticeUnlessWarningsDisabled() {
  WindowRig rig;
  rig.backend.failOpen = 5;
  QMenu* outs = rig.window->Commands().OutDeviceMenu;
  Item(outs, "Recorder")->trigger();
  Settle();
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Could not open midi out, rc = 05"));
  QCOMPARE(Panel(rig), QStringLiteral("Out: Recorder (failed)  |  In: None"));
  QCOMPARE(PanelTip(rig), QStringLiteral("Out: Recorder (failed: rc = 05)\nIn: None"));
  QCOMPARE(rig.dialogs.notices.size(), 1);
  QVERIFY(rig.dialogs.notices[0].contains("\"Recorder\" could not be opened (rc = 05)"));

  rig.Trigger("DisableWarnings");
  Item(rig.window->Commands().InDeviceMenu, "Recorder In")->trigger();
  Settle();
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Could not open midi in, rc = 05"));
  QCOMPARE(rig.dialogs.notices.size(), 1);
}

void MainWindowDevicesTest::midiOutPage_secondAndThirdDevices_applyAndPersist() {
  QTemporaryDir folder;
  const auto ports = [](RecordingBackend& b) { b.outputs = {"Synth", "Port B", "Port C"}; };
  {
    WindowRig rig({}, folder.path());
    ports(rig.backend);
    RunOptions(rig, [](TOptionsForm& o) {
      QCOMPARE(o.OutDevice2->currentText(), QStringLiteral("None"));
      QVERIFY(o.OutDevice2->findText("Port B") > 0);
      o.OutDevice2->setCurrentIndex(o.OutDevice2->findText("Port B"));
      o.OutDevice3->setCurrentIndex(o.OutDevice3->findText("Port C"));
      o.accept();
    });
    const DeviceSession& session = rig.window->Devices().Session();
    QCOMPARE(session.Status(1).name, std::string("Port B"));
    QCOMPARE(session.Status(2).state, DeviceState::Open);
    QCOMPARE(Panel(rig), QStringLiteral("Out: MIDI Mapper  |  Out 2: Port B  |  Out 3: Port C  |  In: None"));

    // MIDI channels 1, 17 and 33 arrive on channel 1 of their own devices.
    rig.backend.Recorder().Clear();
    for (int channel : {0, 16, 32}) rig.window->Devices().NoteOn(channel, 60, 1);
    const auto events = rig.backend.Recorder().Events();
    QCOMPARE(int(events.size()), 3);
    const char* devices[] = {"MIDI Mapper", "Port B", "Port C"};
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(QString::fromStdString(HexBytes(events[size_t(i)].message)), QStringLiteral("90 3C 01"));
      QCOMPARE(events[size_t(i)].device, std::string(devices[i]));
    }
    // Cancel keeps them.
    RunOptions(rig, [](TOptionsForm& o) {
      o.OutDevice2->setCurrentIndex(0);
      o.reject();
    });
    QCOMPARE(session.Status(1).name, std::string("Port B"));
    QVERIFY(rig.window->close());
  }
  WindowRig rig({}, folder.path());
  QCOMPARE(rig.window->Devices().Session().Status(1).name, std::string("Port B"));
  // Not there at this start: kept, waiting, and shown in the page's list.
  QCOMPARE(rig.window->Devices().Session().Status(1).state, DeviceState::Missing);
  RunOptions(rig, [](TOptionsForm& o) {
    QCOMPARE(o.OutDevice2->currentText(), QStringLiteral("Port B (missing)"));
    o.OutDevice2->setCurrentIndex(0);
    o.accept();
  });
  QCOMPARE(rig.window->Devices().Session().Status(1).state, DeviceState::None);
}

QTEST_MAIN(MainWindowDevicesTest)
#include "main_window_devices_test.moc"
