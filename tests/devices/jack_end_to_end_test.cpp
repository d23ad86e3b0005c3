// Real MIDI through a JACK server that the test starts under a name of its own (dummy driver: no
// sound card needed). The far ends of the ports are plain RtMidi clients, not Varnel code.
#include <RtMidi.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "devices/device_results.h"
#include "devices/gm_synth.h"
#include "devices/system_midi_backend.h"
#include "support/jack_test_server.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;
using test::FindProgram;
using test::JackServer;
using test::Spawn;

// Messages arriving on another thread.
class Collector {
 public:
  void Add(Bytes bytes) {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::move(bytes));
    arrived_.notify_all();
  }
  // What has come once `count` messages are there (or after 5 s), allowing a moment for extras.
  std::vector<Bytes> WaitFor(size_t count, std::chrono::milliseconds limit = 5s) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, limit, [&] { return messages_.size() >= count; });
    arrived_.wait_for(lock, 50ms, [&] { return messages_.size() > count; });
    return messages_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
  }
  static void Callback(double, Bytes* message, void* self) { static_cast<Collector*>(self)->Add(*message); }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Bytes> messages_;
};

Bytes ToBytes(const ShortMessage& message) { return Bytes(message.bytes, message.bytes + message.size); }

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
  auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : int(it - names.begin());
}

std::string Listing(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += "\n  " + name;
  return text.empty() ? " (none)" : text;
}

// A program with a JACK MIDI input port "VarnelTestReceiver:in".
struct Receiver {
  Receiver() {
    in.ignoreTypes(false, false, false);
    in.setCallback(&Collector::Callback, &collected);
    in.openVirtualPort("in");
  }
  Collector collected;
  RtMidiIn in{RtMidi::UNIX_JACK, "VarnelTestReceiver"};  // last: closed before the collector goes
};
constexpr const char* ReceiverPort = "VarnelTestReceiver:in";

class JackEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { suite_ = new test::JackSuiteServer; }
  static void TearDownTestSuite() {
    delete suite_;
    suite_ = nullptr;
  }
  void SetUp() override {
    if (!suite_->Why().empty()) GTEST_SKIP() << suite_->Why();
  }

  static inline test::JackSuiteServer* suite_ = nullptr;
};

TEST_F(JackEndToEnd, Output_ToAReceiverPort_DeliversExactlyTheBytesInOrder) {
  Receiver receiver;
  SystemMidiBackend backend;
  const auto names = backend.OutputNames();
  EXPECT_EQ(backend.OutputNames(), names);
  const int id = IndexOf(names, ReceiverPort);
  ASSERT_GE(id, 0) << Listing(names);
  int result = -1;
  auto output = backend.OpenOutput(id, result);
  ASSERT_NE(output, nullptr) << "rc " << result;
  EXPECT_EQ(result, DeviceOk);
  const std::vector<ShortMessage> sent = {MakeShortMessage(0x90, 60, 100), MakeShortMessage(0x80, 60, 0),
                                          MakeShortMessage(0xB3, 7, 99), MakeShortMessage(0xC5, 12, 0),
                                          MakeShortMessage(0xE0, 0, 64)};
  for (const auto& message : sent) output->Send(message, MidiClock::now());
  std::vector<Bytes> expected;
  for (const auto& message : sent) expected.push_back(ToBytes(message));
  EXPECT_EQ(receiver.collected.WaitFor(expected.size()), expected);

  // Another backend (the next start of the program) finds the port under the same id.
  SystemMidiBackend fresh;
  auto again = fresh.OpenOutput(id, result);
  ASSERT_NE(again, nullptr) << "rc " << result;
  again->Send(MakeShortMessage(0x91, 61, 1), SendNow);
  expected.push_back({0x91, 61, 1});
  EXPECT_EQ(receiver.collected.WaitFor(expected.size()), expected);
}

TEST_F(JackEndToEnd, Input_FromASenderPort_DeliversShortMessagesInOrderAndNoSysex) {
  RtMidiOut sender(RtMidi::UNIX_JACK, "VarnelTestSender");
  sender.openVirtualPort("out");
  SystemMidiBackend backend;
  const auto names = backend.InputNames();
  const int id = IndexOf(names, "VarnelTestSender:out");
  ASSERT_GE(id, 0) << Listing(names);
  Collector collected;
  int result = -1;
  auto input = backend.OpenInput(id, [&](const ShortMessage& message) { collected.Add(ToBytes(message)); }, result);
  ASSERT_NE(input, nullptr) << "rc " << result;
  EXPECT_EQ(result, DeviceOk);
  // A new connection carries messages from a later cycle of the server's on (late on a slow
  // machine): wait until it carries one.
  Bytes probe = {0x8F, 0x00, 0x00};
  for (int i = 0; i < 100 && collected.WaitFor(1, 50ms).empty(); ++i) sender.sendMessage(&probe);
  collected.WaitFor(2, 100ms);
  collected.Clear();
  const std::vector<Bytes> sent = {{0x90, 0x3C, 0x64}, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, {0x80, 0x3C, 0x00},
                                   {0xB0, 0x40, 0x7F}, {0xC1, 0x05}, {0xF8}, {0xFE}, {0xE0, 0x00, 0x40}};
  for (auto message : sent) sender.sendMessage(&message);
  std::vector<Bytes> expected = sent;
  expected.erase(expected.begin() + 1);  // system exclusive is not a short message
  EXPECT_EQ(collected.WaitFor(expected.size()), expected);
}

