// The channel bar and the MIDI channel properties panel on a real main window: what each control
// stores and sends, the loading guard, bank then program, copy and paste across MIDI channels,
// reset, the filter-cut actions and the panel's place in the View menu.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

#include "app/channel_bar.h"
#include "app/midi_props_frame.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

void Fresh(WindowRig& rig, int channels) {
  rig.Song().Reset(channels, 16, true);
  rig.window->PrepareEditor();
  rig.SetModified(false);
  rig.backend.Recorder().Clear();
}

TMIDIPropsFrame& Panel(WindowRig& rig) { return *rig.window->MidiProps(); }
TChannelBar& Bar(WindowRig& rig) { return *rig.window->ChannelBarContent(); }

void CursorOnTrack(WindowRig& rig, int track) { rig.G1().SetCol(track + 1); }

// The user picks an entry of a drop-down list.
void Choose(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

// What PrepareChannels sends for one MIDI channel, as the device layer builds it.
QStringList Prepared(WindowRig& rig, int midiChannel) {
  rig.backend.Recorder().Clear();
  rig.window->Devices().PrepareChannels(midiChannel);
  return rig.Sent();
}

}  // namespace

class ChannelPropsTest : public QObject {
  Q_OBJECT

 private slots:
  void panning_toMinus1_showsDash_storesNotSet_sendsDefault64();
  void sliderAndTrackBar_oneHandler_oneSend();
  void loadingGuard_storesWithoutSending();
  void changingChannel_differentPresets_sendsNothingChangesNothing();
  void bankMSB_5_sendsController0ThenProgram_minus1SendsZero();
  void paste_beforeCopy_changesNothing();
  void copyPaste_acrossMidiChannels_sameProgramPresetsAndBank();
  void resetAll_everyValueNotSet_defaultsSent();
  void filterCut_actions_onlyWhereATrackIs();
  void program_listAndButtons_prepareTheMidiChannel();
  void channelBar_midiChannel_velocity_releases_transpose();
  void songAccessMode_statusNamesChannelAndPattern();
  void viewMenu_togglesPanel_closeButtonUnchecks();
};

void ChannelPropsTest::panning_toMinus1_showsDash_storesNotSet_sendsDefault64() {
  WindowRig rig;
  Fresh(rig, 2);
  QSlider* pan = Panel(rig).PresetTrackBar(1);
  pan->setValue(30);
  QCOMPARE(Panel(rig).PresetValueLabel(1)->text(), QStringLiteral("30"));
  QCOMPARE(rig.Song().GetMidiParam(0, 1), 30);
  QCOMPARE(rig.Sent(), QStringList{"B0 0A 1E"});
  QVERIFY(rig.Modified());

  rig.backend.Recorder().Clear();
  pan->setValue(-1);
  QCOMPARE(Panel(rig).PresetValueLabel(1)->text(), QStringLiteral("-"));
  QVERIFY(rig.Song().MidiChannelParams(0, 1) >= 128);
  QCOMPARE(rig.Sent(), QStringList{"B0 0A 40"});

  // Each preset is its controller, with its own default.
  const std::pair<int, const char*> defaults[] = {{2, "B0 07 64"}, {3, "B0 01 00"}, {4, "B0 0B 7F"},
                                                  {5, "B0 40 00"}, {6, "B0 5B 00"}, {7, "B0 5D 00"},
                                                  {8, "B0 4A 7F"}, {9, "B0 47 00"}};
  for (const auto& [preset, bytes] : defaults) {
    Panel(rig).PresetTrackBar(preset)->setValue(0);
    rig.backend.Recorder().Clear();
    Panel(rig).PresetTrackBar(preset)->setValue(-1);
    QCOMPARE(rig.Sent(), QStringList{QString::fromLatin1(bytes)});
  }
}

