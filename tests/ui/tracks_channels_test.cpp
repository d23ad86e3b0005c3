// Tracks and channels on a real main window: the channel toggles (mute, solo, exemption, sizes,
// activity colours), the add-track commands with the custom track dialog, track properties,
// removing tracks and channels, adding a channel, the "=>" button, and what automation tracks
// added through the menus send when played.
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "app/channel_bar.h"
#include "app/channel_toggles.h"
#include "app/midi_props_frame.h"
#include "app/options_dialog.h"
#include "app/track_dialog.h"
#include "editing/grid_text.h"
#include "editor/readable_colors.h"
#include "support/song_builders.h"
#include "main_window_rig.h"

using namespace varnel;
using varnel::test::WindowRig;

namespace {

void Fresh(WindowRig& rig, int channels, int rows = 16) {
  rig.Song().Reset(channels, rows, true);
  rig.window->PrepareEditor();
  rig.backend.Recorder().Clear();
}

TChannelToggles& Toggles(WindowRig& rig) { return *rig.window->Toggles(); }

void Click(WindowRig& rig, int channel, Qt::MouseButton button, bool onLabel = false) {
  QWidget* target = onLabel ? static_cast<QWidget*>(Toggles(rig).Label(channel)) : Toggles(rig).Square(channel);
  QTest::mouseClick(target, button, {}, QPoint(2, 2));
}

std::vector<int> Colors(WindowRig& rig) {
  std::vector<int> out;
  for (int c = 0; c < Toggles(rig).Count(); ++c) out.push_back(Toggles(rig).ColorIndex(c));
  return out;
}

std::vector<bool> OnStates(WindowRig& rig) {
  std::vector<bool> out;
  for (int c = 0; c < rig.Song().ChannelsCount(); ++c) out.push_back(rig.Song().ChannelOn(c));
  return out;
}

QColor LabelColor(WindowRig& rig, int channel) {
  return Toggles(rig).Label(channel)->palette().color(QPalette::WindowText);
}

void CursorOnTrack(WindowRig& rig, int track) { rig.G1().SetCol(track + 1); }

QLineEdit* EditOf(QSpinBox* box) { return box->findChild<QLineEdit*>(); }

// What the custom track dialog showed when it opened, and after `fill` ran.
struct FormSeen {
  QString caption, hex1, hex2, note2, combined, combinedHex;
  int value1 = -1, value2 = -1;
  bool secondShown = false;
};

// Runs `command` while the dialog is answered from the event loop: `fill` edits it, then OK or Cancel.
FormSeen AnswerTrackForm(WindowRig& rig, const std::function<void()>& command,
                         const std::function<void(TTrackForm&)>& fill, bool ok) {
  FormSeen seen;
  TTrackForm& form = *rig.window->TrackForm();
  QTimer::singleShot(0, &form, [&] {
    seen.caption = form.windowTitle();
    seen.value1 = form.Value1->value();
    seen.value2 = form.Value2->value();
    seen.secondShown = form.Value2->isVisible();
    if (fill) fill(form);
    seen.hex1 = form.Hex1->text();
    seen.hex2 = form.Hex2->text();
    seen.note2 = form.Note2->text();
    seen.combined = form.Combined->text();
    seen.combinedHex = form.CombinedHex->text();
    (ok ? form.OkButton : form.CancelButton)->click();
  });
  command();
  return seen;
}

void Type(QSpinBox* box, const QString& text) {
  QLineEdit* edit = EditOf(box);
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// Empty when the channel bar, the channel properties panel and the toggles show the channel of the
// active grid's cursor; else what differs.
QString ChannelInViewMismatch(WindowRig& rig) {
  TVNFrame* frame = rig.window->Frame();
  const int cursor = frame->ActiveGrid() == 2 ? frame->Grid2()->Col() - 1 : rig.Song().GetTrackChannel(rig.G1().Col() - 1);
  QStringList out;
  if (rig.window->CurrentChannel() != cursor) out << QStringLiteral("current %1").arg(rig.window->CurrentChannel());
  if (rig.window->ChannelBarContent()->ChannelNumber->text() != QString::number(cursor + 1))
    out << QStringLiteral("bar ") + rig.window->ChannelBarContent()->ChannelNumber->text();
  if (rig.window->MidiProps()->Channel() != cursor) out << QStringLiteral("panel %1").arg(rig.window->MidiProps()->Channel());
  if (Toggles(rig).Current() != cursor) out << QStringLiteral("toggles %1").arg(Toggles(rig).Current());
  return out.isEmpty() ? QString() : QStringLiteral("cursor on %1: ").arg(cursor) + out.join(QStringLiteral(", "));
}

}  // namespace

class TracksChannelsTest : public QObject {
  Q_OBJECT

