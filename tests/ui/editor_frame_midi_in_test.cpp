// The editor frame's half of the MIDI input: an incoming note-on enters and sounds the note of its
// key on the cursor channel, its note-off (0x80, or velocity 0) ends exactly that note, everything
// else passes through on the current channel.
#include <QTest>

#include "editor_frame_fixture.h"

using namespace varnel;
using namespace varnel::test;
using Strings = std::vector<std::string>;

namespace {

ShortMessage Msg(int status, int data1, int data2) {
  return MakeShortMessage(uint8_t(status), uint8_t(data1), uint8_t(data2));
}

// Octave 4, which does not change which note a key is.
struct MidiRig : FrameRig {
  MidiRig() {
    song.GridAdd = 1;
    G1().SetCol(2);  // track 1, channel 1
    Clear();
  }
};

}  // namespace

class EditorFrameMidiInTest : public QObject {
  Q_OBJECT

 private slots:
  void noteOn_entersNoteStepsAndSounds();
  void noteOff_bothForms_endTheNoteTheKeySounded_data();
  void noteOff_bothForms_endTheNoteTheKeySounded();
  void noteOff_afterOctaveAndCursorChanged_endsTheSoundedNote();
  void passThrough_otherChannelsAndMessages_onCurrentChannel();
  void velocityOptions_shapeTheSoundedVelocity_data();
  void velocityOptions_shapeTheSoundedVelocity();
  void activeSensing_ignoredCompletely();
  void editingOff_soundsWithoutWriting();
  void noteOn_transposedOutOfRange_writtenButNotSounded();
  void noteOn_key60IsNote60_whateverTheOctave();
};

void EditorFrameMidiInTest::noteOn_entersNoteStepsAndSounds() {
  MidiRig rig;
  rig.frame->HandleMidiIn(Msg(0x90, 60, 80));
  rig.frame->HandleMidiIn(Msg(0x90, 62, 81));
  QCOMPARE(rig.song.GetCellData(1, 0), 60);
  QCOMPARE(rig.song.GetCellData(1, 1), 62);
  QCOMPARE(rig.G1().CellText(2, 1), QStringLiteral("C-5"));
  QCOMPARE(rig.G1().Row(), 3);
  QCOMPARE(rig.Sent(), (Strings{"91 3C 50", "91 3E 51"}));
  QCOMPARE(rig.host.calls, (Strings{"PianoKey 60 down", "PianoKey 62 down"}));
  QVERIFY(rig.reporter.SaidStatus("MIDI Data received: 90h 60 80 send velocity: 80"));
  QCOMPARE(rig.reporter.statuses.back().panel, 0);
  // Undo takes the last entered note back.
  QVERIFY(rig.frame->CanUndo());
  rig.frame->PerformUndo();
  QCOMPARE(rig.song.GetCellData(1, 0), 60);
  QCOMPARE(rig.song.GetCellData(1, 1), CellEmpty);
}

void EditorFrameMidiInTest::noteOff_bothForms_endTheNoteTheKeySounded_data() {
  QTest::addColumn<int>("status");
  QTest::addColumn<int>("velocity");
  QTest::newRow("80") << 0x80 << 64;
  QTest::newRow("90, velocity 0") << 0x90 << 0;
}

void EditorFrameMidiInTest::noteOff_bothForms_endTheNoteTheKeySounded() {
  QFETCH(int, status);
  QFETCH(int, velocity);
  MidiRig rig;
  rig.song.SetTranspose(1, 2);
  rig.frame->HandleMidiIn(Msg(0x90, 60, 80));
  rig.frame->HandleMidiIn(Msg(status, 60, velocity));
  QCOMPARE(rig.Sent(), (Strings{"91 3E 50", "81 3E 00"}));
  QCOMPARE(rig.host.calls, (Strings{"PianoKey 60 down", "PianoKey 60 up"}));
  QCOMPARE(rig.song.GetCellData(1, 0), 60);
  QCOMPARE(rig.song.GetCellData(1, 1), CellEmpty);
  QCOMPARE(rig.G1().Row(), 2);

  // A note-off of a key that sounded nothing here ends nothing.
  rig.Clear();
  rig.frame->HandleMidiIn(Msg(status, 61, velocity));
  QCOMPARE(rig.Sent(), Strings{});
  QCOMPARE(rig.host.calls, Strings{"PianoKey 61 up"});
}

void EditorFrameMidiInTest::noteOff_afterOctaveAndCursorChanged_endsTheSoundedNote() {
  MidiRig rig;
  rig.frame->HandleMidiIn(Msg(0x90, 64, 80));
  rig.song.Octave = 2;
  rig.G1().SetCol(3);  // channel 2
  rig.frame->HandleMidiIn(Msg(0x80, 64, 0));
  QCOMPARE(rig.Sent(), (Strings{"91 40 50", "81 40 00"}));
  // A second note-on of a held key ends the first before it sounds again.
  rig.Clear();
  rig.frame->HandleMidiIn(Msg(0x90, 64, 80));
  rig.frame->HandleMidiIn(Msg(0x90, 64, 90));
  QCOMPARE(rig.Sent(), (Strings{"92 40 50", "82 40 00", "92 40 5A"}));
}