void ChannelPropsTest::sliderAndTrackBar_oneHandler_oneSend() {
  WindowRig rig;
  Fresh(rig, 2);
  QVERIFY(Panel(rig).PresetTrackBar(2)->isVisible());
  QVERIFY(!Panel(rig).PresetSlider(2)->isVisible());
  Panel(rig).PresetSlider(2)->setValue(90);  // the hidden control works the same
  QCOMPARE(Panel(rig).PresetTrackBar(2)->value(), 90);
  QCOMPARE(rig.Sent(), QStringList{"B0 07 5A"});
  Panel(rig).SetSlidersVisible(true);
  QVERIFY(Panel(rig).PresetSlider(2)->isVisible());
  QVERIFY(!Panel(rig).BankTrackBar(0)->isVisible());
}

void ChannelPropsTest::loadingGuard_storesWithoutSending() {
  WindowRig rig;
  Fresh(rig, 2);
  Panel(rig).Loading = true;
  Panel(rig).PresetTrackBar(6)->setValue(70);
  Panel(rig).BankTrackBar(1)->setValue(3);
  Panel(rig).Loading = false;
  QCOMPARE(rig.Sent(), QStringList{});
  QCOMPARE(rig.Song().GetMidiParam(0, 6), 70);
  QCOMPARE(int(rig.Song().BankSelect(0, 1)), 3);
  QCOMPARE(Panel(rig).PresetValueLabel(6)->text(), QStringLiteral("70"));
  QVERIFY(rig.Modified());
  // Without the guard the same move sends.
  Panel(rig).PresetTrackBar(6)->setValue(71);
  QCOMPARE(rig.Sent(), QStringList{"B0 5B 47"});
}

void ChannelPropsTest::changingChannel_differentPresets_sendsNothingChangesNothing() {
  WindowRig rig;
  Fresh(rig, 3);
  rig.Song().SetMidiParam(1, 1, 20);
  rig.Song().StoreBankSelect(1, 0, 9);
  rig.SetModified(false);

  CursorOnTrack(rig, 2);  // MIDI channel 2: the same presets as channel 0's
  QCOMPARE(rig.window->CurrentChannel(), 2);
  QVERIFY(!rig.Modified());
  CursorOnTrack(rig, 1);
  QCOMPARE(Panel(rig).PresetTrackBar(1)->value(), 20);
  QCOMPARE(Panel(rig).PresetSlider(1)->value(), 20);
  QCOMPARE(Panel(rig).PresetValueLabel(1)->text(), QStringLiteral("20"));
  QCOMPARE(Panel(rig).BankTrackBar(0)->value(), 9);
  QCOMPARE(Panel(rig).BankSlider(0)->value(), 9);
  QCOMPARE(Panel(rig).MidiChannelList->currentIndex(), 1);
  QCOMPARE(rig.Sent(), QStringList{});
  QVERIFY(!rig.Modified());  // showing a channel changes nothing in the song
  QCOMPARE(rig.Song().GetMidiParam(1, 1), 20);
}

void ChannelPropsTest::bankMSB_5_sendsController0ThenProgram_minus1SendsZero() {
  WindowRig rig;
  Fresh(rig, 2);
  rig.Song().SetProgram(0, 7);
  Panel(rig).BankTrackBar(0)->setValue(5);
  QCOMPARE(rig.Sent(), (QStringList{"B0 00 05", "C0 07"}));
  QCOMPARE(int(rig.Song().BankSelect(0, 0)), 5);
  QCOMPARE(Panel(rig).BankValueLabel(0)->text(), QStringLiteral("5"));

  rig.backend.Recorder().Clear();
  Panel(rig).BankTrackBar(0)->setValue(-1);
  QCOMPARE(rig.Sent(), (QStringList{"B0 00 00", "C0 07"}));
  QCOMPARE(int(rig.Song().BankSelect(0, 0)), 128);
  QCOMPARE(Panel(rig).BankValueLabel(0)->text(), QStringLiteral("-"));

  rig.backend.Recorder().Clear();
  Panel(rig).BankSlider(1)->setValue(2);
  QCOMPARE(rig.Sent(), (QStringList{"B0 20 02", "C0 07"}));
  QCOMPARE(int(rig.Song().BankSelect(0, 1)), 2);
}