 private slots:
  void toggles_followChannelCount_buttonBehindTheLast();
  void toggleSize40_labelFont12_squares38High();
  void rightClicks_soloAndEnd_exemptNeverChanged();
  void rightClick_onOffChannel_movesSolo_headerRightClickToo();
  void middleClick_onNumber_exemptsInRed();
  void leftClick_disablingPlayingChannel_silencesItAtOnce();
  void playback_activityColours_offChannelKeepsColour0();
  void addTrackItems_typeAndParameter();
  void addTrack_whilePlaying_timerRestarted_undoRules();
  void addVolumeTrack_afterController_refusedGridUnchanged();
  void enterValueNrpn_1And99_adds227_showsD8Sharp();
  void enterValueCC_typed200_incorrect_okUses127_cancelAddsNothing();
  void editTrackProperties_noteTrackInfo_nrpnParameterEdited();
  void removeTrack_noKeepsEverything_yesRemovesTrackAndChannel();
  void addChannel_removeChannel_togglesFollow();
  void channelInView_followsCursor_afterCommandsAndSongs();
  void toggles_narrowWindow_wrapIntoLines_everyToggleShown();
  void addToSequence_channels1And2On3Off_writes4_4_257IntoRow2();
  void playback_automationTracksFromMenus_sendDescribedMessages();
};

void TracksChannelsTest::toggles_followChannelCount_buttonBehindTheLast() {
  WindowRig rig;
  QCOMPARE(Toggles(rig).Count(), 16);
  QCOMPARE(Toggles(rig).Label(15)->text(), QStringLiteral("16"));
  Fresh(rig, 4);
  QCOMPARE(Toggles(rig).Count(), 4);
  QCOMPARE(Toggles(rig).Label(3)->text(), QStringLiteral("4"));
  QCOMPARE(Toggles(rig).AddButton()->geometry(), QRect(4 * 24 + 10, 5, 24, 16));
  QCOMPARE(Toggles(rig).AddButton()->text(), QStringLiteral("=>"));
  QCOMPARE(Toggles(rig).AddButton()->toolTip(), QStringLiteral("Add to Sequence Editor"));
  QCOMPARE(Colors(rig), (std::vector<int>{1, 1, 1, 1}));
  // A loaded song's off and exempt channels show as such.
  rig.Song().SetChannelOn(1, false);
  rig.Song().SetChannelSoloExempt(2, true);
  rig.window->PrepareEditor();
  QCOMPARE(Colors(rig), (std::vector<int>{1, 0, 1, 1}));
  QCOMPARE(LabelColor(rig, 2), Toggles(rig).ExemptColor());
  QCOMPARE(Toggles(rig).Square(0)->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xFF));
  QCOMPARE(Toggles(rig).Square(1)->palette().color(QPalette::Window), QColor(0xB8, 0xB8, 0xB8));
}

void TracksChannelsTest::toggleSize40_labelFont12_squares38High() {
  WindowRig rig;
  Fresh(rig, 16);
  QCOMPARE(Toggles(rig).Square(0)->height(), 22);  // the option's default, 24
  rig.window->OptionsForm()->TrackToggleSize->setCurrentText(QStringLiteral("40"));
  rig.window->OptionsForm()->accept();
  TChannelToggles& t = Toggles(rig);
  QCOMPARE(t.ToggleSize(), 40);
  QCOMPARE(t.Square(2)->geometry(), QRect(80, 1, 40, 38));
  QCOMPARE(t.Label(2)->font().pointSize(), 12);
  // "Arial" where installed, else the application's font (never the system's guess for the name).
  QCOMPARE(t.Label(2)->font().family(),
           QFontDatabase::hasFamily(QStringLiteral("Arial")) ? QStringLiteral("Arial") : QApplication::font().family());
  QCOMPARE(t.Label(2)->y(), 39);
  const int w3 = t.Label(2)->fontMetrics().horizontalAdvance(QStringLiteral("3"));
  QCOMPARE(t.Label(2)->x(), (40 - w3) / 2 + 80 + 1);
  const int w12 = t.Label(11)->fontMetrics().horizontalAdvance(QStringLiteral("12"));
  QTRY_COMPARE(t.Label(11)->x(), (40 - w12) / 2 + 440);  // one line, once the bar has grown for it
  QCOMPARE(t.AddButton()->geometry(), QRect(16 * 40 + 10, 5, 40, 32));
  QVERIFY(t.height() >= t.Label(0)->geometry().bottom());
  // Toggles added later take the new size too.
  Fresh(rig, 17);
  QTRY_COMPARE(t.Square(16)->geometry(), QRect(640, 1, 40, 38));
}

