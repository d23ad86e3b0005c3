// The stored settings: what a closing main window writes, what the next one reads, defaults from an
// empty store, recent files, devices restored by name, damaged values, "/reset", and the options
// dialog's OK and Cancel.
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <functional>

#include "app/main_window_menus.h"
#include "app/options_dialog.h"
#include "midi/midi_devices.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::RecordingDialogs;

namespace {

// A main window on a recording device whose ports the test names, with settings from `folder`.
struct Session {
  explicit Session(const QString& folder, const std::function<void(RecordingBackend&)>& ports = {}) {
    Settings::UseFolder(folder);
    if (ports) ports(backend);
    window = std::make_unique<TMainForm>(backend, clock, &dialogs);
    window->resize(900, 600);
    window->show();
  }
  QAction* Action(const char* key) const { return window->Action(QLatin1String(key)); }
  TOptionsForm& Options() const { return *window->OptionsForm(); }
  EditorOptions& Editor() const { return window->Frame()->Options(); }

  RecordingBackend backend;
  ManualRowClock clock;
  RecordingDialogs dialogs;
  std::unique_ptr<TMainForm> window;
};

// The file as the settings library wrote it, read without Varnel's own code.
struct Stored {
  explicit Stored(const QString& folder) : ini(folder + QStringLiteral("/Orvalis/Varnel.conf"), QSettings::IniFormat) {}
  QString Text(const QString& key) const { return ini.value(key).toString(); }
  QStringList Names(const QString& group) {
    ini.beginGroup(group);
    QStringList names = ini.childKeys();
    ini.endGroup();
    names.sort();
    return names;
  }
  QSettings ini;
};

// Runs the options dialog of `s` through its menu command; `inside` acts while it is open.
void RunOptions(Session& s, const std::function<void(TOptionsForm&)>& inside) {
  QTimer::singleShot(0, s.window.get(), [&s, inside] { inside(s.Options()); });
  s.Action("Options")->trigger();
}

QString RowHeader(Session& s, int row) {
  TMyGrid2& grid = *s.window->Frame()->Grid1();
  return grid.OnGetText(grid, 0, row);
}

QStringList Sorted(QStringList names) {
  names.sort();
  return names;
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void emptyStore_startsWithDefaults();
  void close_writesEveryValueName();
  void audioSettings_confirmedApplyAndPersist();
  void closeThenStart_restoresEveryOption();
  void maximizedWindow_startsMaximized();
  void storedPlace_partlyOffTheScreen_broughtBackOntoIt();
  void recentFiles_vanishedDropped_keptOrder();
  void devices_restoredByName_data();
  void devices_restoredByName();
  void damagedValues_keepDefaults();
  void storedFont_appliesToBothGrids();
  void reset_removesAllButHeight_nextStartIsFirst();
  void optionsOk_appliesToEditorSongAndGrids();
  void optionsCancel_restoresControlsAndRowNumbers();
  void midiOutPage_perDeviceOptions_applyAndPersist();
  void optionsTexts_readAsNumbers_data();
  void optionsTexts_readAsNumbers();
  void importOptionsOutOfRange_refusedWithMessage_data();
  void importOptionsOutOfRange_refusedWithMessage();
  void importPage_returnMeansOkAfterACancel();
};

void SettingsTest::emptyStore_startsWithDefaults() {
  QTemporaryDir folder;
  Session s(folder.path());
  QCOMPARE(s.window->Devices().OutDeviceId(), -1);
  QCOMPARE(s.window->Devices().InDeviceId(), -1);
  QVERIFY(s.Action("OutDeviceMapper")->isChecked());
  QVERIFY(s.Action("InDeviceNone")->isChecked());
  QVERIFY(s.Action("EditEnabled")->isChecked());
  for (const char* key : {"FollowNote", "FollowSong", "TransposeSimple", "DisableWarnings", "Metronome", "AutoShowPiano"})
    QVERIFY2(!s.Action(key)->isChecked(), key);
  QVERIFY(!s.window->Commands().EditBar->isHidden());
  QCOMPARE(s.window->OpenFolder(), TMainForm::SongsFolder());  // a first start

  TOptionsForm& o = s.Options();
  for (QComboBox* list : {o.RowNumbers, o.SpaceKeyAction, o.Centering, o.MainMenu, o.TrackToggleSize, o.ImportMethod})
    QCOMPARE(list->currentIndex(), 0);
  QCOMPARE(o.RowNumbers->count(), 5);
  QCOMPARE(o.DefaultPatternsLength->currentText(), QStringLiteral("64"));
  QVERIFY(!o.ShowHints->isChecked());
  QVERIFY(o.DockedPiano->isChecked());
  QCOMPARE(o.StartRow->currentText(), QStringLiteral("0"));
  QCOMPARE(o.PatternsLength->currentText(), QStringLiteral("64"));
  QCOMPARE(o.SpdValue->currentText(), QStringLiteral("4"));
  QVERIFY(o.UseAsIs->isChecked());
  QCOMPARE(o.MinimumVelocity->Value(), 30);
  QCOMPARE(s.window->Song().DefaultPatternLength(), 64);
  QCOMPARE(s.Editor().midiInMinimumVelocity, 30);
}

void SettingsTest::close_writesEveryValueName() {
  QTemporaryDir folder;
  {
    Session s(folder.path());
    QVERIFY(s.window->close());
  }
  Stored stored(folder.path());
  QCOMPARE(stored.Names("Main"), Sorted({"Top", "Left", "Width", "Height", "Maximized"}));
  QStringList recent;
  for (const char* slot : {"00", "01", "02", "03", "04", "05", "06", "07", "08", "09"}) recent << slot;
  QCOMPARE(stored.Names("Recent"), recent);
  for (const QString& slot : recent) QCOMPARE(stored.Text("Recent/" + slot), QString());

  QStringList bands;
  for (int i = 0; i < 5; ++i)
    for (const char* name : {"Control", "Visible", "Break", "Width"}) bands << QString::number(i) + name;
  QCOMPARE(stored.Names("Toolbars"), Sorted(bands));
  const char* controls[] = {"ToolBar1", "Panel1", "Panel2", "Panel3", "ToolBar3"};
  for (int i = 0; i < 5; ++i) QCOMPARE(stored.Text(QStringLiteral("Toolbars/%1Control").arg(i)), QString(controls[i]));
  QCOMPARE(stored.Text("Toolbars/0Visible"), QStringLiteral("1"));

  // The piano window's position and undocked bounds have no value before that window exists.
  QCOMPARE(stored.Names("Options"),
           Sorted({"Device", "Device2", "Device3", "InDevice", "InIgnoreVol", "InUseMinVol", "InMinVolValue", "ClockSource", "FollowNote", "FollowSong",
                   "AutoShowPiano", "EditEnabled", "DisableWarnings", "TransposeSimple", "UseHex", "ShowHints",
                   "SpaceKeyAction", "CenteringEditor", "DockedPiano", "PianoSize", "TrackToogleSize",
                   "DefaultPatternsLength", "MainMenu", "MetronomeEnabled", "PianoVisible", "AddSpecialVisible",
                   "MCPropsVisible", "EditToolbar", "DefaultScheme", "FontName", "FontSize", "FontBold", "Key1",
                   "Key2", "SoundFont", "AudioDriver", "SampleRate", "SynthGain"}));
  const std::pair<const char*, const char*> defaults[] = {
      {"Device", "MIDI Mapper"}, {"InDevice", "None"}, {"InIgnoreVol", "0"}, {"InUseMinVol", "0"},
      {"InMinVolValue", "30"}, {"ClockSource", "0"}, {"FollowNote", "0"}, {"FollowSong", "0"}, {"AutoShowPiano", "0"},
      {"EditEnabled", "1"}, {"DisableWarnings", "0"}, {"TransposeSimple", "0"}, {"UseHex", "0"},
      {"ShowHints", "0"}, {"SpaceKeyAction", "0"}, {"CenteringEditor", "0"}, {"DockedPiano", "1"},
      {"TrackToogleSize", "0"}, {"DefaultPatternsLength", "64"}, {"MainMenu", "0"}, {"MetronomeEnabled", "0"},
      {"PianoVisible", "1"}, {"AddSpecialVisible", "1"}, {"MCPropsVisible", "1"}, {"EditToolbar", "1"},
      {"DefaultScheme", "0"}, {"FontBold", "0"}, {"Key1", "0"}, {"Key2", "0"}};
  for (const auto& [name, value] : defaults) QCOMPARE(stored.Text(QStringLiteral("Options/") + name), QString(value));
}

void SettingsTest::closeThenStart_restoresEveryOption() {
  QTemporaryDir folder;
  const auto ports = [](RecordingBackend& b) {
    b.outputs = {"Synth", "Port B"};
    b.inputs = {"Keys", "Pad"};
  };
  int fontSize = 0;
  QSize size;  // what the window's minimum size allows
  {
    Session s(folder.path(), ports);
    for (const char* key : {"FollowNote", "FollowSong", "TransposeSimple", "DisableWarnings", "Metronome", "AutoShowPiano"})
      s.Action(key)->setChecked(true);
    s.Action("EditEnabled")->trigger();  // off
    s.Action("BarEdit")->trigger();      // hidden
    s.window->Commands().OutDevices->actions().at(2)->trigger();  // "Port B"
    s.window->Commands().InDevices->actions().at(1)->trigger();   // "Keys"
    RunOptions(s, [](TOptionsForm& o) {
      o.RowNumbers->setCurrentIndex(1);
      o.SpaceKeyAction->setCurrentIndex(1);
      o.Centering->setCurrentIndex(2);
      o.MainMenu->setCurrentIndex(1);
      o.TrackToggleSize->setCurrentIndex(3);
      o.DefaultPatternsLength->setCurrentText("128");
      o.ShowHints->setChecked(true);
      o.DockedPiano->setChecked(false);
      o.UseMinimumVelocity->setChecked(true);
      o.MinimumVelocity->SetValue(70);
      o.ClockSource->setCurrentIndex(1);
      o.accept();
    });
    s.window->Properties()->KeyTone->setCurrentIndex(9);
    s.window->Properties()->KeyType->setCurrentIndex(1);
    s.window->ZoomFont(3);
    fontSize = s.window->GridFontSize();
    s.window->move(40, 30);
    s.window->resize(s.window->minimumSize() + QSize(23, 17));  // a place the screen has room for
    size = s.window->size();
    QVERIFY(s.window->close());
  }

  Session s(folder.path(), ports);
  for (const char* key : {"FollowNote", "FollowSong", "TransposeSimple", "DisableWarnings", "Metronome", "AutoShowPiano"})
    QVERIFY2(s.Action(key)->isChecked(), key);
  QVERIFY(!s.Action("EditEnabled")->isChecked());
  QVERIFY(!s.window->Song().EditEnabled);
  QVERIFY(s.window->Song().Metronome);
  QVERIFY(s.window->Commands().EditBar->isHidden());
  QVERIFY(!s.Action("BarEdit")->isChecked());
  QCOMPARE(s.window->Devices().OutDeviceId(), 1);
  QCOMPARE(s.window->Devices().InDeviceId(), 0);
  QVERIFY(s.window->Commands().OutDevices->actions().at(2)->isChecked());
  QCOMPARE(s.window->OpenFolder(), QString());  // no longer a first start

  TOptionsForm& o = s.Options();
  QCOMPARE(o.RowNumbers->currentIndex(), 1);
  QCOMPARE(o.SpaceKeyAction->currentIndex(), 1);
  QCOMPARE(o.Centering->currentIndex(), 2);
  QCOMPARE(o.MainMenu->currentIndex(), 1);
  QCOMPARE(o.TrackToggleSize->currentIndex(), 3);
  QCOMPARE(o.DefaultPatternsLength->currentText(), QStringLiteral("128"));
  QVERIFY(o.ShowHints->isChecked());
  QVERIFY(!o.DockedPiano->isChecked());
  QVERIFY(o.UseMinimumVelocity->isChecked());
  QCOMPARE(o.MinimumVelocity->Value(), 70);
  QCOMPARE(o.ClockSource->currentIndex(), 1);
  QVERIFY(s.window->Player().Following());  // the external clock is followed from the start
  QCOMPARE(s.Editor().rowNumberFormat, 1);
  QCOMPARE(s.Editor().spaceKeyAction, 1);
  QCOMPARE(s.Editor().centring, 2);
  QVERIFY(s.Editor().midiInUseMinimumVelocity);
  QVERIFY(!s.Editor().midiInIgnoreVelocity);
  QCOMPARE(s.Editor().midiInMinimumVelocity, 70);
  QVERIFY(s.Editor().autoShowPiano);
  QVERIFY(s.Editor().followNote);
  QCOMPARE(s.window->Song().DefaultPatternLength(), 128);
  QCOMPARE(s.window->Properties()->KeyTone->currentIndex(), 9);
  QCOMPARE(s.window->Properties()->KeyType->currentIndex(), 1);
  QCOMPARE(int(s.window->Song().KeyTone), 9);
  QCOMPARE(int(s.window->Song().KeyType), 1);
  QCOMPARE(s.window->GridFontSize(), fontSize);
  QCOMPARE(s.window->Frame()->Grid2()->font(), s.window->Frame()->Grid1()->font());
  QCOMPARE(s.window->pos(), QPoint(40, 30));
  QCOMPARE(s.window->size(), size);
}

// A place stored on a larger screen (or at another scale): the window comes back whole onto the
// screen's work area, as large as it fits; a place on no screen at all keeps the work area.
void SettingsTest::storedPlace_partlyOffTheScreen_broughtBackOntoIt() {
  QTemporaryDir folder;
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  {
    Settings::UseFolder(folder.path());
    Settings settings;
    QSettings& ini = settings.Store();
    ini.setValue("Main/Left", area.right() - 150);
    ini.setValue("Main/Top", area.top() + 40);
    ini.setValue("Main/Width", area.width() + 400);
    ini.setValue("Main/Height", area.height() * 2);
  }
  Session s(folder.path());
  QTRY_VERIFY(area.contains(s.window->frameGeometry()));
  QCOMPARE(s.window->frameGeometry().height(), area.height());
  QVERIFY(s.window->width() > area.width() / 2);
}

void SettingsTest::maximizedWindow_startsMaximized() {
  QTemporaryDir folder;
  {
    Session s(folder.path());
    s.window->showMaximized();
    QVERIFY(s.window->close());
  }
  QCOMPARE(Stored(folder.path()).Text("Main/Maximized"), QStringLiteral("1"));
  Session s(folder.path());
  QVERIFY(s.window->isMaximized());
}

void SettingsTest::recentFiles_vanishedDropped_keptOrder() {
  QTemporaryDir folder, songs;
  const QString first = songs.filePath("first.vnl"), second = songs.filePath("second, with comma.vnl");
  for (const QString& path : {first, second}) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  {
    Settings::UseFolder(folder.path());
    Settings settings;
    settings.SetRecentFiles({songs.filePath("gone.vnl"), first, QString(), second});
  }
  {
    Session s(folder.path());
    QCOMPARE(s.window->RecentFiles(), QStringList({first, second}));
    QVERIFY(s.window->close());
  }
  Stored stored(folder.path());
  QCOMPARE(stored.Text("Recent/00"), first);
  QCOMPARE(stored.Text("Recent/01"), second);
  QCOMPARE(stored.Text("Recent/02"), QString());
}

void SettingsTest::devices_restoredByName_data() {
  QTest::addColumn<QString>("out");
  QTest::addColumn<QString>("in");
  QTest::addColumn<int>("outId");
  QTest::addColumn<int>("inId");
  QTest::addColumn<bool>("open");
  QTest::addColumn<QString>("outSaved");
  QTest::addColumn<QString>("inSaved");
  QTest::newRow("names found") << "Port B" << "Pad" << 1 << 1 << true << "Port B" << "Pad";
  QTest::newRow("a name stored without its ampersand") << "Synth AB" << "Keys" << 0 << 0 << true << "Synth A&B"
                                                        << "Keys";
  // A device that is not there stays chosen: it opens when it comes back.
  QTest::newRow("vanished: kept, waiting") << "Gone" << "Gone" << -2 << -1 << false << "Gone" << "Gone";
  QTest::newRow("the default items by name") << "MIDI Mapper" << "None" << -1 << -1 << true << "MIDI Mapper"
                                             << "None";
}

void SettingsTest::devices_restoredByName() {
  QFETCH(QString, out);
  QFETCH(QString, in);
  QFETCH(int, outId);
  QFETCH(int, inId);
  QFETCH(bool, open);
  QFETCH(QString, outSaved);
  QFETCH(QString, inSaved);
  QTemporaryDir folder;
  {
    Settings::UseFolder(folder.path());
    Settings settings;
    settings.Write(Settings::Device, out);
    settings.Write(Settings::InDevice, in);
  }
  const auto ports = [](RecordingBackend& b) {
    b.outputs = {"Synth A&B", "Port B"};
    b.inputs = {"Keys", "Pad"};
  };
  {
    Session s(folder.path(), ports);
    QCOMPARE(s.window->Devices().OutDeviceId(), outId);
    QCOMPARE(s.window->Devices().InDeviceId(), inId);
    QCOMPARE(QString::fromStdString(s.window->Song().DeviceName), outSaved);
    s.backend.Recorder().Clear();
    s.window->Devices().NoteOn(0, 60, 100);
    QCOMPARE(int(s.backend.Recorder().Events().size()), open ? 1 : 0);  // the restored output is open
    QVERIFY(s.window->close());
  }
  Stored stored(folder.path());
  QCOMPARE(stored.Text("Options/Device"), outSaved);
  QCOMPARE(stored.Text("Options/InDevice"), inSaved);
}

void SettingsTest::damagedValues_keepDefaults() {
  QTemporaryDir folder;
  {
    Settings::UseFolder(folder.path());
    Settings settings;
    QSettings& ini = settings.Store();
    ini.setValue("Options/UseHex", 7);                // no such list entry
    ini.setValue("Options/SpaceKeyAction", "abc");    // not a number
    ini.setValue("Options/DefaultScheme", 5);         // no such scheme
    ini.setValue("Options/FontSize", -3);
    ini.setValue("Options/FollowNote", 2);            // any value but 0 is set
    ini.setValue("Options/DisableWarnings", "true");  // written by another tool
    ini.setValue("Options/InMinVolValue", 300);
    ini.setValue("Options/DefaultPatternsLength", 1000);
    ini.setValue("Main/Left", -90000);                // on no screen
    ini.setValue("Main/Top", -90000);
  }
  int fontSize = 0;
  {
    Session s(folder.path());
    QCOMPARE(s.Options().RowNumbers->currentIndex(), 0);
    QCOMPARE(s.Options().SpaceKeyAction->currentIndex(), 0);
    QVERIFY(s.Action("FollowNote")->isChecked());
    QVERIFY(s.Action("DisableWarnings")->isChecked());
    QCOMPARE(s.Options().MinimumVelocity->Value(), 127);
    QCOMPARE(s.window->Song().DefaultPatternLength(), 256);
    QVERIFY(s.window->GridFontSize() >= 2);
    fontSize = s.window->GridFontSize();
    QVERIFY(s.window->pos().x() > -1000);
    QVERIFY(s.window->close());
  }
  Stored stored(folder.path());
  QCOMPARE(stored.Text("Options/DefaultScheme"), QStringLiteral("0"));
  QCOMPARE(stored.Text("Options/SpaceKeyAction"), QStringLiteral("0"));
  QCOMPARE(stored.Text("Options/FollowNote"), QStringLiteral("1"));
  QCOMPARE(stored.Text("Options/FontSize"), QString::number(fontSize));
  QCOMPARE(stored.Text("Options/DefaultPatternsLength"), QStringLiteral("1000"));
}

void SettingsTest::storedFont_appliesToBothGrids() {
  QTemporaryDir folder;
  {
    Settings::UseFolder(folder.path());
    Settings settings;
    settings.Write(Settings::FontName, QStringLiteral("DejaVu Sans Mono"));
    settings.Write(Settings::FontSize, 17);
    settings.Write(Settings::FontBold, true);
  }
  {
    Session s(folder.path());
    const QFont font = s.window->Frame()->Grid1()->font();
    QCOMPARE(font.family(), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(s.window->GridFontSize(), 17);
    QVERIFY(font.bold());
    QCOMPARE(s.window->Frame()->Grid2()->font(), font);
    QVERIFY(s.window->close());
  }
  Stored stored(folder.path());
  QCOMPARE(stored.Text("Options/FontName"), QStringLiteral("DejaVu Sans Mono"));
  QCOMPARE(stored.Text("Options/FontSize"), QStringLiteral("17"));
  QCOMPARE(stored.Text("Options/FontBold"), QStringLiteral("1"));
}

void SettingsTest::reset_removesAllButHeight_nextStartIsFirst() {
  QTemporaryDir folder;
  {
    Session s(folder.path());
    QVERIFY(s.window->close());
  }
  Settings::UseFolder(folder.path());
  Settings::Reset();
  Stored stored(folder.path());
  QCOMPARE(stored.Names("Main"), QStringList({"Height"}));
  for (const char* group : {"Recent", "Toolbars", "Options"}) QVERIFY2(stored.Names(group).isEmpty(), group);
  Session s(folder.path());
  QCOMPARE(s.window->OpenFolder(), TMainForm::SongsFolder());
}

void SettingsTest::optionsOk_appliesToEditorSongAndGrids() {
  QTemporaryDir folder;
  Session s(folder.path());
  const QString decimal = RowHeader(s, 11);
  int page = -1;
  QString shownAtOnce;
  RunOptions(s, [&](TOptionsForm& o) {
    page = o.CurrentPage();
    o.RowNumbers->setCurrentIndex(1);
    shownAtOnce = RowHeader(s, 11);
    o.Centering->setCurrentIndex(1);
    o.SpaceKeyAction->setCurrentIndex(1);
    o.DefaultPatternsLength->setCurrentText("96");
    o.IgnoreVelocities->setChecked(true);
    o.accept();
  });
  QCOMPARE(page, int(TOptionsForm::GeneralPage));
  QVERIFY(shownAtOnce != decimal);
  QCOMPARE(RowHeader(s, 11), shownAtOnce);
  QCOMPARE(s.Editor().centring, 1);
  QCOMPARE(s.Editor().spaceKeyAction, 1);
  QVERIFY(s.Editor().midiInIgnoreVelocity);
  QCOMPARE(s.window->Song().DefaultPatternLength(), 96);
  s.Action("AddPattern")->trigger();
  QCOMPARE(s.window->Song().GetLastRow() + 1, 96);
}

void SettingsTest::midiOutPage_perDeviceOptions_applyAndPersist() {
  QTemporaryDir folder;
  const auto ports = [](RecordingBackend& b) { b.outputs = {"Synth", "Port B"}; };
  {
    Session s(folder.path(), ports);
    RunOptions(s, [&](TOptionsForm& o) {
      QCOMPARE(o.OutDevice->findText("MIDI Mapper") >= 0, true);
      o.OutDevice->setCurrentIndex(o.OutDevice->findText("Port B"));
      o.SendMidiClock->setChecked(true);
      o.LatencyOffset->setValue(-12.5);
      // Another device keeps its own options; the first one's are not lost by switching.
      o.OutDevice->setCurrentIndex(o.OutDevice->findText("Synth"));
      QVERIFY(!o.SendMidiClock->isChecked());
      QCOMPARE(o.LatencyOffset->value(), 0.0);
      o.LatencyOffset->setValue(3);
      o.OutDevice->setCurrentIndex(o.OutDevice->findText("Port B"));
      QVERIFY(o.SendMidiClock->isChecked());
      QCOMPARE(o.LatencyOffset->value(), -12.5);
      o.accept();
    });
    QCOMPARE(s.window->Devices().GetOutputOptions("Port B"), (OutputOptions{true, -12.5}));
    QCOMPARE(s.window->Devices().GetOutputOptions("Synth"), (OutputOptions{false, 3}));
    // Cancel changes nothing.
    RunOptions(s, [&](TOptionsForm& o) {
      o.OutDevice->setCurrentIndex(o.OutDevice->findText("Port B"));
      o.SendMidiClock->setChecked(false);
      o.reject();
    });
    QCOMPARE(s.window->Devices().GetOutputOptions("Port B"), (OutputOptions{true, -12.5}));
    QVERIFY(s.window->close());
  }
  Session s(folder.path(), ports);
  QCOMPARE(s.window->Devices().GetOutputOptions("Port B"), (OutputOptions{true, -12.5}));
  QCOMPARE(s.window->Devices().GetOutputOptions("Synth"), (OutputOptions{false, 3}));
  QCOMPARE(s.window->Devices().GetOutputOptions("MIDI Mapper"), OutputOptions{});
}

void SettingsTest::optionsCancel_restoresControlsAndRowNumbers() {
  QTemporaryDir folder;
  Session s(folder.path());
  const QString decimal = RowHeader(s, 11);
  QString shownAtOnce;
  RunOptions(s, [&](TOptionsForm& o) {
    o.RowNumbers->setCurrentIndex(1);
    shownAtOnce = RowHeader(s, 11);
    o.Centering->setCurrentIndex(2);
    o.DefaultPatternsLength->setCurrentText("96");
    o.DockedPiano->setChecked(false);
    o.UseMinimumVelocity->setChecked(true);
    o.StartRow->setCurrentText("32");
    o.reject();
  });
  QVERIFY(shownAtOnce != decimal);
  QCOMPARE(RowHeader(s, 11), decimal);
  TOptionsForm& o = s.Options();
  QCOMPARE(o.RowNumbers->currentIndex(), 0);
  QCOMPARE(o.Centering->currentIndex(), 0);
  QCOMPARE(o.DefaultPatternsLength->currentText(), QStringLiteral("64"));
  QVERIFY(o.DockedPiano->isChecked());
  QVERIFY(o.UseAsIs->isChecked());
  QCOMPARE(o.StartRow->currentText(), QStringLiteral("0"));
  QCOMPARE(s.Editor().rowNumberFormat, 0);
  QCOMPARE(s.Editor().centring, 0);
  QCOMPARE(s.window->Song().DefaultPatternLength(), 64);
}

void SettingsTest::optionsTexts_readAsNumbers_data() {
  QTest::addColumn<QString>("length");
  QTest::addColumn<int>("defaultLength");
  QTest::addColumn<QString>("startRow");
  QTest::addColumn<QString>("patternsLength");
  QTest::addColumn<QString>("spd");
  QTest::addColumn<int>("method");
  QTest::addColumn<QList<int>>("import");  // start row, pattern length, rows per quarter, method
  QTest::newRow("presets") << "192" << 192 << "64" << "128" << "12" << 1 << QList<int>{64, 128, 12, 1};
  QTest::newRow("typed numbers, clamped where used") << " 20 " << 32 << "16" << "100" << "5" << 0
                                                     << QList<int>{16, 100, 5, 0};
  QTest::newRow("above the limit") << "999" << 256 << "0" << "64" << "4" << 0 << QList<int>{0, 64, 4, 0};
  QTest::newRow("not numbers: 32 and the import defaults") << "long" << 32 << "x" << "" << "fast" << 0
                                                           << QList<int>{0, 64, 4, 0};
}

void SettingsTest::optionsTexts_readAsNumbers() {
  QFETCH(QString, length);
  QFETCH(int, defaultLength);
  QFETCH(QString, startRow);
  QFETCH(QString, patternsLength);
  QFETCH(QString, spd);
  QFETCH(int, method);
  QFETCH(QList<int>, import);
  TOptionsForm o;
  o.DefaultPatternsLength->setCurrentText(length);
  o.StartRow->setCurrentText(startRow);
  o.PatternsLength->setCurrentText(patternsLength);
  o.SpdValue->setCurrentText(spd);
  o.ImportMethod->setCurrentIndex(method);
  QCOMPARE(o.DefaultPatternLength(), defaultLength);
  const MidiImportOptions options = o.ImportOptions();
  QCOMPARE(QList<int>({options.startRow, options.patternLength, options.rowsPerQuarter, options.method}), import);
}

void SettingsTest::audioSettings_confirmedApplyAndPersist() {
  QTemporaryDir folder;
  {
    Session s(folder.path());
    s.Action("AudioSettings")->trigger();  // confirmed unseen by the test's dialogs: the form's values
    QCOMPARE(s.dialogs.confirmations, 1);
    s.window->close();
  }
  Stored stored(folder.path());
  QCOMPARE(stored.Text("Options/SampleRate"), QStringLiteral("44100"));
  QCOMPARE(stored.Text("Options/SynthGain"), QStringLiteral("20"));
  QCOMPARE(stored.Text("Options/AudioDriver"), QString());
}

void SettingsTest::importOptionsOutOfRange_refusedWithMessage_data() {
  QTest::addColumn<QString>("startRow");
  QTest::addColumn<QString>("patternsLength");
  QTest::addColumn<QString>("spd");
  QTest::addColumn<QString>("message");
  QTest::newRow("no rows per pattern") << "0" << "0" << "4" << "Patterns length must be a whole number from 1 to 256, not \"0\".";
  QTest::newRow("rows per beat not a number") << "0" << "64" << "abc" << "SPD value must be a whole number from 1 to 96, not \"abc\".";
  QTest::newRow("start row below zero") << "-1" << "64" << "4" << "Start row must be a whole number from 0 to 65536, not \"-1\".";
  QTest::newRow("patterns longer than 256 rows") << "0" << "300" << "4" << "Patterns length must be a whole number from 1 to 256, not \"300\".";
}

// OK is refused while an import option is out of range: the dialog says which and why, shows the
// "MIDI Import" page with that field, and stays open; nothing is taken until the value is mended.
void SettingsTest::importOptionsOutOfRange_refusedWithMessage() {
  QFETCH(QString, startRow);
  QFETCH(QString, patternsLength);
  QFETCH(QString, spd);
  QFETCH(QString, message);
  QTemporaryDir folder;
  Session s(folder.path());
  int result = -1;
  bool openAfterRefusal = false;
  int pageAfterRefusal = -1;
  QTimer::singleShot(0, s.window.get(), [&] {
    TOptionsForm& o = s.Options();
    o.ShowPage(TOptionsForm::GeneralPage);
    o.StartRow->setCurrentText(startRow);
    o.PatternsLength->setCurrentText(patternsLength);
    o.SpdValue->setCurrentText(spd);
    o.accept();
    openAfterRefusal = o.isVisible();
    pageAfterRefusal = o.CurrentPage();
    o.StartRow->setCurrentText("0");
    o.PatternsLength->setCurrentText("64");
    o.SpdValue->setCurrentText(" 8 ");
    o.accept();
  });
  result = s.Options().Run(TOptionsForm::ImportPage);
  QCOMPARE(s.dialogs.messages, QStringList{message});
  QVERIFY(openAfterRefusal);
  QCOMPARE(pageAfterRefusal, int(TOptionsForm::ImportPage));
  QCOMPARE(result, int(QDialog::Accepted));
  QCOMPARE(s.Options().ImportOptions().rowsPerQuarter, 8);
}

// The dialog opened for an import answers Return with OK, also after Cancel was clicked the time
// before (a clicked button keeps the focus, and a focused button takes Return).
void SettingsTest::importPage_returnMeansOkAfterACancel() {
  QTemporaryDir folder;
  Session s(folder.path());
  TOptionsForm& o = s.Options();
  auto button = [&o](QDialogButtonBox::StandardButton which) {
    return o.findChild<QDialogButtonBox*>()->button(which);
  };
  QTimer::singleShot(0, &o, [&] {
    o.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&o));
    QTest::mouseClick(button(QDialogButtonBox::Cancel), Qt::LeftButton);
  });
  QCOMPARE(o.Run(TOptionsForm::ImportPage), int(QDialog::Rejected));
  for (int time = 0; time < 2; ++time) {
    bool cancelFocused = true;
    QTimer::singleShot(0, &o, [&] {
      o.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&o));
      cancelFocused = button(QDialogButtonBox::Cancel)->hasFocus();
      QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &o, Qt::Key_Return);
      if (o.isVisible()) o.reject();  // Return did nothing: end the dialog all the same
    });
    QCOMPARE(o.Run(TOptionsForm::ImportPage), int(QDialog::Accepted));
    QVERIFY(!cancelFocused);
    QVERIFY(button(QDialogButtonBox::Ok)->isDefault());
  }
}

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
