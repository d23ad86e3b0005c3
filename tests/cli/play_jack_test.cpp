// varnel-cli play through a real MIDI system: a JACK server of the test's own, a receiving port
// made with RtMidi (not Varnel code), and the tool playing a song into it.
#include <RtMidi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "cli/cli_support.h"
#include "song/song.h"
#include "support/jack_test_server.h"

namespace varnel::test {
namespace {

using namespace std::chrono_literals;

class Collector {
 public:
  static void Callback(double, std::vector<unsigned char>* message, void* self) {
    auto* collector = static_cast<Collector*>(self);
    std::string text;
    for (unsigned char byte : *message) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%s%02X", text.empty() ? "" : " ", byte);
      text += hex;
    }
    std::lock_guard lock(collector->mutex_);
    collector->messages_.push_back(text);
    collector->arrived_.notify_all();
  }
  std::vector<std::string> WaitFor(size_t count) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, 10s, [&] { return messages_.size() >= count; });
    arrived_.wait_for(lock, 100ms, [&] { return messages_.size() > count; });
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::string> messages_;
};

// The messages of `varnel-cli events`, without their row labels; `label` selects one label only.
std::vector<std::string> EventMessages(const std::string& out, const char* label = nullptr) {
  std::vector<std::string> messages;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    const size_t blank = line.find(' ');
    if (label && line.substr(0, blank) != label) continue;
    messages.push_back(line.substr(blank + 1));
  }
  return messages;
}

TEST(PlayOverJack, SongIntoAJackPort_ArrivesAsTheEngineSendsIt) {
  JackTestLock lock;
  JackServer server;
  const std::string why = server.Start();
  if (!why.empty()) GTEST_SKIP() << why;
  setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);

  TVNSong song;
  song.Reset(2, 8, true);
  song.BPM = 240;
  song.SPD = 8;
  song.AddTrack(0, ttVelocity, -1, -1);
  for (int r = 0; r < 8; r += 2) song.SetCellData(0, r, 60 + r);
  song.SetCellData(1, 0, 77);
  song.SetCellData(2, 3, 48);
  song.SetCellData(2, 6, CellNoteOff);
  const std::string path = TempPath("jack.vnl");
  ASSERT_TRUE(song.SaveToFile(path));

  const auto events = RunCli({"events", path, "--rows", "8", "--mode", "song"});
  ASSERT_EQ(events.exit, 0) << events.err;
  // Opening the device prepares the channels, the player resets them, then the song plays once and
  // the stop sends all-notes-off on the sixteen channels that reach the device.
  std::vector<std::string> expected = EventMessages(events.out, "-1");
  for (int c = 0; c < 16; ++c) {
    char reset[16], off[16];
    std::snprintf(reset, sizeof reset, "B%X 79 00", c);
    std::snprintf(off, sizeof off, "B%X 7B 00", c);
    expected.push_back(reset);
    expected.push_back(off);
  }
  const auto played = EventMessages(events.out);
  expected.insert(expected.end(), played.begin(), played.end());
  // The stop ends each note still sounding with its own note-off first, by channel and note.
  std::set<std::pair<int, int>> sounding;
  for (const auto& message : played) {
    unsigned status = 0, note = 0, velocity = 0;
    if (std::sscanf(message.c_str(), "%X %X %X", &status, &note, &velocity) != 3) continue;
    if ((status & 0xF0) == 0x90 && velocity > 0) sounding.insert({int(status & 15), int(note)});
    else if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90) sounding.erase({int(status & 15), int(note)});
  }
  ASSERT_FALSE(sounding.empty()) << "the song should end with a note sounding";
  for (const auto& [channel, note] : sounding) {
    char off[16];
    std::snprintf(off, sizeof off, "%02X %02X 00", 0x80 + channel, note);
    expected.push_back(off);
  }
  for (int c = 0; c < 16; ++c) {
    char off[16];
    std::snprintf(off, sizeof off, "B%X 7B 00", c);
    expected.push_back(off);
  }

  Collector collector;
  RtMidiIn receiver(RtMidi::UNIX_JACK, "VarnelPlayReceiver");
  receiver.ignoreTypes(false, false, false);
  receiver.setCallback(&Collector::Callback, &collector);
  receiver.openVirtualPort("in");

  const auto play = RunCli({"play", path, "--device", "VarnelPlayReceiver:in"});
  EXPECT_EQ(play.exit, 0) << play.err;
  EXPECT_EQ(collector.WaitFor(expected.size()), expected);
  receiver.closePort();
  unsetenv("JACK_DEFAULT_SERVER");
}