void TracksChannelsTest::rightClicks_soloAndEnd_exemptNeverChanged() {
  WindowRig rig;
  Fresh(rig, 5);
  rig.Song().SetChannelSoloExempt(4, true);
  Click(rig, 4, Qt::LeftButton);  // the exempt channel is off and stays so
  rig.backend.Recorder().Clear();

  Click(rig, 2, Qt::RightButton);
  QCOMPARE(rig.window->SoloChannel(), 3);
  QCOMPARE(OnStates(rig), (std::vector<bool>{false, false, true, false, false}));
  QCOMPARE(Colors(rig), (std::vector<int>{0, 0, 1, 0, 0}));
  QCOMPARE(rig.Sent(), (QStringList{"B0 7B 00", "B1 7B 00", "B3 7B 00"}));

  rig.backend.Recorder().Clear();
  Click(rig, 2, Qt::RightButton);
  QCOMPARE(rig.window->SoloChannel(), 0);
  QCOMPARE(OnStates(rig), (std::vector<bool>{true, true, true, true, false}));
  QCOMPARE(Colors(rig), (std::vector<int>{1, 1, 1, 1, 0}));
  QCOMPARE(rig.Sent(), QStringList{});
}

void TracksChannelsTest::rightClick_onOffChannel_movesSolo_headerRightClickToo() {
  WindowRig rig;
  Fresh(rig, 4);
  Click(rig, 0, Qt::RightButton);
  Click(rig, 3, Qt::RightButton, true);  // on the number: the same as on the square
  QCOMPARE(rig.window->SoloChannel(), 4);
  QCOMPARE(OnStates(rig), (std::vector<bool>{false, false, false, true}));
  // A right click on a column header of the pattern grid reaches the same rule.
  static_cast<EditorHost&>(*rig.window).ChannelToggleRightClick(3);
  QCOMPARE(rig.window->SoloChannel(), 0);
  QCOMPARE(OnStates(rig), (std::vector<bool>{true, true, true, true}));
  QCOMPARE(Colors(rig), (std::vector<int>{1, 1, 1, 1}));
}

void TracksChannelsTest::middleClick_onNumber_exemptsInRed() {
  WindowRig rig;
  Fresh(rig, 3);
  const QColor normal = LabelColor(rig, 1);
  Click(rig, 1, Qt::MiddleButton, true);
  QVERIFY(rig.Song().ChannelSoloExempt(1));
  QCOMPARE(LabelColor(rig, 1), Toggles(rig).ExemptColor());
  // Red, as dark as the bar needs to read it; and what is drawn is that red.
  QCOMPARE(Toggles(rig).ExemptColor().hue(), 0);
  QVERIFY(ContrastRatio(Toggles(rig).ExemptColor(), rig.window->findChild<QToolBar*>("ChannelsToggleBar")->palette().color(QPalette::Window)) >= 4.5);
  const QImage number = Toggles(rig).Label(1)->grab().toImage();
  bool red = false;
  for (int y = 0; y < number.height(); ++y)
    for (int x = 0; x < number.width(); ++x) {
      const QColor c = number.pixelColor(x, y);
      red |= c.red() > c.green() + 60 && c.red() > c.blue() + 60;
    }
  QVERIFY(red);
  Click(rig, 0, Qt::RightButton);
  QCOMPARE(OnStates(rig), (std::vector<bool>{true, true, false}));
  Click(rig, 1, Qt::MiddleButton);
  QVERIFY(!rig.Song().ChannelSoloExempt(1));
  QCOMPARE(LabelColor(rig, 1), normal);
  QCOMPARE(rig.Sent(), QStringList{"B2 7B 00"});  // only the solo switched a channel off
}

