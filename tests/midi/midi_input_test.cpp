// Incoming MIDI: what each message means for the editor, the status text with the three velocity
// options, and the queue that carries messages to the UI thread in arrival order.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "midi/midi_devices.h"
#include "midi/midi_input.h"
#include "midi/recording_output.h"
#include "song/song.h"

namespace varnel {
namespace {

using Kind = MidiInAction::Kind;
using Mode = MidiInOptions::VelocityMode;

MidiInOptions Options(Mode mode, int minimum = 30) {
  MidiInOptions o;
  o.velocity = mode;
  o.minimumVelocity = minimum;
  return o;
}

TEST(MidiInput, ActiveSensing_IgnoredWithoutStatusText) {
  const MidiInAction a = InterpretMidiIn(MakeShortMessage(0xFE, 0, 0), Options(Mode::Ignore), 4);
  EXPECT_EQ(a.kind, Kind::Ignore);
  EXPECT_EQ(a.status, "");
}

TEST(MidiInput, NoteOn_StatusTextShowsVelocityAfterOption) {
  struct Case {
    int data2;
    MidiInOptions options;
    int velocity;
  };
  const Case cases[] = {
      {12, Options(Mode::AsIs), 12},
      {12, Options(Mode::Ignore), 100},
      {12, Options(Mode::UseMinimum), 30},
      {50, Options(Mode::UseMinimum), 50},
      {12, Options(Mode::UseMinimum, 40), 40},
      {127, Options(Mode::UseMinimum, 127), 127},
  };
  for (const auto& c : cases) {
    const MidiInAction a = InterpretMidiIn(MakeShortMessage(0x90, 60, uint8_t(c.data2)), c.options, 4);
    const std::string expected = "MIDI Data received: 90h 60 " + std::to_string(c.data2) +
                                 " send velocity: " + std::to_string(c.velocity);
    EXPECT_EQ(a.status, expected);
    EXPECT_EQ(a.velocity, c.velocity) << expected;
    EXPECT_EQ(a.kind, Kind::NoteStart) << expected;
    EXPECT_EQ(a.key, 60);
  }
}

TEST(MidiInput, StatusText_StatusInUpperCaseHex) {
  const MidiInAction a = InterpretMidiIn(MakeShortMessage(0xBA, 7, 0), Options(Mode::AsIs), 4);
  EXPECT_EQ(a.status, "MIDI Data received: BAh 7 0 send velocity: 0");
  EXPECT_EQ(a.kind, Kind::PassThrough);
}

TEST(MidiInput, NoteOnVelocityZero_IsReleaseWhateverTheOption) {
  for (Mode mode : {Mode::AsIs, Mode::Ignore, Mode::UseMinimum}) {
    const MidiInAction a = InterpretMidiIn(MakeShortMessage(0x90, 64, 0), Options(mode), 4);
    EXPECT_EQ(a.kind, Kind::NoteRelease);
    EXPECT_EQ(a.key, 64);
    EXPECT_EQ(a.offset, 64 - 48);
  }
}

TEST(MidiInput, OtherMessages_PassThrough) {
  const ShortMessage passed[] = {MakeShortMessage(0x80, 60, 0), MakeShortMessage(0x91, 60, 100),
                                 MakeShortMessage(0x9F, 60, 0), MakeShortMessage(0xB0, 64, 127),
                                 MakeShortMessage(0xE0, 0, 64), MakeShortMessage(0xC3, 5, 0),
                                 MakeShortMessage(0xF8, 0, 0)};
  for (const auto& m : passed) {
    EXPECT_EQ(InterpretMidiIn(m, Options(Mode::AsIs), 4).kind, Kind::PassThrough) << HexBytes(m);
  }
}

TEST(MidiInput, Offset_DependsOnPianoBaseOctave) {
  EXPECT_EQ(InterpretMidiIn(MakeShortMessage(0x90, 60, 1), Options(Mode::AsIs), 0).offset, 60);
  EXPECT_EQ(InterpretMidiIn(MakeShortMessage(0x90, 60, 1), Options(Mode::AsIs), 4).offset, 12);
  EXPECT_EQ(InterpretMidiIn(MakeShortMessage(0x90, 10, 1), Options(Mode::AsIs), 3).offset, -26);
}

TEST(MidiInQueue, PushFromDeviceThread_TakenInArrivalOrder) {
  MidiInQueue queue;
  std::atomic<int> notified{0};
  queue.SetNotify([&] { ++notified; });
  std::thread device([&] {
    for (int i = 0; i < 200; ++i) queue.Push(MakeShortMessage(0x90, uint8_t(i % 128), uint8_t(i / 128 + 1)));
  });
  std::vector<ShortMessage> taken;
  while (taken.size() < 200) {
    auto more = queue.TakeAll();
    taken.insert(taken.end(), more.begin(), more.end());
    std::this_thread::yield();
  }
  device.join();
  EXPECT_EQ(notified.load(), 200);
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(taken[size_t(i)], MakeShortMessage(0x90, uint8_t(i % 128), uint8_t(i / 128 + 1))) << i;
  }
  EXPECT_TRUE(queue.TakeAll().empty());
}

// The road of an incoming note-off: device thread -> queue -> UI thread -> output on the channel
// selected in the channel panel; the editor's note is not ended by it.
TEST(MidiInQueue, IncomingNoteOff_PassedToOutputOnSelectedChannel) {
  TVNSong song;
  RecordingBackend backend;
  MidiDevices devices(backend, song);
  MidiInQueue queue;
  devices.SetInputHandler([&](const ShortMessage& m) { queue.Push(m); });
  ASSERT_TRUE(devices.OpenMidiOut(-1));
  ASSERT_TRUE(devices.OpenMidiIn(0));
  backend.Recorder().Clear();

  backend.Receive(MakeShortMessage(0xFE, 0, 0));
  backend.Receive(MakeShortMessage(0x80, 60, 0));
  backend.Receive(MakeShortMessage(0x90, 62, 0));
  const int selectedChannel = 6;
  std::vector<Kind> kinds;
  for (const auto& m : queue.TakeAll()) {
    const MidiInAction a = InterpretMidiIn(m, Options(Mode::AsIs), 4);
    kinds.push_back(a.kind);
    if (a.kind == Kind::PassThrough) devices.PassThrough(m, selectedChannel);
  }
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Ignore, Kind::PassThrough, Kind::NoteRelease}));
  const auto events = backend.Recorder().Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(HexBytes(events[0].message), "86 3C 00");
}

}  // namespace
}  // namespace varnel