void ChannelPropsTest::paste_beforeCopy_changesNothing() {
  WindowRig rig;
  Fresh(rig, 2);
  QVERIFY(!Panel(rig).HasCopy());
  Panel(rig).PasteButton->click();
  QCOMPARE(rig.Sent(), QStringList{});
  QVERIFY(!rig.Modified());
  QCOMPARE(rig.Song().GetMidiParam(0, 1), -1);
}

void ChannelPropsTest::copyPaste_acrossMidiChannels_sameProgramPresetsAndBank() {
  WindowRig rig;
  Fresh(rig, 3);
  Choose(Bar(rig).Program, 40);
  Panel(rig).PresetTrackBar(1)->setValue(10);
  Panel(rig).PresetTrackBar(6)->setValue(50);
  Panel(rig).BankTrackBar(0)->setValue(3);
  Panel(rig).BankTrackBar(1)->setValue(4);
  Panel(rig).CopyButton->click();
  QVERIFY(Panel(rig).HasCopy());

  CursorOnTrack(rig, 2);
  rig.SetModified(false);
  rig.backend.Recorder().Clear();
  Panel(rig).PasteButton->click();
  TVNSong& s = rig.Song();
  QCOMPARE(s.GetProgram(2), 40);
  for (int p = 1; p <= 9; ++p) QCOMPARE(s.GetMidiParam(2, p), s.GetMidiParam(0, p));
  QCOMPARE(int(s.BankSelect(2, 0)), 3);
  QCOMPARE(int(s.BankSelect(2, 1)), 4);
  QVERIFY(rig.Modified());
  // The presets, then each bank followed by the program.
  QCOMPARE(rig.Sent(), (QStringList{"B2 0A 0A", "B2 07 64", "B2 01 00", "B2 0B 7F", "B2 40 00", "B2 5B 32",
                                     "B2 5D 00", "B2 4A 7F", "B2 47 00", "B2 00 03", "C2 28", "B2 20 04",
                                     "C2 28"}));
  QCOMPARE(Panel(rig).PresetTrackBar(6)->value(), 50);
  QCOMPARE(Panel(rig).BankTrackBar(1)->value(), 4);
  QCOMPARE(Bar(rig).Program->currentIndex(), 40);
  QCOMPARE(s.GetProgram(1), 0);  // the MIDI channel in between is untouched
}

void ChannelPropsTest::resetAll_everyValueNotSet_defaultsSent() {
  WindowRig rig;
  Fresh(rig, 2);
  rig.Song().SetProgram(0, 3);
  Panel(rig).PresetTrackBar(2)->setValue(20);
  Panel(rig).BankTrackBar(0)->setValue(1);
  rig.backend.Recorder().Clear();
  Panel(rig).ResetAllButton->click();
  for (int p = 1; p <= 9; ++p) {
    QCOMPARE(rig.Song().GetMidiParam(0, p), -1);
    QCOMPARE(Panel(rig).PresetValueLabel(p)->text(), QStringLiteral("-"));
  }
  QCOMPARE(int(rig.Song().BankSelect(0, 0)), 128);
  QCOMPARE(int(rig.Song().BankSelect(0, 1)), 128);
  QCOMPARE(rig.Sent(), (QStringList{"B0 0A 40", "B0 07 64", "B0 01 00", "B0 0B 7F", "B0 40 00", "B0 5B 00",
                                     "B0 5D 00", "B0 4A 7F", "B0 47 00", "B0 00 00", "C0 03", "B0 20 00",
                                     "C0 03"}));
}