void TracksChannelsTest::leftClick_disablingPlayingChannel_silencesItAtOnce() {
  WindowRig rig;
  Fresh(rig, 2);
  rig.Song().SetCellData(0, 0, 60);
  rig.Song().SetCellData(1, 0, 64);
  rig.Song().SetCellData(0, 2, 62);
  rig.Trigger("PlayPause");
  rig.backend.Recorder().Clear();
  QVERIFY(rig.clock.Advance());
  QCOMPARE(rig.Sent().filter(QRegularExpression("^9")), (QStringList{"90 3C 64", "91 40 64"}));

  rig.backend.Recorder().Clear();
  Click(rig, 0, Qt::LeftButton);
  // All notes off on MIDI channel 0 (the device layer may release the sounding note by name first).
  const QStringList muted = rig.Sent();
  QCOMPARE(muted.last(), QStringLiteral("B0 7B 00"));
  QCOMPARE(muted.filter(QRegularExpression("^80 3C|^B0 7B")), muted);
  QCOMPARE(Colors(rig), (std::vector<int>{0, 1}));
  rig.clock.Advance();
  rig.clock.Advance();  // row 2 of the muted channel is not played
  QCOMPARE(rig.Sent(), muted);

  Click(rig, 0, Qt::LeftButton);
  QVERIFY(rig.Song().ChannelOn(0));
  QCOMPARE(Colors(rig), (std::vector<int>{1, 1}));
  QCOMPARE(rig.Sent(), muted);  // switching on sends nothing
  rig.Trigger("Stop");
}

void TracksChannelsTest::playback_activityColours_offChannelKeepsColour0() {
  WindowRig rig;
  Fresh(rig, 3);
  rig.Song().SetCellData(0, 0, 60);
  rig.Song().SetCellData(2, 0, 60);
  Click(rig, 2, Qt::LeftButton);
  rig.Trigger("PlayPause");
  QVERIFY(rig.clock.Advance());
  WindowRig::Pump();
  QCOMPARE(Colors(rig), (std::vector<int>{2, 1, 0}));
  QVERIFY(rig.clock.Advance());  // row 1 starts no note
  WindowRig::Pump();
  QCOMPARE(Colors(rig), (std::vector<int>{1, 1, 0}));
  rig.Trigger("Stop");
}

void TracksChannelsTest::addTrackItems_typeAndParameter() {
  struct Item {
    const char* key;
    int type, param;
  };
  const Item items[] = {{"AddTrack", ttNote, -1},         {"Automation1", ttPan, -1},
                        {"Automation2", ttChannelVolume, -1}, {"Automation5", ttSustain, -1},
                        {"Automation8", ttFilterCut, -1}, {"Automation10", ttPitchWheel, -1},
                        {"CC0", ttControlChange, 0},      {"CC32", ttControlChange, 32},
                        {"CC73", ttControlChange, 73},    {"NRPN227", ttNRPN, 227},
                        {"NRPN2596", ttNRPN, 2596},       {"NRPN3876", ttNRPN, 3876},
                        {"RPN0", ttRPN, 0},               {"RPN2", ttRPN, 2},
                        {"ProgramTrack", ttProgram, -1},  {"TempoTrack", ttTempo, -1}};
  WindowRig rig;
  QCOMPARE(rig.window->Action("Automation1")->statusTip(), QStringLiteral("Panning - control change event "));
  QCOMPARE(rig.window->Action("NRPN2596")->text(), QStringLiteral("14knh Drum key low-pass filter cut-off"));
  QCOMPARE(rig.window->Action("NRPN2596")->statusTip(),
           QStringLiteral("Default for C3 - Edit 'Value 2' for another Note"));
  for (const Item& item : items) {
    Fresh(rig, 2);
    CursorOnTrack(rig, 0);
    rig.Trigger(item.key);
    QVERIFY2(rig.Song().TracksCount() == 3, item.key);
    QVERIFY2(rig.Song().GetTrackType(1) == item.type, item.key);
    QVERIFY2(rig.Song().GetTrackChannel(1) == 0, item.key);
    if (item.param >= 0) QVERIFY2(rig.Song().GetTrackParam(1) == item.param, item.key);
    QCOMPARE(rig.G1().ColCount(), 4);  // the grid shows the new column
  }
  // The NRPN drum key: MSB 20, LSB 36.
  Fresh(rig, 1);
  rig.Trigger("NRPN2596");
  QCOMPARE(rig.Song().GetTrackParam(1) / 128, 20);
  QCOMPARE(rig.Song().GetTrackParam(1) % 128, 36);
}

