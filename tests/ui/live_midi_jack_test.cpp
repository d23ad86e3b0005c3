// The main window on a real JACK server of the test's own: a keyboard port plays into Varnel's
// MIDI input, and a capture client (a measuring client, not one of the program's ports) records
// what Varnel's output port sends. Every note that starts ends; key 60 is note 60; the server
// stops and starts again while the song plays through the port and the embedded synth, and the
// program goes on, changes device and quits with its settings written.
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>

#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/options_dialog.h"
#include "app/settings.h"
#include "devices/gm_synth.h"
#include "devices/jack_capture.h"
#include "devices/jack_midi_backend.h"
#include "devices/system_midi_backend.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "main_window_rig.h"
#include "midi/device_session.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/row_clock.h"
#include "song/song.h"
#include "support/jack_test_server.h"

using namespace varnel;
using namespace varnel::test;
using Events = std::vector<JackCapture::MidiEvent>;

namespace {

constexpr const char* CaptureClient = "VarnelTestCapture";

// The note-ons that no later note-off of the same channel and note ends, counted one for one.
QStringList Unended(const Events& events) {
  std::map<std::pair<int, int>, int> open;
  for (const auto& e : events) {
    const int kind = e.message.bytes[0] & 0xF0, channel = e.message.bytes[0] & 0x0F, note = e.message.bytes[1];
    if (kind == 0x90 && e.message.bytes[2] > 0) ++open[{channel, note}];
    else if ((kind == 0x80 || kind == 0x90) && open[{channel, note}] > 0) --open[{channel, note}];
  }
  QStringList left;
  for (const auto& [key, count] : open)
    if (count > 0) left << QStringLiteral("channel %1 note %2 x%3").arg(key.first + 1).arg(key.second).arg(count);
  return left;
}

int NoteOns(const Events& events, int status, int note = -1) {
  int count = 0;
  for (const auto& e : events)
    count += e.message.bytes[0] == status && e.message.bytes[2] > 0 && (note < 0 || e.message.bytes[1] == note);
  return count;
}

QAction* Item(QMenu* menu, const QString& text) {
  emit menu->aboutToShow();
  for (QAction* item : menu->actions())
    if (item->text() == text) return item;
  return nullptr;
}

}  // namespace

class LiveMidiJackTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();
  void input_noteOffsInBothForms_endEveryNote_key60IsNote60();
  void keys_chordsAndHeldKeys_endEveryNote();
  void song_daReleases_endsEveryNote();
  void menus_portsStartedAfterStartUp_listedAndPlayed();
  void serverRestartsDuringPlayback_notesFlowAgain_deviceChange_quitWritesSettings();

 private:
  // Records from now until `count` messages arrived or a few seconds passed.
  Events Collect(const std::function<void()>& play, size_t count);

  std::unique_ptr<JackTestLock> lock_;
  std::unique_ptr<JackServer> server_;
  std::unique_ptr<QTemporaryDir> settings_;
  std::unique_ptr<JackCapture> capture_;
  std::unique_ptr<JackMidiOutput> keyboard_;  // the musician's keyboard
  std::unique_ptr<SystemMidiBackend> backend_;
  std::unique_ptr<ThreadRowClock> clock_;
  RecordingDialogs dialogs_;
  std::unique_ptr<TMainForm> window_;
};

void LiveMidiJackTest::initTestCase() {
  lock_ = std::make_unique<JackTestLock>();
  server_ = std::make_unique<JackServer>();
  if (const std::string why = server_->Start("-live"); !why.empty()) QSKIP(why.c_str());
  qputenv("JACK_DEFAULT_SERVER", QByteArray::fromStdString(server_->Name()));
}

void LiveMidiJackTest::cleanupTestCase() {
  server_.reset();
  lock_.reset();
}

void LiveMidiJackTest::init() {
  capture_ = JackCapture::Open(CaptureClient, 1 << 14, 0);
  QVERIFY(capture_);
  int result = -1;
  keyboard_ = JackMidiOutput::Open("", "keys", result);
  QVERIFY(keyboard_);
  settings_ = std::make_unique<QTemporaryDir>();
  Settings::UseFolder(settings_->path());
  backend_ = std::make_unique<SystemMidiBackend>();
  clock_ = std::make_unique<ThreadRowClock>();
  window_ = std::make_unique<TMainForm>(*backend_, *clock_, &dialogs_);
  window_->resize(1000, 700);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  MainCommands& c = window_->Commands();
  QAction* out = Item(c.OutDeviceMenu, QString::fromStdString(capture_->MidiPort()));
  QVERIFY(out);
  out->trigger();
  QAction* in = Item(c.InDeviceMenu, QString::fromStdString(keyboard_->PortName()));
  QVERIFY(in);
  in->trigger();
  const DeviceSession& session = window_->Devices().Session();
  QCOMPARE(session.Status(0).state, DeviceState::Open);
  QCOMPARE(session.Status(DeviceSession::InputSlot).state, DeviceState::Open);
  window_->Frame()->Grid1()->setFocus();
}