TEST_F(JackEndToEnd, VirtualPort_OpensOnceAndReachesAProgramThatConnects) {
  SystemMidiBackend backend;
  const auto names = backend.OutputNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), VirtualPortEntry);
  const int id = int(names.size()) - 1;
  int result = -1;
  auto output = backend.OpenOutput(id, result);
  ASSERT_NE(output, nullptr) << "rc " << result;
  // Varnel's own JACK port behind the claim: it holds messages until their time, so a stop must be
  // able to withdraw them and follow up the notes they leave sounding.
  EXPECT_TRUE(output->HoldsMessages());
  EXPECT_GT(output->Lead(), std::chrono::nanoseconds{});
  int second = 0;
  EXPECT_EQ(backend.OpenOutput(id, second), nullptr);
  EXPECT_EQ(second, DeviceAllocated);

  Collector collected;
  RtMidiIn reader(RtMidi::UNIX_JACK, "VarnelTestReader");
  reader.setCallback(&Collector::Callback, &collected);
  std::vector<std::string> ports;
  for (unsigned i = 0; i < reader.getPortCount(); ++i) ports.push_back(reader.getPortName(i));
  const int port = IndexOf(ports, "Varnel:Varnel");
  ASSERT_GE(port, 0) << Listing(ports);
  reader.openPort(unsigned(port), "in");
  output->Send(MakeShortMessage(0x99, 36, 127), SendNow);
  const std::vector<Bytes> drum = {{0x99, 36, 127}};
  EXPECT_EQ(collected.WaitFor(1), drum);
  reader.closePort();

  output.reset();
  EXPECT_NE(backend.OpenOutput(id, result), nullptr) << "closing gives the port back; rc " << result;
}

TEST_F(JackEndToEnd, Output_TwoThreadsSendingAtOnce_EveryMessageArrivesWhole) {
  Receiver receiver;
  SystemMidiBackend backend;
  const int id = IndexOf(backend.OutputNames(), ReceiverPort);
  ASSERT_GE(id, 0);
  int result = -1;
  auto output = backend.OpenOutput(id, result);
  ASSERT_NE(output, nullptr) << "rc " << result;
  constexpr int perThread = 300;
  auto sendAll = [&](int channel) {
    for (int i = 0; i < perThread; ++i) {
      output->Send(MakeShortMessage(uint8_t(0x90 | channel), uint8_t(i % 128), uint8_t(1 + i % 127)), SendNow);
      if (i % 20 == 19) std::this_thread::sleep_for(2ms);  // stay well inside one period's buffer
    }
  };
  std::thread first(sendAll, 0), second(sendAll, 1);
  first.join();
  second.join();
  const auto got = receiver.collected.WaitFor(2 * perThread);
  ASSERT_EQ(got.size(), size_t(2 * perThread));
  std::vector<Bytes> perChannel[2], expected[2];
  for (const auto& message : got) {
    ASSERT_EQ(message.size(), 3u);
    ASSERT_TRUE(message[0] == 0x90 || message[0] == 0x91) << int(message[0]);
    perChannel[message[0] & 1].push_back(message);
  }
  for (int channel : {0, 1}) {
    for (int i = 0; i < perThread; ++i)
      expected[channel].push_back({uint8_t(0x90 | channel), uint8_t(i % 128), uint8_t(1 + i % 127)});
    const auto mismatch = std::mismatch(perChannel[channel].begin(), perChannel[channel].end(),
                                        expected[channel].begin(), expected[channel].end());
    EXPECT_EQ(mismatch.first, perChannel[channel].end())
        << "channel " << channel << ": message " << (mismatch.first - perChannel[channel].begin()) << " of "
        << perChannel[channel].size() << " is not the one sent";
  }
}