void TracksChannelsTest::addTrack_whilePlaying_timerRestarted_undoRules() {
  WindowRig rig;
  Fresh(rig, 2);
  rig.Trigger("PlayPause");
  QVERIFY(rig.clock.Running());
  CursorOnTrack(rig, 0);

  // Every added track is a step of its own; undone while playing, the song plays on reshaped back.
  rig.G1().SetRow(1);
  QTest::keyClick(&rig.G1(), Qt::Key_Q);
  QVERIFY(rig.window->Frame()->CanUndo());
  rig.Trigger("Automation1");
  QVERIFY(rig.clock.Running());
  QCOMPARE(rig.Song().TracksCount(), 3);
  rig.Trigger("AddTrack");
  QVERIFY(rig.clock.Running());
  QCOMPARE(rig.Song().TracksCount(), 4);
  QVERIFY(rig.window->Action("Undo")->isEnabled());
  QVERIFY(rig.clock.Advance());  // still playing the reshaped song
  rig.Trigger("Undo");
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Undo: add track"));
  QCOMPARE(rig.Song().TracksCount(), 3);
  rig.Trigger("Undo");
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Undo: add automation track"));
  QCOMPARE(rig.Song().TracksCount(), 2);
  QVERIFY(rig.clock.Running());
  QVERIFY(rig.clock.Advance());
  rig.Trigger("Redo");
  QCOMPARE(rig.Song().TracksCount(), 3);
  QCOMPARE(rig.Song().GetTrackType(1), int(ttPan));
  rig.Trigger("Stop");
}

void TracksChannelsTest::addVolumeTrack_afterController_refusedGridUnchanged() {
  WindowRig rig;
  Fresh(rig, 2);
  CursorOnTrack(rig, 0);
  rig.Trigger("Automation1");
  CursorOnTrack(rig, 1);
  rig.Trigger("PlayPause");
  rig.Trigger("AddVolumeTrack");
  QCOMPARE(rig.dialogs.messages.size(), 1);
  QVERIFY(rig.dialogs.messages[0].startsWith(QStringLiteral("Cannot add volume track for channel #")));
  QCOMPARE(rig.Song().TracksCount(), 3);
  QCOMPARE(rig.G1().ColCount(), 4);
  QVERIFY(rig.clock.Running());  // restarted all the same
  rig.Trigger("Stop");
  // After a note track it works.
  CursorOnTrack(rig, 0);
  rig.Trigger("AddVolumeTrack");
  QCOMPARE(rig.Song().GetTrackType(1), int(ttVelocity));
}

void TracksChannelsTest::enterValueNrpn_1And99_adds227_showsD8Sharp() {
  WindowRig rig;
  Fresh(rig, 1);
  const FormSeen seen = AnswerTrackForm(
      rig, [&] { rig.Trigger("NRPNEnter"); },
      [](TTrackForm& form) {
        Type(form.Value1, "1");
        Type(form.Value2, "99");
      },
      true);
  QCOMPARE(seen.caption, QStringLiteral("Add NRPN track"));
  QVERIFY(seen.secondShown);
  QCOMPARE(seen.hex1, QStringLiteral("Hex: 01"));
  QCOMPARE(seen.hex2, QStringLiteral("Hex: 63"));
  QCOMPARE(seen.note2, QStringLiteral("D#8"));
  QCOMPARE(seen.combined, QStringLiteral("227"));
  QCOMPARE(seen.combinedHex, QStringLiteral("Hex: E3"));
  QCOMPARE(rig.Song().TracksCount(), 2);
  QCOMPARE(rig.Song().GetTrackType(1), int(ttNRPN));
  QCOMPARE(rig.Song().GetTrackParam(1), 227);

  // RPN: the same two values; the dialog keeps what was entered last.
  const FormSeen rpn = AnswerTrackForm(rig, [&] { rig.Trigger("RPNEnter"); }, nullptr, true);
  QCOMPARE(rpn.caption, QStringLiteral("Add RPN track"));
  QCOMPARE(rpn.value1, 1);
  QCOMPARE(rpn.value2, 99);
  QCOMPARE(rig.Song().GetTrackType(1), int(ttRPN));
  QCOMPARE(rig.Song().GetTrackParam(1), 227);
}