void LiveMidiJackTest::cleanup() {
  if (window_) {
    window_->Song().Modified = false;
    window_->close();
  }
  window_.reset();
  clock_.reset();
  backend_.reset();
  keyboard_.reset();
  capture_.reset();
}

Events LiveMidiJackTest::Collect(const std::function<void()>& play, size_t count) {
  capture_->Start();
  play();
  for (int i = 0; i < 500 && capture_->Midi().size() < count; ++i) QTest::qWait(10);
  QTest::qWait(200);  // what comes after
  capture_->Stop();
  return capture_->Midi();
}

void LiveMidiJackTest::input_noteOffsInBothForms_endEveryNote_key60IsNote60() {
  TVNSong& song = window_->Song();
  song.GridAdd = 1;
  const auto send = [&](int status, int data1, int data2) {
    keyboard_->Send(MakeShortMessage(uint8_t(status), uint8_t(data1), uint8_t(data2)), SendNow);
    QTest::qWait(30);
  };
  const Events events = Collect(
      [&] {
        send(0x90, 60, 100);
        send(0x80, 60, 64);  // 90/80
        send(0x90, 64, 90);
        send(0x90, 64, 0);  // 90/90 velocity 0
        send(0x90, 67, 80);
        window_->SetOctave(2);  // the octave and the zoom move nothing
        send(0x80, 67, 0);
      },
      6);
  QCOMPARE(Unended(events), QStringList{});
  QCOMPARE(NoteOns(events, 0x90, 60), 1);  // key 60 arrives as note 60 (cursor on MIDI channel 1)
  QCOMPARE(NoteOns(events, 0x90, 64), 1);
  QCOMPARE(NoteOns(events, 0x90, 67), 1);
  // Each key writes its own note.
  QCOMPARE((std::vector<int>{song.GetCellData(0, 0), song.GetCellData(0, 1), song.GetCellData(0, 2)}),
           (std::vector<int>{60, 64, 67}));
}

void LiveMidiJackTest::keys_chordsAndHeldKeys_endEveryNote() {
  TMyGrid2* grid = window_->Frame()->Grid1();
  window_->Song().GridAdd = 1;
  const Events events = Collect(
      [&] {
        // A chord with Shift released before the key.
        QTest::keyPress(grid, Qt::Key_Shift);
        QTest::keyPress(grid, Qt::Key_Z, Qt::ShiftModifier);
        QTest::qWait(50);
        QTest::keyRelease(grid, Qt::Key_Shift, Qt::ShiftModifier);
        QTest::keyRelease(grid, Qt::Key_Z);
        // A key held with auto-repeat.
        QTest::keyPress(grid, Qt::Key_X);
        for (int i = 0; i < 4; ++i) {
          QTest::qWait(30);
          QTest::simulateEvent(grid, false, Qt::Key_X, {}, QString(), true);
          QTest::simulateEvent(grid, true, Qt::Key_X, {}, QString(), true);
        }
        QTest::keyRelease(grid, Qt::Key_X);
      },
      8);
  QCOMPARE(Unended(events), QStringList{});
  QCOMPARE(NoteOns(events, 0x90), 4);  // the triad, and the held key once
  QCOMPARE(NoteOns(events, 0x90, 50), 1);
}

void LiveMidiJackTest::song_daReleases_endsEveryNote() {
  TVNSong& song = window_->Song();
  song.SetReleaseMode(0, 255);
  const int cells[8] = {60, 62, 64, CellNoteOff, 65, CellEmpty, 67, CellNoteOff};
  for (int r = 0; r < 8; ++r) song.SetCellData(0, r, cells[r]);
  song.BPM = 240;
  const Events events = Collect(
      [&] {
        window_->PlayPause();
        QTest::qWait(1500);  // a few passes of the pattern
        window_->StopPlayback();
      },
      1000);
  QVERIFY(NoteOns(events, 0x90, 62) >= 1);
  QCOMPARE(Unended(events), QStringList{});
}

