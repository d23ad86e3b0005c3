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
  const MidiInAction a = InterpretMidiIn(MakeShortMessage(0xFE, 0, 0), Options(Mode::Ignore));
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
    const MidiInAction a = InterpretMidiIn(MakeShortMessage(0x90, 60, uint8_t(c.data2)), c.options);
    const std::string expected = "MIDI Data received: 90h 60 " + std::to_string(c.data2) +
                                 " send velocity: " + std::to_string(c.velocity);
    EXPECT_EQ(a.status, expected);
    EXPECT_EQ(a.velocity, c.velocity) << expected;
    EXPECT_EQ(a.kind, Kind::NoteStart) << expected;
    EXPECT_EQ(a.key, 60);
  }
}

TEST(MidiInput, StatusText_StatusInUpperCaseHex) {
  const MidiInAction a = InterpretMidiIn(MakeShortMessage(0xBA, 7, 0), Options(Mode::AsIs));
  EXPECT_EQ(a.status, "MIDI Data received: BAh 7 0 send velocity: 0");
  EXPECT_EQ(a.kind, Kind::PassThrough);
}

TEST(MidiInput, NoteOnVelocityZero_IsReleaseWhateverTheOption) {
  for (Mode mode : {Mode::AsIs, Mode::Ignore, Mode::UseMinimum}) {
    const MidiInAction a = InterpretMidiIn(MakeShortMessage(0x90, 64, 0), Options(mode));
    EXPECT_EQ(a.kind, Kind::NoteRelease);
    EXPECT_EQ(a.key, 64);
  }
}

// A note-off on channel 1 releases the key, in either form, as its note-on started it.
TEST(MidiInput, NoteOff0x80_IsReleaseLikeVelocityZero) {
  for (const ShortMessage& m : {MakeShortMessage(0x80, 64, 0), MakeShortMessage(0x80, 64, 90)}) {
    const MidiInAction a = InterpretMidiIn(m, Options(Mode::UseMinimum));
    EXPECT_EQ(a.kind, Kind::NoteRelease) << HexBytes(m);
    EXPECT_EQ(a.key, 64);
  }
}

TEST(MidiInput, HeldInputNotes_ReleaseGivesWhatThePressSounded) {
  HeldInputNotes held;
  EXPECT_FALSE(held.Release(0, 60).Sounds());
  EXPECT_FALSE(held.Press(0, 60, {5, 62}).Sounds());
  EXPECT_FALSE(held.Press(3, 60, {20, 60}).Sounds());  // another input channel, another key
  const HeldInputNotes::Note again = held.Press(0, 60, {6, 63});
  EXPECT_EQ(again.midiChannel, 5);
  EXPECT_EQ(again.note, 62);
  const HeldInputNotes::Note released = held.Release(0, 60);
  EXPECT_EQ(released.midiChannel, 6);
  EXPECT_EQ(released.note, 63);
  EXPECT_FALSE(held.Release(0, 60).Sounds());
  EXPECT_EQ(held.Release(3, 60).midiChannel, 20);
}

TEST(MidiInput, OtherMessages_PassThrough) {
  const ShortMessage passed[] = {MakeShortMessage(0x81, 60, 0), MakeShortMessage(0x91, 60, 100),
                                 MakeShortMessage(0x9F, 60, 0), MakeShortMessage(0xB0, 64, 127),
                                 MakeShortMessage(0xE0, 0, 64), MakeShortMessage(0xC3, 5, 0),
                                 MakeShortMessage(0xF8, 0, 0)};
  for (const auto& m : passed) {
    EXPECT_EQ(InterpretMidiIn(m, Options(Mode::AsIs)).kind, Kind::PassThrough) << HexBytes(m);
  }
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

// The road of incoming messages: device thread -> queue -> UI thread, in arrival order; what is
// not a note of channel 1 goes to the output on the channel selected in the channel panel.
TEST(MidiInQueue, IncomingMessages_InOrder_OthersPassedToSelectedChannel) {
  TVNSong song;
  RecordingBackend backend;
  MidiDevices devices(backend, song);
  MidiInQueue queue;
  devices.SetInputHandler([&](const ShortMessage& m) { queue.Push(m); });
  ASSERT_TRUE(devices.OpenMidiOut(-1));
  ASSERT_TRUE(devices.OpenMidiIn(0));
  backend.Recorder().Clear();

  backend.Receive(MakeShortMessage(0xFE, 0, 0));
  backend.Receive(MakeShortMessage(0x81, 60, 0));
  backend.Receive(MakeShortMessage(0x90, 62, 0));
  const int selectedChannel = 6;
  std::vector<Kind> kinds;
  for (const auto& m : queue.TakeAll()) {
    const MidiInAction a = InterpretMidiIn(m, Options(Mode::AsIs));
    kinds.push_back(a.kind);
    if (a.kind == Kind::PassThrough) devices.PassThrough(m, selectedChannel);
  }
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Ignore, Kind::PassThrough, Kind::NoteRelease}));
  const auto events = backend.Recorder().Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(HexBytes(events[0].message), "86 3C 00");
  EXPECT_EQ(events[0].device, "MIDI Mapper");
}

}  // namespace
}  // namespace varnel
