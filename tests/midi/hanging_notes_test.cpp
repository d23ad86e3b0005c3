// No hanging notes: the device layer follows the notes it has started, and stop, pause, mute,
// a device change and closing end exactly those with note-offs before the all-notes-off controller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_rig.h"
#include "midi/sounding_notes.h"

namespace varnel {
namespace {

using Messages = std::vector<std::string>;

TEST(SoundingNotes, Track_MessageKinds_StartAndEndTheRightNotes) {
  struct Case {
    const char* name;
    std::vector<ShortMessage> sent;
    std::vector<std::pair<int, int>> sounding;  // channel, note
  };
  const MidiTime t = MidiTime{} + std::chrono::seconds(5);
  const Case cases[] = {
      {"note-on", {MakeShortMessage(0x93, 60, 1)}, {{3, 60}}},
      {"velocity 0 ends it", {MakeShortMessage(0x93, 60, 1), MakeShortMessage(0x93, 60, 0)}, {}},
      {"note-off ends it", {MakeShortMessage(0x90, 60, 9), MakeShortMessage(0x80, 60, 64)}, {}},
      {"other channel, other note",
       {MakeShortMessage(0x90, 60, 9), MakeShortMessage(0x81, 60, 0), MakeShortMessage(0x80, 61, 0)},
       {{0, 60}}},
      {"twice started, once sounding", {MakeShortMessage(0x9F, 127, 9), MakeShortMessage(0x9F, 127, 90)}, {{15, 127}}},
      {"controllers change nothing",
       {MakeShortMessage(0x92, 0, 9), MakeShortMessage(0xB2, 123, 0), MakeShortMessage(0xC2, 5, 0)},
       {{2, 0}}},
      {"system reset ends all", {MakeShortMessage(0x90, 1, 9), MakeShortMessage(0x95, 2, 9), MakeShortMessage(0xFF, 0, 0)}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SoundingNotes notes;
    for (const auto& m : c.sent) notes.Track(m, t);
    std::vector<std::pair<int, int>> got;
    notes.ForEach(-1, [&](int channel, int note, MidiTime start) {
      got.push_back({channel, note});
      EXPECT_EQ(start, t);
    });
    EXPECT_EQ(got, c.sounding);
    EXPECT_EQ(notes.Count(), int(c.sounding.size()));
  }
}

class HangingNotesTest : public ::testing::Test, protected test::EngineRig {
 protected:
  HangingNotesTest() {
    // Three channels on MIDI channels 0, 4 and 9: channel 0 a plain note, channel 1 two notes kept
    // by "d/a releases", channel 2 a note ended by a note-off cell; channel 1 is transposed.
    song.Reset(3, 8, true);
    song.SetMidiChannel(1, 4);
    song.SetMidiChannel(2, 9);
    song.SetReleaseMode(1, 255);
    song.SetTranspose(1, 12);
    song.StoreCell(0, 0, 0, 60);
    song.StoreCell(0, 1, 0, 48);
    song.StoreCell(0, 1, 1, 50);
    song.StoreCell(0, 2, 0, 36);
    song.StoreCell(0, 2, 2, CellNoteOff);
    EXPECT_TRUE(devices.OpenMidiOut(0));
  }
  void PlayRows(int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(clock.Advance());
  }
  Messages Sent() {
    Messages m;
    for (const auto& e : rec().Events()) m.push_back(HexBytes(e.message));
    return m;
  }
  static Messages Join(Messages a, const Messages& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
  // After three rows: 60 on MIDI channel 0, 60 and 62 (48 and 50 transposed) on channel 4.
  const Messages soundingOffs{"80 3C 00", "84 3C 00", "84 3E 00"};
};

TEST_F(HangingNotesTest, StopAndPause_EndExactlyTheSoundingNotesBeforeAllNotesOff) {
  for (const bool pause : {false, true}) {
    SCOPED_TRACE(pause ? "pause" : "stop");
    engine.Stop();
    song.ClearSounding();
    engine.PlayPause();
    PlayRows(3);
    EXPECT_EQ(devices.SoundingNoteCount(), 3);
    rec().Clear();
    if (pause) engine.PlayPause();
    else engine.Stop();
    EXPECT_EQ(Sent(), Join(soundingOffs, AllNotesOffMessages()));
    EXPECT_EQ(devices.SoundingNoteCount(), 0);

    // Nothing sounds any more: the next stop sends the controllers alone.
    rec().Clear();
    engine.Stop();
    EXPECT_EQ(Sent(), AllNotesOffMessages());
  }
}

TEST_F(HangingNotesTest, Mute_EndsTheNotesOfThatChannelOnly) {
  engine.PlayPause();
  PlayRows(3);
  rec().Clear();
  // What the mute command does: the song channel goes off, its MIDI channel gets all-notes-off.
  song.SetChannelOn(1, false);
  devices.AllNotesOff(song.GetMidiChannel(1));
  EXPECT_EQ(Sent(), (Messages{"84 3C 00", "84 3E 00", "B4 7B 00"}));
  rec().Clear();
  PlayRows(1);
  engine.Stop();
  EXPECT_EQ(Sent(), Join({"80 3C 00"}, AllNotesOffMessages()));
}

TEST_F(HangingNotesTest, DeviceChangeAndClose_EndTheNotesOnTheOldDevice) {
  engine.PlayPause();
  PlayRows(3);
  engine.StopPlayTimer();  // the structural pause that sends nothing
  rec().Clear();
  devices.SelectOutDevice(0, "Recorder");
  Messages events = Sent();
  ASSERT_GE(events.size(), 5u);
  EXPECT_EQ(Messages(events.begin(), events.begin() + 5), Join(soundingOffs, {"B0 7B 00", "B4 7B 00"}));
  EXPECT_EQ(devices.SoundingNoteCount(), 0) << "the new device has nothing sounding";

  devices.NoteOn(2, 70, 1);
  rec().Clear();
  devices.CloseMidiOut();
  EXPECT_EQ(Sent(), (Messages{"82 46 00", "B2 7B 00"}));
  rec().Clear();
  devices.CloseMidiOut();
  EXPECT_EQ(Sent(), Messages{});
}

TEST_F(HangingNotesTest, PassedThroughNotes_AreEndedToo) {
  devices.PassThrough(MakeShortMessage(0x90, 64, 80), 7);
  devices.PassThrough(MakeShortMessage(0x90, 65, 80), 7);
  devices.PassThrough(MakeShortMessage(0x80, 65, 0), 7);
  rec().Clear();
  devices.AllNotesOff(-1);
  EXPECT_EQ(Sent(), Join({"87 40 00"}, AllNotesOffMessages()));
}

TEST_F(HangingNotesTest, NoteGivenForLater_IsEndedAfterItStarts) {
  // A timestamping output gets rows ahead of time; a note that has not started when the stop
  // comes must not be ended before it starts.
  const MidiTime later = MidiClock::now() + std::chrono::hours(1);
  devices.NoteOn(3, 40, 100, later);
  devices.NoteOn(5, 41, 100);
  rec().Clear();
  devices.AllNotesOff(-1);
  const auto events = rec().Events();
  ASSERT_EQ(events.size(), 2u + 16u);
  EXPECT_EQ(HexBytes(events[0].message), "83 28 00");
  EXPECT_EQ(events[0].when, later);
  EXPECT_EQ(HexBytes(events[1].message), "85 29 00");
  EXPECT_EQ(events[1].when, SendNow);
  for (size_t i = 2; i < events.size(); ++i) {
    const int channel = events[i].message.bytes[0] & 15;
    EXPECT_EQ(events[i].when, channel == 3 ? later : SendNow) << "controller on channel " << channel;
  }
}

// An output that holds messages for their time and can withdraw them, as JACK's and the synth's do.
class HoldingOutput final : public MidiOutput {
 public:
  struct Item {
    ShortMessage message;
    MidiTime when;
    bool withdrawn = false;
  };
  explicit HoldingOutput(std::vector<Item>& items) : items_(items) {}
  void Send(const ShortMessage& message, MidiTime when) override { items_.push_back({message, when}); }
  void CancelAfter(MidiTime after) override {
    for (Item& item : items_)
      if (item.when != SendNow && item.when > after) item.withdrawn = true;
  }
  bool HoldsMessages() const override { return true; }

 private:
  std::vector<Item>& items_;
};

class HoldingBackend final : public MidiBackend {
 public:
  std::vector<std::string> OutputNames() override { return {"Holding"}; }
  std::vector<std::string> InputNames() override { return {}; }
  std::unique_ptr<MidiOutput> OpenOutput(int, int& result) override {
    result = 0;
    return std::make_unique<HoldingOutput>(items);
  }
  std::unique_ptr<MidiInput> OpenInput(int, MidiInputHandler, int& result) override {
    result = 1;
    return nullptr;
  }
  std::vector<HoldingOutput::Item> items;
};

TEST(HangingNotesWithdrawn, StopBeforeTheRowAhead_EndsWhatStillSoundsOnTheDevice) {
  // The row clock has handed over the next row: 60 is released and struck again, 62 released, 64
  // started. A stop withdraws that row; on the device 60 and 62 still sound from the row before.
  TVNSong song;
  HoldingBackend backend;
  MidiDevices devices(backend, song);
  ASSERT_TRUE(devices.OpenMidiOut(0));
  const MidiTime before = MidiClock::now() - std::chrono::milliseconds(10);
  const MidiTime ahead = MidiClock::now() + std::chrono::hours(1);
  devices.NoteOn(0, 60, 100, before);
  devices.NoteOn(0, 62, 100, before);
  devices.NoteOff(0, 60, 0, ahead);
  devices.NoteOn(0, 60, 100, ahead);
  devices.NoteOff(0, 62, 0, ahead);
  devices.NoteOn(0, 64, 100, ahead);
  const size_t handedOver = backend.items.size();

  devices.CancelPending(SendNow);
  devices.AllNotesOff(0);
  for (size_t i = 0; i < handedOver; ++i)
    EXPECT_EQ(backend.items[i].withdrawn, backend.items[i].when == ahead) << "message " << i;
  Messages after;
  for (size_t i = handedOver; i < backend.items.size(); ++i) {
    after.push_back(HexBytes(backend.items[i].message));
    EXPECT_EQ(backend.items[i].when, SendNow);
    EXPECT_FALSE(backend.items[i].withdrawn);
  }
  // 64 never started; its note-off is one too many, which no synth minds.
  EXPECT_EQ(after, (Messages{"80 3C 00", "80 3E 00", "80 40 00", "B0 7B 00"}));
  EXPECT_EQ(devices.SoundingNoteCount(), 0);
}

TEST(HangingNotesWithdrawn, NothingWithdrawn_SoundingNotesUnchanged) {
  TVNSong song;
  HoldingBackend backend;
  MidiDevices devices(backend, song);
  ASSERT_TRUE(devices.OpenMidiOut(0));
  const MidiTime before = MidiClock::now() - std::chrono::milliseconds(10);
  devices.NoteOn(3, 50, 100, before);
  devices.NoteOn(3, 51, 100, before);
  devices.NoteOff(3, 51, 0, before);
  devices.CancelPending(SendNow);
  EXPECT_EQ(devices.SoundingNoteCount(3), 1);
  EXPECT_EQ(devices.SoundingNoteCount(), 1);
}

}  // namespace
}  // namespace varnel