void LiveMidiJackTest::menus_portsStartedAfterStartUp_listedAndPlayed() {
  MainCommands& c = window_->Commands();
  const QString lateOut = QStringLiteral("VarnelLateCapture:midi_in");
  QVERIFY(!Item(c.OutDeviceMenu, lateOut));
  auto late = JackCapture::Open("VarnelLateCapture", 1024, 0);
  QVERIFY(late);
  QCOMPARE(QString::fromStdString(late->MidiPort()), lateOut);
  int result = -1;
  auto lateKeys = JackMidiOutput::Open("", "late keys", result);
  QVERIFY(lateKeys);
  const QString lateIn = QString::fromStdString(lateKeys->PortName());

  QAction* out = Item(c.OutDeviceMenu, lateOut);
  QVERIFY2(out, "a port started after the program is in the menu when it opens");
  out->trigger();
  QAction* in = Item(c.InDeviceMenu, lateIn);
  QVERIFY(in);
  in->trigger();
  const DeviceSession& session = window_->Devices().Session();
  QCOMPARE(session.Status(0).state, DeviceState::Open);
  QCOMPARE(session.Status(DeviceSession::InputSlot).state, DeviceState::Open);

  // The late keyboard plays through the late port.
  late->Start();
  lateKeys->Send(MakeShortMessage(0x90, 60, 100), SendNow);
  QTest::qWait(50);
  lateKeys->Send(MakeShortMessage(0x80, 60, 0), SendNow);
  QTRY_VERIFY_WITH_TIMEOUT(late->Midi().size() >= 2, 5000);
  late->Stop();
  const Events events = late->Midi();
  QCOMPARE(NoteOns(events, 0x90, 60), 1);
  QCOMPARE(Unended(events), QStringList{});

  // Not chosen any more and gone: not listed either.
  window_->Action(QStringLiteral("OutDeviceMapper"))->trigger();
  late.reset();
  QVERIFY(!Item(c.OutDeviceMenu, lateOut));
}

void LiveMidiJackTest::serverRestartsDuringPlayback_notesFlowAgain_deviceChange_quitWritesSettings() {
  const bool synth = !FindSoundFont("").empty();
  TVNSong& song = window_->Song();
  song.BPM = 240;
  for (int r = 0; r < 8; ++r) song.SetCellData(0, r, 60 + r);
  DeviceSession& session = window_->Devices().Session();
  if (synth) {  // the embedded synth, on JACK audio, plays MIDI channels 17-32
    QTimer::singleShot(0, window_.get(), [this] {
      TOptionsForm& o = *window_->OptionsForm();
      o.OutDevice2->setCurrentIndex(o.OutDevice2->findText(MapperName));
      o.accept();
    });
    window_->Action(QStringLiteral("Options"))->trigger();
    QCOMPARE(session.Status(1).state, DeviceState::Open);
  }
  capture_->Start();
  window_->PlayPause();
  QTRY_VERIFY_WITH_TIMEOUT(NoteOns(capture_->Midi(), 0x90) > 0, 10000);

  server_->Stop();
  QTRY_COMPARE_WITH_TIMEOUT(session.Status(0).state, DeviceState::Missing, 10000);
  if (synth) QTRY_COMPARE_WITH_TIMEOUT(session.Status(1).state, DeviceState::Missing, 10000);
  const QString panel = window_->findChild<QLabel*>("StatusDevices")->toolTip();
  QVERIFY2(panel.contains("(missing: the JACK server has stopped)"), qPrintable(panel));
  capture_.reset();
  keyboard_.reset();
  QTest::qWait(1500);  // the program polls while no server runs

  QCOMPARE(server_->Start("-live"), std::string());
  capture_ = JackCapture::Open(CaptureClient, 1 << 14, 0);
  QVERIFY(capture_);
  capture_->Start();
  QTRY_COMPARE_WITH_TIMEOUT(session.Status(0).state, DeviceState::Open, 15000);
  if (synth) QTRY_COMPARE_WITH_TIMEOUT(session.Status(1).state, DeviceState::Open, 15000);
  QTRY_VERIFY_WITH_TIMEOUT(NoteOns(capture_->Midi(), 0x90) > 0, 10000);  // the port's notes flow again

  // Another device, then quitting: nothing of the old server's clients is touched.
  window_->Action(QStringLiteral("OutDeviceMapper"))->trigger();
  QCOMPARE(session.Status(0).name, std::string(MapperName));
  song.Modified = false;
  QVERIFY(window_->close());
  window_.reset();
  QSettings stored(settings_->path() + QStringLiteral("/Orvalis/Varnel.conf"), QSettings::IniFormat);
  QCOMPARE(stored.value("Options/Device").toString(), QString::fromLatin1(MapperName));
  QCOMPARE(stored.value("Options/Device2").toString(), synth ? QString::fromLatin1(MapperName) : QString());
  QCOMPARE(stored.value("Options/InDevice").toString().isEmpty(), false);
}

QTEST_MAIN(LiveMidiJackTest)
#include "live_midi_jack_test.moc"