void ChannelPropsTest::filterCut_actions_onlyWhereATrackIs() {
  WindowRig rig;
  Fresh(rig, 2);
  Panel(rig).PresetTrackBar(8)->setValue(90);
  rig.SetModified(false);
  Panel(rig).SendCutButton->click();  // no filter-cut track yet
  QVERIFY(!rig.Modified());
  QVERIFY(!Panel(rig).Set0CutOff(0, -1));

  CursorOnTrack(rig, 0);
  rig.Trigger("Automation8");
  CursorOnTrack(rig, 2);
  rig.Trigger("Automation8");
  QCOMPARE(rig.Song().GetTrackType(1), int(ttFilterCut));
  QCOMPARE(rig.Song().GetTrackType(3), int(ttFilterCut));
  CursorOnTrack(rig, 0);
  Panel(rig).SendCutButton->click();
  QCOMPARE(rig.Song().GetCellData(1, 0), 90);
  QCOMPARE(rig.G1().CellText(2, 1), QString::fromStdString(rig.Song().CellText(1, 0)));
  QCOMPARE(rig.Song().GetCellData(3, 0), int(CellEmpty));  // only the current channel's

  rig.Song().SetMidiParam(1, 8, 33);
  Panel(rig).SendAllCutsButton->click();
  QCOMPARE(rig.Song().GetCellData(1, 0), 90);
  QCOMPARE(rig.Song().GetCellData(3, 0), 33);
  QCOMPARE(rig.G1().CellText(4, 1), QString::fromStdString(rig.Song().CellText(3, 0)));

  Panel(rig).ClearCutsButton->click();
  QCOMPARE(rig.Song().GetCellData(1, 0), int(CellEmpty));
  QCOMPARE(rig.Song().GetCellData(3, 0), int(CellEmpty));
  QCOMPARE(rig.G1().CellText(2, 1).trimmed(), QString());

  // Preset 8 not set: nothing is written.
  Panel(rig).PresetTrackBar(8)->setValue(-1);
  Panel(rig).SendCutButton->click();
  QCOMPARE(rig.Song().GetCellData(1, 0), int(CellEmpty));
}

void ChannelPropsTest::program_listAndButtons_prepareTheMidiChannel() {
  WindowRig rig;
  Fresh(rig, 2);
  CursorOnTrack(rig, 1);
  QCOMPARE(Bar(rig).Program->count(), 128);
  QCOMPARE(Bar(rig).Program->itemText(0), QStringLiteral("0: Acoustic Grand Piano"));
  QCOMPARE(Bar(rig).Program->itemText(127), QStringLiteral("127: Gunshot"));

  rig.backend.Recorder().Clear();
  Choose(Bar(rig).Program, 5);
  const QStringList sent = rig.Sent();
  QCOMPARE(rig.Song().GetProgram(1), 5);
  QCOMPARE(sent, Prepared(rig, 1));
  QCOMPARE(sent.last(), QStringLiteral("C1 05"));
  QCOMPARE(sent.mid(9, 3), (QStringList{"E1 00 40", "B1 00 00", "B1 20 00"}));

  rig.backend.Recorder().Clear();
  Bar(rig).ProgramUp->click();
  QCOMPARE(rig.Song().GetProgram(1), 6);
  QCOMPARE(rig.Sent().last(), QStringLiteral("C1 06"));

  // "-" at program 0 sends program 0 again; numpad "/" steps like "-".
  Choose(Bar(rig).Program, 0);
  rig.backend.Recorder().Clear();
  Bar(rig).ProgramDown->click();
  QCOMPARE(Bar(rig).Program->currentIndex(), 0);
  const QStringList again = rig.Sent();
  QCOMPARE(again, Prepared(rig, 1));
  QCOMPARE(again.last(), QStringLiteral("C1 00"));
  static_cast<EditorHost&>(*rig.window).StepProgram(1);
  QCOMPARE(rig.Song().GetProgram(1), 1);
  Choose(Bar(rig).Program, 127);
  rig.backend.Recorder().Clear();
  Bar(rig).ProgramUp->click();
  QCOMPARE(rig.Sent().last(), QStringLiteral("C1 7F"));
}