void TracksChannelsTest::enterValueCC_typed200_incorrect_okUses127_cancelAddsNothing() {
  WindowRig rig;
  Fresh(rig, 1);
  const FormSeen cancelled = AnswerTrackForm(
      rig, [&] { rig.Trigger("CCEnter"); }, [](TTrackForm& form) { Type(form.Value1, "5"); }, false);
  QCOMPARE(cancelled.caption, QStringLiteral("Add Control Change track"));
  QVERIFY(!cancelled.secondShown);
  QCOMPARE(rig.Song().TracksCount(), 1);

  const FormSeen seen = AnswerTrackForm(
      rig, [&] { rig.Trigger("CCEnter"); }, [](TTrackForm& form) { Type(form.Value1, "200"); }, true);
  QCOMPARE(seen.hex1, QStringLiteral("Incorrect value"));
  QCOMPARE(seen.combined, QString());
  QCOMPARE(seen.combinedHex, QString());
  QCOMPARE(rig.Song().GetTrackType(1), int(ttControlChange));
  QCOMPARE(rig.Song().GetTrackParam(1), 127);
}

void TracksChannelsTest::editTrackProperties_noteTrackInfo_nrpnParameterEdited() {
  WindowRig rig;
  Fresh(rig, 1);
  rig.Trigger("EditTrackProperties");
  QCOMPARE(rig.dialogs.messages, QStringList{"Track #1\r\nTrack type: 1\r\nChannel: 1\r\n"});

  rig.Trigger("NRPN2596");
  CursorOnTrack(rig, 1);
  const FormSeen seen = AnswerTrackForm(
      rig, [&] { rig.Trigger("EditTrackProperties"); }, [](TTrackForm& form) { Type(form.Value2, "38"); }, true);
  QCOMPARE(seen.caption, QStringLiteral("Edit NRPN track properties"));
  QCOMPARE(seen.value1, 20);
  QCOMPARE(seen.value2, 36);
  QCOMPARE(seen.note2, QStringLiteral("D-3"));
  QCOMPARE(rig.Song().GetTrackParam(1), 20 * 128 + 38);
  QCOMPARE(rig.dialogs.messages.size(), 1);

  // Only while the pattern grid is the active grid.
  rig.Trigger("SequenceEditor");
  rig.Trigger("EditTrackProperties");
  QCOMPARE(rig.dialogs.messages.size(), 1);
}

void TracksChannelsTest::removeTrack_noKeepsEverything_yesRemovesTrackAndChannel() {
  WindowRig rig;
  Fresh(rig, 3);
  CursorOnTrack(rig, 1);
  rig.Trigger("PlayPause");
  rig.dialogs.answer = false;
  rig.Trigger("RemoveTrack");
  QCOMPARE(rig.dialogs.questions, QStringList{"All events of current track in the song will be lost. Continue?"});
  QCOMPARE(rig.Song().TracksCount(), 3);
  QVERIFY(rig.clock.Running());

  rig.dialogs.answer = true;
  rig.Trigger("RemoveTrack");
  QCOMPARE(rig.Song().TracksCount(), 2);
  QCOMPARE(rig.Song().ChannelsCount(), 2);
  QCOMPARE(Toggles(rig).Count(), 2);
  QVERIFY(rig.clock.Running());
  rig.Trigger("Stop");

  // The song's last track stays, with its message.
  Fresh(rig, 1);
  rig.Trigger("RemoveTrack");
  QCOMPARE(rig.dialogs.messages.last(), QStringLiteral("Cannot delete the last track of the song"));
  QCOMPARE(rig.Song().TracksCount(), 1);
}

void TracksChannelsTest::addChannel_removeChannel_togglesFollow() {
  WindowRig rig;
  Fresh(rig, 3);
  rig.Song().SetMidiChannel(1, 7);
  CursorOnTrack(rig, 1);
  QCOMPARE(rig.window->CurrentChannel(), 1);
  rig.Trigger("AddChannel");
  QCOMPARE(rig.Song().ChannelsCount(), 4);
  QCOMPARE(rig.Song().GetMidiChannel(1), 7);  // a copy of the channel it went in front of
  QCOMPARE(Toggles(rig).Count(), 4);

  rig.dialogs.answer = false;
  rig.Trigger("RemoveChannel");
  QCOMPARE(rig.dialogs.questions.last(), QStringLiteral("Channel data in whole song will be erased. Continue?"));
  QCOMPARE(rig.Song().ChannelsCount(), 4);
  rig.dialogs.answer = true;
  rig.Trigger("RemoveChannel");
  QCOMPARE(rig.Song().ChannelsCount(), 3);
  QCOMPARE(Toggles(rig).Count(), 3);
  QCOMPARE(rig.G1().ColCount(), 4);

  // With warnings disabled nothing is asked.
  rig.window->Action("DisableWarnings")->setChecked(true);
  const int asked = rig.dialogs.questions.size();
  rig.Trigger("RemoveChannel");
  QCOMPARE(rig.dialogs.questions.size(), asked);
  QCOMPARE(rig.Song().ChannelsCount(), 2);
}