// Each block of sixteen MIDI channels to a device of its own, where it arrives on channels 1..16.
TEST(PlayOverJack, ThreeDevices_ChannelsOneSeventeenAndThirtyThree_EachArrivesOnChannelOne) {
  JackTestLock lock;
  JackServer server;
  if (const std::string why = server.Start(); !why.empty()) GTEST_SKIP() << why;
  setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);
  TVNSong song;
  song.Reset(3, 4, true);
  song.BPM = 240;
  for (int c = 0; c < 3; ++c) {
    song.SetMidiChannel(c, 16 * c);
    song.SetCellData(c, 0, 60 + c);
  }
  const std::string path = TempPath("blocks.vnl");
  ASSERT_TRUE(song.SaveToFile(path));
  Collector collectors[3];
  std::vector<std::unique_ptr<RtMidiIn>> receivers;
  for (int b = 0; b < 3; ++b) {
    receivers.push_back(std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "VarnelBlock" + std::to_string(b + 1)));
    receivers.back()->setCallback(&Collector::Callback, &collectors[b]);
    receivers.back()->openVirtualPort("in");
  }
  const auto play = RunCli({"--verbose", "play", path, "--device", "VarnelBlock1:in", "--device2", "VarnelBlock2:in",
                            "--device3", "VarnelBlock3:in"});
  EXPECT_EQ(play.exit, 0) << play.err;
  EXPECT_NE(play.err.find("Device 2: VarnelBlock2:in"), std::string::npos) << play.err;
  for (int b = 0; b < 3; ++b) {
    SCOPED_TRACE("device " + std::to_string(b + 1));
    std::vector<std::string> noteOns;
    for (const std::string& message : collectors[b].WaitFor(16 * 13 + 1))
      if (message.rfind("9", 0) == 0 && message.substr(6) != "00") noteOns.push_back(message);
    char expected[16];
    std::snprintf(expected, sizeof expected, "90 %02X 64", 60 + b);
    EXPECT_EQ(noteOns, std::vector<std::string>{expected});
  }
  for (auto& receiver : receivers) receiver->closePort();
  unsetenv("JACK_DEFAULT_SERVER");
}

// Every run lists the ports there at that moment.
TEST(DevicesCommand, PortStartedAfterTheServer_IsListed) {
  JackTestLock lock;
  JackServer server;
  if (const std::string why = server.Start(); !why.empty()) GTEST_SKIP() << why;
  setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);
  const auto before = RunCli({"devices"});
  ASSERT_EQ(before.exit, 0) << before.err;
  EXPECT_EQ(before.out.find("VarnelLatePort:in"), std::string::npos) << before.out;
  RtMidiIn late(RtMidi::UNIX_JACK, "VarnelLatePort");
  late.openVirtualPort("in");
  const auto after = RunCli({"devices"});
  EXPECT_NE(after.out.find("VarnelLatePort:in"), std::string::npos) << after.out;
  late.closePort();
}

TEST(PlayOverJack, FollowClock_PlaysOnTheMastersClockFromItsStartAndEndsEveryNote) {
  JackSuiteServer server;  // the lock, a server, JACK_DEFAULT_SERVER
  if (!server.Why().empty()) GTEST_SKIP() << server.Why();

  TVNSong song;
  song.Reset(1, 8, true);
  song.BPM = 200;  // the master's tempo wins
  for (int r = 0; r < 8; r += 2) song.SetCellData(0, r, 60 + r);
  const std::string path = TempPath("follow.vnl");
  ASSERT_TRUE(song.SaveToFile(path));

  Collector collector;
  RtMidiIn receiver(RtMidi::UNIX_JACK, "VarnelPlayReceiver");
  receiver.ignoreTypes(false, false, false);
  receiver.setCallback(&Collector::Callback, &collector);
  receiver.openVirtualPort("in");
  RtMidiOut master(RtMidi::UNIX_JACK, "VarnelClockMaster");
  master.openVirtualPort("out");

  CliResult play;
  std::thread player([&] {
    play = RunCli({"play", path, "--pattern", "--loops", "1", "--device", "VarnelPlayReceiver:in", "--follow-clock",
                   "VarnelClockMaster:out"});
  });
  // Opening the output prepares the channels, the player resets them, opening the input prepares them
  // again: then the input listens.
  const size_t ready = 16 * 13 + 16 * 2 + 16 * 13;
  const bool listening = collector.WaitFor(ready).size() >= ready;
  auto send = [&](unsigned char status) {
    std::vector<unsigned char> message{status};
    master.sendMessage(&message);
  };
  // Two beats of clock at 125 BPM (the player waits), Start, and clocks until it has played its
  // pattern once.
  for (int k = 0; k < 48 + 8 * 6 + 12; ++k) {
    if (k == 48) send(0xFA);
    send(0xF8);
    std::this_thread::sleep_for(20ms);
  }
  player.join();
  ASSERT_TRUE(listening) << play.err;
  EXPECT_EQ(play.exit, 0) << play.err;
  auto messages = collector.WaitFor(ready);
  messages.erase(messages.begin(), messages.begin() + long(ready));
  std::vector<std::string> starts;
  std::set<std::string> sounding;
  for (const auto& m : messages) {
    if (m.starts_with("90 ")) starts.push_back(m), sounding.insert(m.substr(3, 2));
    if (m.starts_with("80 ")) sounding.erase(m.substr(3, 2));
  }
  EXPECT_EQ(starts, (std::vector<std::string>{"90 3C 64", "90 3E 64", "90 40 64", "90 42 64"}));
  EXPECT_TRUE(sounding.empty());
  EXPECT_FALSE(messages.empty());
  if (!messages.empty()) {
    EXPECT_EQ(messages.back(), "BF 7B 00");  // the stop ends with all-notes-off
  }
  receiver.closePort();
  master.closePort();
}

TEST(PlayCommand, UnknownDevice_FailsWithAClearMessage) {
  TVNSong song;
  const std::string path = TempPath("song.vnl");
  ASSERT_TRUE(song.SaveToFile(path));
  for (const char* option : {"--device", "--device2", "--device3"}) {
    const auto result = RunCli({"play", path, option, "No Such Synth"});
    EXPECT_EQ(result.exit, 1);
    EXPECT_NE(result.err.find("No such MIDI output: No Such Synth"), std::string::npos) << result.err;
  }
  const auto follow = RunCli({"play", path, "--follow-clock", "No Such Master"});
  EXPECT_EQ(follow.exit, 1);
  EXPECT_NE(follow.err.find("No such MIDI input: No Such Master"), std::string::npos) << follow.err;
}

}  // namespace
}  // namespace varnel::test