void ChannelPropsTest::channelBar_midiChannel_velocity_releases_transpose() {
  WindowRig rig;
  Fresh(rig, 2);
  rig.Song().SetMidiParam(4, 1, 77);
  rig.Song().SetProgram(4, 12);
  CursorOnTrack(rig, 1);
  QCOMPARE(Bar(rig).ChannelNumber->text(), QStringLiteral("2"));
  rig.backend.Recorder().Clear();
  Choose(Bar(rig).MidiChannel, 4);
  QCOMPARE(rig.Song().GetMidiChannel(1), 4);
  QCOMPARE(Panel(rig).MidiChannelList->currentIndex(), 4);
  QCOMPARE(Panel(rig).PresetTrackBar(1)->value(), 77);
  QCOMPARE(Bar(rig).Program->currentIndex(), 12);
  QCOMPARE(rig.Sent(), QStringList{});

  Bar(rig).VolumeTrackBar->setValue(80);
  QCOMPARE(rig.Song().GetVelocity(1), 80);
  QCOMPARE(Bar(rig).VolumeLabel->text(), QStringLiteral("80"));
  QCOMPARE(Bar(rig).VolumeSlider->value(), 80);
  Bar(rig).Releases->click();
  QCOMPARE(rig.Song().GetReleaseMode(1), 255);
  Bar(rig).Releases->click();
  QCOMPARE(rig.Song().GetReleaseMode(1), 0);
  QCOMPARE(rig.Sent(), QStringList{});  // velocity and release mode send nothing

  NumberField* trn = Bar(rig).Transpose;
  trn->ChoosePreset(1);  // "+2 Octave"
  QCOMPARE(rig.Song().GetTranspose(1), 24);
  trn->ChoosePreset(7);  // "+1 Octave from current"
  QCOMPARE(rig.Song().GetTranspose(1), 36);
  trn->ChoosePreset(7);
  QCOMPARE(rig.Song().GetTranspose(1), 36);
  trn->ChoosePreset(8);  // "-1 Octave from current"
  QCOMPARE(rig.Song().GetTranspose(1), 24);
  QCOMPARE(rig.Song().GetTranspose(0), 0);

  // Back on channel 1 the bar shows channel 1's values; a MIDI channel of 16 or more shows none.
  rig.Song().SetMidiChannel(0, 20);
  CursorOnTrack(rig, 0);
  QCOMPARE(Bar(rig).VolumeTrackBar->value(), rig.Song().GetVelocity(0));
  QCOMPARE(Bar(rig).Transpose->Value(), 0);
  QCOMPARE(Bar(rig).MidiChannel->currentIndex(), -1);
  QCOMPARE(Panel(rig).MidiChannelList->currentIndex(), -1);
}

void ChannelPropsTest::songAccessMode_statusNamesChannelAndPattern() {
  WindowRig rig;
  Fresh(rig, 2);
  rig.Song().SetOrder(1, 0, OrderEmpty);
  rig.window->Action("FollowSong")->setChecked(true);
  rig.Trigger("PatternMode");  // song mode: the editor follows the order
  QVERIFY(rig.Song().FollowSongView != 0);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Channel: 1, Pattern: 0"));
  CursorOnTrack(rig, 1);
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Channel: 2, Pattern: none"));
}

void ChannelPropsTest::viewMenu_togglesPanel_closeButtonUnchecks() {
  WindowRig rig;
  QAction* view = rig.window->Action("ChannelPropsPanel");
  QVERIFY(view->isEnabled());
  QVERIFY(view->isChecked());
  QVERIFY(Panel(rig).isVisible());
  auto* splitter = qobject_cast<QSplitter*>(Panel(rig).parentWidget());
  QVERIFY(splitter);
  QVERIFY(splitter->indexOf(&Panel(rig)) > splitter->indexOf(rig.window->Frame()));
  QCOMPARE(Panel(rig).width(), 280);

  Panel(rig).CloseButton->click();
  QVERIFY(!Panel(rig).isVisible());
  QVERIFY(!view->isChecked());
  view->trigger();
  QVERIFY(Panel(rig).isVisible());
  view->trigger();
  QVERIFY(!Panel(rig).isVisible());
}

QTEST_MAIN(ChannelPropsTest)
#include "channel_props_test.moc"