// Whatever changes the tracks or channels or brings another song, the channel bar, the channel
// properties panel and the toggles show the channel under the cursor: the next edit goes there.
void TracksChannelsTest::channelInView_followsCursor_afterCommandsAndSongs() {
  WindowRig rig;
  Fresh(rig, 4);
  for (int c = 0; c < 4; ++c) rig.Song().SetMidiChannel(c, uint8_t(c + 4));
  rig.window->Action("DisableWarnings")->setChecked(true);
  CursorOnTrack(rig, 3);
  QCOMPARE(ChannelInViewMismatch(rig), QString());
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"remove channel", [&] { rig.Trigger("RemoveChannel"); }},
      {"add channel", [&] { CursorOnTrack(rig, 2); rig.Trigger("AddChannel"); }},
      {"add track", [&] { CursorOnTrack(rig, 1); rig.Trigger("AddTrack"); }},
      {"remove track", [&] { CursorOnTrack(rig, 3); rig.Trigger("RemoveTrack"); }},
      {"template", [&] {
         rig.window->SetTemplatesFolder(QStringLiteral(VARNEL_BUILT_SONGS));
         CursorOnTrack(rig, 2);
         rig.Trigger("Template2");
       }},
      {"open", [&] {
         const QString path = QDir(rig.settings.path()).filePath(QStringLiteral("view.vnl"));
         test::MakeSong(rig.Song(), 6, 16);
         QVERIFY(rig.Song().SaveToFile(path.toStdString()));
         rig.Song().Reset(2, 16, true);
         rig.window->PrepareEditor();
         CursorOnTrack(rig, 1);
         rig.dialogs.openName = path;
         rig.Trigger("Open");
         QCOMPARE(rig.Song().ChannelsCount(), 6);
       }},
      {"new song", [&] { CursorOnTrack(rig, 5); rig.Trigger("NewSong"); }},
      {"order grid", [&] { rig.Trigger("SequenceEditor"); rig.window->Frame()->Grid2()->SetCol(3); rig.Trigger("AddChannel"); }},
  };
  for (const auto& [what, step] : steps) {
    step();
    QVERIFY2(ChannelInViewMismatch(rig).isEmpty(), qPrintable(QString::fromLatin1(what) + ": " + ChannelInViewMismatch(rig)));
  }
}

// Forty channels on a narrow window: the toggles wrap into lines, every square, number and the
// "=>" button inside the bar, none over another.
void TracksChannelsTest::toggles_narrowWindow_wrapIntoLines_everyToggleShown() {
  WindowRig rig;
  Fresh(rig, 40);
  rig.window->resize(520, 600);
  TChannelToggles& t = Toggles(rig);
  QTRY_VERIFY(t.height() >= 3 * t.Square(0)->height());
  QCoreApplication::processEvents();
  for (int c = 0; c < t.Count(); ++c) {
    QVERIFY(t.rect().contains(t.Square(c)->geometry()));
    const QRect label = t.Label(c)->geometry();
    QVERIFY2(t.rect().contains(label), qPrintable(QStringLiteral("label %1 at %2,%3 %4x%5 in %6x%7").arg(c + 1)
                                                    .arg(label.x()).arg(label.y()).arg(label.width()).arg(label.height())
                                                    .arg(t.width()).arg(t.height())));
    for (int d = c + 1; d < t.Count(); ++d) QVERIFY(!t.Square(c)->geometry().intersects(t.Square(d)->geometry()));
  }
  QVERIFY(t.rect().contains(t.AddButton()->geometry()));
  QVERIFY(rig.window->rect().contains(QRect(t.mapTo(rig.window.get(), QPoint(0, 0)), t.size())));
  // Wide again: one line.
  rig.window->resize(1400, 700);
  QTRY_COMPARE(t.Square(39)->y(), t.Square(0)->y());
}

