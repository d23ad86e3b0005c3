// The editor frame's half of the MIDI input: incoming note-ons enter and sound notes on the cursor
// channel, velocity 0 releases them, everything else passes through on the current channel.
#include <QTest>

#include "editor_frame_fixture.h"

using namespace varnel;
using namespace varnel::test;
using Strings = std::vector<std::string>;

namespace {

ShortMessage Msg(int status, int data1, int data2) {
  return MakeShortMessage(uint8_t(status), uint8_t(data1), uint8_t(data2));
}

// Octave 4 and the piano's base octave 2: incoming note n sounds as offset n - 24 in octave 4,
// that is n + 24, and is written as the note it sounds.
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
  void noteOnVelocity0_releasesWithoutWriting();
  void noteOff0x80_passesThroughOnCurrentChannel();
  void velocityOptions_shapeTheSoundedVelocity_data();
  void velocityOptions_shapeTheSoundedVelocity();
  void activeSensing_ignoredCompletely();
  void editingOff_soundsWithoutWriting();
  void noteOn_farOutOfRange_nothingWrittenNorSounded();
  void noteOn_writtenNoteFollowsTheBaseOctave();
};

void EditorFrameMidiInTest::noteOn_entersNoteStepsAndSounds() {
  MidiRig rig;
  rig.frame->HandleMidiIn(Msg(0x90, 60, 80));
  rig.frame->HandleMidiIn(Msg(0x90, 62, 81));
  QCOMPARE(rig.song.GetCellData(1, 0), 84);
  QCOMPARE(rig.song.GetCellData(1, 1), 86);
  QCOMPARE(rig.G1().CellText(2, 1), QStringLiteral("C-7"));
  QCOMPARE(rig.G1().Row(), 3);
  QCOMPARE(rig.Sent(), (Strings{"91 54 50", "91 56 51"}));
  QCOMPARE(rig.host.calls, (Strings{"PianoKey 60 down", "PianoKey 62 down"}));
  QVERIFY(rig.reporter.SaidStatus("MIDI Data received: 90h 60 80 send velocity: 80"));
  QCOMPARE(rig.reporter.statuses.back().panel, 0);
  // Undo takes the last entered note back.
  QVERIFY(rig.frame->CanUndo());
  rig.frame->PerformUndo();
  QCOMPARE(rig.song.GetCellData(1, 0), 84);
  QCOMPARE(rig.song.GetCellData(1, 1), CellEmpty);
}

void EditorFrameMidiInTest::noteOnVelocity0_releasesWithoutWriting() {
  MidiRig rig;
  rig.frame->HandleMidiIn(Msg(0x90, 60, 0));
  QCOMPARE(rig.Sent(), Strings{"81 54 64"});
  QCOMPARE(rig.host.calls, Strings{"PianoKey 60 up"});
  QCOMPARE(rig.song.GetCellData(1, 0), CellEmpty);
  QCOMPARE(rig.G1().Row(), 1);
}

void EditorFrameMidiInTest::noteOff0x80_passesThroughOnCurrentChannel() {
  MidiRig rig;
  rig.song.SetMidiChannel(1, 5);  // the pass-through goes by the song channel's index all the same
  rig.frame->HandleMidiIn(Msg(0x80, 60, 64));
  rig.frame->HandleMidiIn(Msg(0xB4, 7, 90));
  rig.frame->HandleMidiIn(Msg(0x93, 60, 90));  // a note-on on another channel passes too
  QCOMPARE(rig.Sent(), (Strings{"81 3C 40", "B1 07 5A", "91 3C 5A"}));
  QCOMPARE(rig.host.calls, Strings{});
  QCOMPARE(rig.song.GetCellData(1, 0), CellEmpty);
  QVERIFY(rig.reporter.SaidStatus("MIDI Data received: 80h 60 64 send velocity: 64"));

  rig.Clear();
  rig.G1().SetCol(4);  // channel 3
  rig.frame->HandleMidiIn(Msg(0x80, 61, 0));
  QCOMPARE(rig.Sent(), Strings{"83 3D 00"});
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
  QCOMPARE(rig.Sent(), Strings{"91 48 " + velocity.toStdString()});
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
  QCOMPARE(rig.Sent(), Strings{"91 54 50"});
  QCOMPARE(rig.host.calls, Strings{"PianoKey 60 down"});
}

void EditorFrameMidiInTest::noteOn_farOutOfRange_nothingWrittenNorSounded() {
  MidiRig rig;
  rig.song.Octave = 0;
  rig.frame->HandleMidiIn(Msg(0x90, 10, 80));  // offset 10 - 24 is below the lowest note
  QCOMPARE(rig.song.GetCellData(1, 0), CellEmpty);
  QCOMPARE(rig.G1().Row(), 1);
  QCOMPARE(rig.Sent(), Strings{});
  rig.song.Octave = 8;
  rig.frame->HandleMidiIn(Msg(0x90, 127, 80));  // 103 + 96 is beyond the highest
  QCOMPARE(rig.song.GetCellData(1, 0), CellEmpty);
  QCOMPARE(rig.Sent(), Strings{});
}

void EditorFrameMidiInTest::noteOn_writtenNoteFollowsTheBaseOctave() {
  MidiRig rig;
  for (int base : {0, 2, 3, 5}) {
    rig.frame->Options().pianoBaseOctave = base;
    rig.frame->HandleMidiIn(Msg(0x90, 72, 80));
    rig.frame->HandleMidiIn(Msg(0x90, 72, 0));
  }
  const std::vector<int> written = {rig.song.GetCellData(1, 0), rig.song.GetCellData(1, 1),
                                    rig.song.GetCellData(1, 2), rig.song.GetCellData(1, 3)};
  QCOMPARE(written, (std::vector<int>{120, 96, 84, 60}));
  QCOMPARE(rig.Sent(), (Strings{"91 78 50", "81 78 64", "91 60 50", "81 60 64", "91 54 50", "81 54 64",
                                "91 3C 50", "81 3C 64"}));
}

QTEST_MAIN(EditorFrameMidiInTest)
#include "editor_frame_midi_in_test.moc"