void EditorFrameMidiInTest::passThrough_otherChannelsAndMessages_onCurrentChannel() {
  MidiRig rig;
  rig.song.SetMidiChannel(1, 5);  // the pass-through goes by the song channel's index all the same
  rig.frame->HandleMidiIn(Msg(0xB4, 7, 90));
  rig.frame->HandleMidiIn(Msg(0x93, 60, 90));  // a note on another channel passes too
  QCOMPARE(rig.Sent(), (Strings{"B1 07 5A", "91 3C 5A"}));
  QCOMPARE(rig.host.calls, Strings{});
  QCOMPARE(rig.song.GetCellData(1, 0), CellEmpty);
  QVERIFY(rig.reporter.SaidStatus("MIDI Data received: B4h 7 90 send velocity: 90"));

  // Its note-off follows it, though the current channel changed meanwhile.
  rig.Clear();
  rig.G1().SetCol(4);  // channel 3
  rig.frame->HandleMidiIn(Msg(0x83, 60, 0));
  rig.frame->HandleMidiIn(Msg(0x83, 61, 0));
  QCOMPARE(rig.Sent(), (Strings{"81 3C 00", "83 3D 00"}));
}

void EditorFrameMidiInTest::velocityOptions_shapeTheSoundedVelocity_data() {
  QTest::addColumn<bool>("ignore");
  QTest::addColumn<bool>("useMinimum");
  QTest::addColumn<int>("minimum");
  QTest::addColumn<int>("in");
  QTest::addColumn<int>("out");
  QTest::newRow("as is") << false << false << 30 << 12 << 12;
  QTest::newRow("ignore") << true << false << 30 << 12 << 100;
  QTest::newRow("minimum raises") << false << true << 30 << 12 << 30;
  QTest::newRow("minimum keeps louder") << false << true << 30 << 90 << 90;
}

void EditorFrameMidiInTest::velocityOptions_shapeTheSoundedVelocity() {
  QFETCH(bool, ignore);
  QFETCH(bool, useMinimum);
  QFETCH(int, minimum);
  QFETCH(int, in);
  QFETCH(int, out);
  MidiRig rig;
  EditorOptions& o = rig.frame->Options();
  o.midiInIgnoreVelocity = ignore;
  o.midiInUseMinimumVelocity = useMinimum;
  o.midiInMinimumVelocity = minimum;
  rig.frame->HandleMidiIn(Msg(0x90, 48, in));
  const QString velocity = QStringLiteral("%1").arg(out, 2, 16, QLatin1Char('0')).toUpper();
  QCOMPARE(rig.Sent(), Strings{"91 30 " + velocity.toStdString()});
  QVERIFY(rig.reporter.SaidStatus("MIDI Data received: 90h 48 " + std::to_string(in) +
                                  " send velocity: " + std::to_string(out)));
}

void EditorFrameMidiInTest::activeSensing_ignoredCompletely() {
  MidiRig rig;
  rig.frame->HandleMidiIn(MakeShortMessage(0xFE, 0, 0));
  QCOMPARE(rig.Sent(), Strings{});
  QVERIFY(rig.reporter.statuses.empty());
}

void EditorFrameMidiInTest::editingOff_soundsWithoutWriting() {
  MidiRig rig;
  rig.song.EditEnabled = false;
  rig.frame->HandleMidiIn(Msg(0x90, 60, 80));
  QCOMPARE(rig.song.GetCellData(1, 0), CellEmpty);
  QCOMPARE(rig.G1().Row(), 1);
  QCOMPARE(rig.Sent(), Strings{"91 3C 50"});
  QCOMPARE(rig.host.calls, Strings{"PianoKey 60 down"});
}

void EditorFrameMidiInTest::noteOn_transposedOutOfRange_writtenButNotSounded() {
  MidiRig rig;
  rig.song.SetTranspose(1, 20);
  rig.frame->HandleMidiIn(Msg(0x90, 120, 80));  // 140: no such note
  QCOMPARE(rig.song.GetCellData(1, 0), 120);
  QCOMPARE(rig.Sent(), Strings{});
  rig.frame->HandleMidiIn(Msg(0x80, 120, 0));
  QCOMPARE(rig.Sent(), Strings{});
}

// (The piano's zoom, which moves the computer keyboard on the piano, is the piano window test's.)
void EditorFrameMidiInTest::noteOn_key60IsNote60_whateverTheOctave() {
  MidiRig rig;
  for (int octave : {0, 4, 8}) {
    rig.song.Octave = uint8_t(octave);
    rig.Clear();
    const int row = rig.G1().Row() - 1;
    rig.frame->HandleMidiIn(Msg(0x90, 60, 80));
    rig.frame->HandleMidiIn(Msg(0x80, 60, 0));
    QCOMPARE(rig.song.GetCellData(1, row), 60);
    QCOMPARE(rig.Sent(), (Strings{"91 3C 50", "81 3C 00"}));
  }
}

QTEST_MAIN(EditorFrameMidiInTest)
#include "editor_frame_midi_in_test.moc"