void TracksChannelsTest::addToSequence_channels1And2On3Off_writes4_4_257IntoRow2() {
  WindowRig rig;
  Fresh(rig, 3);
  for (int i = 0; i < 4; ++i) rig.Song().InsertPattern(rig.Song().PatternsCount(), 16);
  rig.Song().SetOrder(0, 0, 0);
  rig.Song().SetOrder(1, 1, 1);
  rig.window->PrepareEditor();
  rig.Props().Ptn->SetValue(4);
  QCOMPARE(int(rig.Song().CurrentPattern), 4);
  Click(rig, 2, Qt::LeftButton);

  QTest::mouseClick(Toggles(rig).AddButton(), Qt::LeftButton);
  QCOMPARE(rig.Song().GetOrder(0, 2), 4);
  QCOMPARE(rig.Song().GetOrder(1, 2), 4);
  QCOMPARE(rig.Song().GetOrder(2, 2), OrderNoteOff);
  QCOMPARE(rig.Song().OrderLength(), 3);
  // Each entry was redrawn in the order grid.
  for (int c = 1; c <= 3; ++c)
    QCOMPARE(rig.window->Frame()->Grid2()->CellText(c, 3), QString::fromStdString(OrderGridText(rig.Song(), c, 3, false)));
  QVERIFY(rig.window->Frame()->Grid2()->CellText(3, 3) != rig.window->Frame()->Grid2()->CellText(1, 3));
  // The next click finds row 3.
  QTest::mouseClick(Toggles(rig).AddButton(), Qt::LeftButton);
  QCOMPARE(rig.Song().GetOrder(0, 3), 4);
}

void TracksChannelsTest::playback_automationTracksFromMenus_sendDescribedMessages() {
  WindowRig rig;
  Fresh(rig, 1, 4);
  rig.Song().SetMidiChannel(0, 2);
  rig.window->PrepareEditor();
  CursorOnTrack(rig, 0);
  // Each new track goes right of the cursor's: added in reverse, they stand in menu order.
  for (const char* key : {"TempoTrack", "ProgramTrack", "RPN0", "NRPN2596", "CC65", "Automation1"}) rig.Trigger(key);
  const int types[] = {ttNote, ttPan, ttControlChange, ttNRPN, ttRPN, ttProgram, ttTempo};
  for (int t = 0; t < 7; ++t) QCOMPARE(rig.Song().GetTrackType(t), types[t]);

  TVNSong& s = rig.Song();
  s.SetCellData(0, 0, 60);
  s.SetCellData(1, 0, 32);   // pan
  s.SetCellData(2, 0, 127);  // portamento on
  s.SetCellData(3, 0, 64);   // drum key cut-off of key 36
  s.SetCellData(4, 0, 12);   // pitch wheel range
  s.SetCellData(5, 0, 5);    // program
  s.SetCellData(6, 0, 140);  // tempo
  s.SetCellData(1, 1, 128);  // an empty cell sends nothing
  s.SetCellData(1, 2, 0);
  rig.Trigger("PlayPause");
  rig.backend.Recorder().Clear();
  const auto before = rig.clock.Period();
  QVERIFY(rig.clock.Advance());
  // Row 0 in track order; the tempo event then restarts the timer, which prepares every channel.
  const QStringList row0 = rig.Sent();
  const QStringList tracks{"82 00 00", "92 3C 64", "B2 0A 20", "B2 41 7F", "B2 63 14", "B2 62 24",
                           "B2 06 40", "B2 65 00", "B2 64 00", "B2 06 0C", "C2 05"};
  QCOMPARE(row0.mid(0, tracks.size()), tracks);
  rig.backend.Recorder().Clear();
  rig.window->Devices().PrepareChannels(-1);
  QCOMPARE(row0.mid(tracks.size()), rig.Sent());
  QCOMPARE(int(s.BPM), 120);  // the tempo cell sets the playing tempo, never the song's
  QCOMPARE(rig.window->Player().PlayingTempo(), 140.0);
  QVERIFY(rig.clock.Period() < before);  // the timer follows the new tempo
  rig.backend.Recorder().Clear();
  QVERIFY(rig.clock.Advance());
  QCOMPARE(rig.Sent(), QStringList{});
  QVERIFY(rig.clock.Advance());
  QCOMPARE(rig.Sent(), QStringList{"B2 0A 00"});
  rig.Trigger("Stop");
}

QTEST_MAIN(TracksChannelsTest)
#include "tracks_channels_test.moc"