TEST_F(JackEndToEnd, Open_PortGoneSinceTheListing_FailsWithBadDeviceId) {
  SystemMidiBackend backend;
  int id = -1;
  {
    Receiver receiver;
    id = IndexOf(backend.OutputNames(), ReceiverPort);
  }
  ASSERT_GE(id, 0);
  int result = 0;
  EXPECT_EQ(backend.OpenOutput(id, result), nullptr);
  EXPECT_EQ(result, DeviceBadId);
  EXPECT_EQ(IndexOf(backend.OutputNames(), ReceiverPort), -1);
}

TEST_F(JackEndToEnd, EmbeddedSynth_OnJackAudio_OpensPlaysAndCloses) {
  if (FindSoundFont("").empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  SynthSettings settings;
  settings.audioDriver = "jack";
  int result = -1;
  auto output = EmbeddedSynthOutput::Open(settings, result);
  ASSERT_NE(output, nullptr) << "rc " << result;
  EXPECT_EQ(result, DeviceOk);
  output->Send(MakeShortMessage(0x90, 60, 100), SendNow);
  std::this_thread::sleep_for(50ms);
  output->Send(MakeShortMessage(0x80, 60, 0), SendNow);
}

// A new user chooses nothing: where the build's default audio driver finds no sound server, the
// synth still finds the running JACK server.
TEST_F(JackEndToEnd, MidiMapper_NoDriverChosen_FindsARunningAudioSystem) {
  if (FindSoundFont("").empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  SystemMidiBackend backend;
  int result = -1;
  auto output = backend.OpenOutput(-1, result);
  ASSERT_NE(output, nullptr) << "rc " << result;
  EXPECT_EQ(result, DeviceOk);
  output->Send(MakeShortMessage(0x90, 60, 100), SendNow);
  std::this_thread::sleep_for(50ms);
  output->Send(MakeShortMessage(0x80, 60, 0), SendNow);
}

// Points the clients made in its scope at another server.
class UseServer {
 public:
  explicit UseServer(const std::string& name) : old_(std::getenv("JACK_DEFAULT_SERVER")) {
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  }
  ~UseServer() { setenv("JACK_DEFAULT_SERVER", old_.c_str(), 1); }

 private:
  std::string old_;
};

// RtMidi crashes closing a JACK port whose server has gone; the test's own far ends are left open.
template <class T>
void Abandon(std::unique_ptr<T>& object) {
  static auto* abandoned = new std::vector<void*>;
  abandoned->push_back(object.release());
}

TEST_F(JackEndToEnd, ServerStops_OpenPortsCanStillBeUsedAndClosed) {
  JackServer doomed;
  const std::string why = doomed.Start("-doomed");
  ASSERT_EQ(why, "");
  UseServer use(doomed.Name());
  auto receiver = std::make_unique<Receiver>();
  auto sender = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "VarnelTestSender");
  sender->openVirtualPort("out");
  SystemMidiBackend backend;
  const auto outputs = backend.OutputNames();
  const int outId = IndexOf(outputs, ReceiverPort), inId = IndexOf(backend.InputNames(), "VarnelTestSender:out");
  ASSERT_GE(outId, 0);
  ASSERT_GE(inId, 0);
  int result = -1;
  auto output = backend.OpenOutput(outId, result);
  ASSERT_NE(output, nullptr) << "rc " << result;
  auto input = backend.OpenInput(inId, [](const ShortMessage&) {}, result);
  ASSERT_NE(input, nullptr) << "rc " << result;
  auto virtualPort = backend.OpenOutput(int(outputs.size()) - 1, result);
  ASSERT_NE(virtualPort, nullptr) << "rc " << result;
  std::unique_ptr<MidiOutput> synth;
  if (!FindSoundFont("").empty()) {
    SynthSettings settings;
    settings.audioDriver = "jack";
    synth = EmbeddedSynthOutput::Open(settings, result);
    ASSERT_NE(synth, nullptr) << "rc " << result;
  }

  doomed.Stop();
  for (int i = 0; i < 2000; ++i) {  // more than the port's buffer holds
    output->Send(MakeShortMessage(0x90, uint8_t(i % 128), 100), SendNow);
    virtualPort->Send(MakeShortMessage(0x80, uint8_t(i % 128), 0), SendNow);
    if (synth) synth->Send(MakeShortMessage(0x90, uint8_t(i % 128), 1), SendNow);
  }
  EXPECT_EQ(IndexOf(backend.OutputNames(), ReceiverPort), -1);
  EXPECT_EQ(IndexOf(backend.InputNames(), "VarnelTestSender:out"), -1);
  result = 0;
  EXPECT_EQ(backend.OpenOutput(outId, result), nullptr);
  EXPECT_NE(result, DeviceOk);
  output.reset();
  input.reset();
  virtualPort.reset();
  synth.reset();
  Abandon(receiver);
  Abandon(sender);
}

}  // namespace
}  // namespace varnel
