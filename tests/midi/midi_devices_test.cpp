// The device layer's messages as bytes on the wire: channel limits, every channel event type with
// its range checks, channel preparation, all-notes-off and reset, and opening devices.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "midi/device_session.h"
#include "midi/midi_devices.h"
#include "midi/recording_output.h"
#include "song/song.h"
#include "support/recording_reporter.h"

namespace varnel {
namespace {

using test::RecordingReporter;
using Messages = std::vector<std::string>;

std::string Hex(int status, int data1, int data2) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X %02X %02X", status, data1, data2);
  return text;
}

// What PrepareChannels sends for one MIDI channel of a song with nothing set.
Messages DefaultPreparation(int ch) {
  Messages m;
  const int controllers[9] = {10, 7, 1, 11, 64, 91, 93, 74, 71};
  const int values[9] = {64, 100, 0, 127, 0, 0, 0, 127, 0};
  for (int i = 0; i < 9; ++i) m.push_back(Hex(0xB0 + ch, controllers[i], values[i]));
  m.push_back(Hex(0xE0 + ch, 0, 64));
  m.push_back(Hex(0xB0 + ch, 0, 0));
  m.push_back(Hex(0xB0 + ch, 32, 0));
  char program[8];
  std::snprintf(program, sizeof program, "%02X 00", 0xC0 + ch);
  m.push_back(program);
  return m;
}

class MidiDevicesTest : public ::testing::Test {
 protected:
  MidiDevicesTest() {
    EXPECT_TRUE(devices.OpenMidiOut(0));
    backend.Recorder().Clear();
    reporter.Clear();
  }

  Messages Sent() const {
    Messages m;
    for (const auto& e : recorder().Events()) m.push_back(HexBytes(e.message));
    return m;
  }
  MidiRecorder& recorder() const { return const_cast<RecordingBackend&>(backend).Recorder(); }
  std::string LastStatus() const { return reporter.statuses.empty() ? "" : reporter.statuses.back().text; }

  RecordingReporter reporter;
  TVNSong song{&reporter};
  RecordingBackend backend;
  MidiDevices devices{backend, song};
};

TEST_F(MidiDevicesTest, Send_ChannelSixteenOrAbove_SendsNothing) {
  for (int ch : {16, 23, 47, 48, -1}) {
    devices.NoteOn(ch, 60, 100);
    devices.NoteOff(ch, 60, 0);
    devices.PitchWheel(ch, 0, 64);
    devices.SendShortMessage(0xB0, ch, 7, 100);
    devices.SendChannelEvent(ch, 1, 64, -1);
    devices.SendChannelEvent(ch, 12, 64, 300);
    devices.AllNotesOff(ch == -1 ? 16 : ch);
    devices.ResetChannels(ch == -1 ? 16 : ch);
    devices.PrepareChannels(ch == -1 ? 16 : ch);
  }
  EXPECT_EQ(Sent(), Messages{});
}

TEST_F(MidiDevicesTest, NoteAndWheel_ChannelAddedToStatus) {
  devices.NoteOn(0, 60, 100);
  devices.NoteOn(15, 127, 1);
  devices.NoteOff(3, 60, 0);
  devices.PitchWheel(9, 0, 64);
  devices.SendShortMessage(0xB0, 2, 7, 127);
  EXPECT_EQ(Sent(), (Messages{"90 3C 64", "9F 7F 01", "83 3C 00", "E9 00 40", "B2 07 7F"}));
}

struct EventCase {
  int type, value, param;
  Messages expected;
};

TEST_F(MidiDevicesTest, SendChannelEvent_EachType_SendsItsMessages) {
  const EventCase cases[] = {
      {0, 64, -1, {}},
      {1, 64, -1, {"B2 0A 40"}},
      {2, 100, -1, {"B2 07 64"}},
      {3, 1, -1, {"B2 01 01"}},
      {4, 127, -1, {"B2 0B 7F"}},
      {5, 0, -1, {"B2 40 00"}},
      {6, 40, -1, {"B2 5B 28"}},
      {7, 41, -1, {"B2 5D 29"}},
      {8, 42, -1, {"B2 4A 2A"}},
      {9, 43, -1, {"B2 47 2B"}},
      {10, 80, -1, {"E2 00 50"}},
      {11, 70, 74, {"B2 4A 46"}},
      {12, 64, 300, {"B2 63 02", "B2 62 2C", "B2 06 40"}},
      {13, 64, 300, {"B2 65 02", "B2 64 2C", "B2 06 40"}},
      {14, 127, -1, {"C2 7F"}},
      {15, 100, -1, {}},
      {16, 64, -1, {}},
      {255, 64, -1, {}},
      // The parameter matters to types 11..13 only.
      {1, 5, 9999, {"B2 0A 05"}},
      {14, 3, 200, {"C2 03"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " value " + std::to_string(c.value));
    recorder().Clear();
    devices.SendChannelEvent(2, c.type, c.value, c.param);
    EXPECT_EQ(Sent(), c.expected);
  }
}

TEST_F(MidiDevicesTest, SendChannelEvent_ValueOrParameterOutOfRange_SendsNothing) {
  const EventCase dropped[] = {
      {1, 128, -1, {}},    {1, -1, -1, {}},     {2, 200, -1, {}},   {10, 128, -1, {}},
      {14, 128, -1, {}},   {14, -1, -1, {}},    {11, 64, -1, {}},   {11, 64, 128, {}},
      {12, 64, -1, {}},    {12, 64, 16384, {}}, {13, 64, -1, {}},   {13, 64, 16384, {}},
      {12, 128, 300, {}},  {13, -5, 300, {}},
  };
  for (const auto& c : dropped) devices.SendChannelEvent(2, c.type, c.value, c.param);
  EXPECT_EQ(Sent(), Messages{});

  // The edges that are still inside.
  devices.SendChannelEvent(2, 11, 0, 127);
  devices.SendChannelEvent(2, 11, 127, 0);
  devices.SendChannelEvent(2, 12, 1, 16383);
  devices.SendChannelEvent(2, 13, 2, 0);
  EXPECT_EQ(Sent(), (Messages{"B2 7F 00", "B2 00 7F", "B2 63 7F", "B2 62 7F", "B2 06 01", "B2 65 00",
                              "B2 64 00", "B2 06 02"}));
}

TEST_F(MidiDevicesTest, SendChannelEvent_Tempo_HandsOnTempoWithFloorOf32AndLeavesSongBpm) {
  std::vector<std::pair<int, MidiTime>> tempos;
  devices.SetTempoHandler([&](int bpm, MidiTime when) { tempos.emplace_back(bpm, when); });
  const MidiTime when = MidiTime{} + std::chrono::seconds(5);
  song.BPM = 99;

  struct Case {
    int value, bpm;  // bpm 0: nothing handed on
  };
  const Case cases[] = {{20, 32}, {100, 100}, {300, 0}, {0, 32}, {255, 255}, {256, 0}, {-1, 0}, {32, 32}};
  for (const auto& c : cases) {
    SCOPED_TRACE("tempo " + std::to_string(c.value));
    tempos.clear();
    devices.SendChannelEvent(0, 15, c.value, -1, when);
    EXPECT_EQ(int(song.BPM), 99);
    ASSERT_EQ(tempos.size(), c.bpm ? 1u : 0u);
    if (c.bpm) {
      EXPECT_EQ(tempos[0].first, c.bpm);
      EXPECT_EQ(tempos[0].second, when);
    }
  }
  EXPECT_EQ(Sent(), Messages{});
}

TEST_F(MidiDevicesTest, PrepareChannels_NothingSet_SendsDefaultsCentreBankZeroAndProgram) {
  devices.PrepareChannels(3);
  EXPECT_EQ(Sent(), (Messages{"B3 0A 40", "B3 07 64", "B3 01 00", "B3 0B 7F", "B3 40 00", "B3 5B 00", "B3 5D 00",
                              "B3 4A 7F", "B3 47 00", "E3 00 40", "B3 00 00", "B3 20 00", "C3 00"}));
}

TEST_F(MidiDevicesTest, PrepareChannels_PresetsBankAndProgram_SentInPlaceOfDefaults) {
  for (int type = 1; type <= 9; ++type) song.SetMidiParam(3, type, 10 + type);
  song.SetMidiParam(3, 2, 128);  // 128 and above count as not set
  song.SetMidiParam(3, 4, -1);
  song.SetProgram(3, 42);
  song.StoreBankSelect(3, 0, 5);
  song.StoreBankSelect(3, 1, 127);
  devices.PrepareChannels(3);
  EXPECT_EQ(Sent(), (Messages{"B3 0A 0B", "B3 07 64", "B3 01 0D", "B3 0B 7F", "B3 40 0F", "B3 5B 10", "B3 5D 11",
                              "B3 4A 12", "B3 47 13", "E3 00 40", "B3 00 05", "B3 20 7F", "C3 2A"}));

  recorder().Clear();
  song.StoreBankSelect(3, 0, 128);  // an unset half of the bank goes out as 0
  song.StoreBankSelect(3, 1, 9);
  devices.PrepareChannels(3);
  const Messages sent = Sent();
  ASSERT_EQ(sent.size(), 13u);
  EXPECT_EQ(sent[10], "B3 00 00");
  EXPECT_EQ(sent[11], "B3 20 09");
}

TEST_F(MidiDevicesTest, PrepareChannels_All_PreparesChannels0To15InOrder) {
  song.SetProgram(20, 7);  // MIDI channels above 15 never reach the device
  song.SetProgram(15, 99);
  devices.PrepareChannels(-1);
  Messages expected;
  for (int ch = 0; ch < 16; ++ch) {
    Messages one = DefaultPreparation(ch);
    if (ch == 15) one.back() = "CF 63";
    expected.insert(expected.end(), one.begin(), one.end());
  }
  EXPECT_EQ(Sent(), expected);
}

TEST_F(MidiDevicesTest, AllNotesOff_OneChannelOrAll_Controller123) {
  devices.AllNotesOff(5);
  EXPECT_EQ(Sent(), Messages{"B5 7B 00"});
  recorder().Clear();
  devices.AllNotesOff(-1);
  Messages expected;
  for (int ch = 0; ch < 16; ++ch) expected.push_back(Hex(0xB0 + ch, 123, 0));
  EXPECT_EQ(Sent(), expected);
}

TEST_F(MidiDevicesTest, ResetChannels_OneChannelOrAll_ResetThenNotesOffPerChannel) {
  devices.ResetChannels(5);
  EXPECT_EQ(Sent(), (Messages{"B5 79 00", "B5 7B 00"}));
  recorder().Clear();
  devices.ResetChannels(-1);
  Messages expected;
  for (int ch = 0; ch < 16; ++ch) {
    expected.push_back(Hex(0xB0 + ch, 121, 0));
    expected.push_back(Hex(0xB0 + ch, 123, 0));
  }
  EXPECT_EQ(Sent(), expected);
}

TEST_F(MidiDevicesTest, OpenMidiOut_Fails_ShowsTwoDigitCodeAndSendsNothing) {
  backend.failOpen = 5;
  EXPECT_FALSE(devices.OpenMidiOut(0));
  EXPECT_EQ(LastStatus(), "Could not open midi out, rc = 05");
  EXPECT_EQ(reporter.statuses.back().panel, 0);
  EXPECT_FALSE(devices.HasOutput());
  devices.NoteOn(0, 60, 100);  // goes nowhere, quietly
  EXPECT_EQ(Sent(), Messages{});

  backend.failOpen = 123;
  EXPECT_FALSE(devices.OpenMidiOut(-1));
  EXPECT_EQ(LastStatus(), "Could not open midi out, rc = 123");
}

TEST_F(MidiDevicesTest, OpenMidiOut_Succeeds_PreparesAllChannelsThenDeviceOk) {
  for (int id : {-1, 0}) {
    SCOPED_TRACE("device " + std::to_string(id));
    recorder().Clear();
    reporter.Clear();
    EXPECT_TRUE(devices.OpenMidiOut(id));
    EXPECT_EQ(devices.OutDeviceId(), id);
    EXPECT_TRUE(devices.HasOutput());
    Messages expected;
    for (int ch = 0; ch < 16; ++ch) {
      const Messages one = DefaultPreparation(ch);
      expected.insert(expected.end(), one.begin(), one.end());
    }
    EXPECT_EQ(Sent(), expected);
    ASSERT_EQ(reporter.statuses.size(), 1u);
    EXPECT_EQ(LastStatus(), "Device OK");
  }
  EXPECT_FALSE(devices.OpenMidiOut(7));  // no such device
  EXPECT_EQ(LastStatus().rfind("Could not open midi out, rc = ", 0), 0u);
}

TEST_F(MidiDevicesTest, OpenMidiIn_NoneOrFailure_ShowsStatus) {
  EXPECT_FALSE(devices.OpenMidiIn(-1));
  EXPECT_EQ(LastStatus(), "No MIDI In Device selected");
  EXPECT_EQ(devices.InDeviceId(), -1);
  EXPECT_FALSE(devices.InputOpenFlag());

  backend.failOpen = 7;
  EXPECT_FALSE(devices.OpenMidiIn(0));
  EXPECT_EQ(LastStatus(), "Could not open midi in, rc = 07");
  EXPECT_EQ(Sent(), Messages{});
}

TEST_F(MidiDevicesTest, OpenMidiIn_Succeeds_PreparesOutputAndDeliversInput) {
  std::vector<std::string> received;
  devices.SetInputHandler([&](const ShortMessage& m) { received.push_back(HexBytes(m)); });
  EXPECT_TRUE(devices.OpenMidiIn(0));
  EXPECT_EQ(LastStatus(), "Device OK");
  EXPECT_EQ(devices.InDeviceId(), 0);
  EXPECT_EQ(Sent().size(), 16u * 13u);
  backend.Receive(MakeShortMessage(0x90, 60, 100));
  EXPECT_EQ(received, Messages{"90 3C 64"});
  EXPECT_TRUE(devices.CloseMidiIn());
  backend.Receive(MakeShortMessage(0x90, 61, 100));
  EXPECT_EQ(received, Messages{"90 3C 64"});
}

TEST_F(MidiDevicesTest, GetDevices_ListsBackendNamesInOrder) {
  backend.outputs = {"Synth A", "Synth B"};
  backend.inputs = {"Keys"};
  EXPECT_EQ(devices.GetMidiOutDevices(), (Messages{"Synth A", "Synth B"}));
  EXPECT_EQ(devices.GetMidiInDevices(), Messages{"Keys"});
}

// A failed open keeps its message on the status bar: it is not replaced by "Device: NAME".
TEST_F(MidiDevicesTest, SelectOutDevice_StoresCaptionWithoutAmpersandEvenWhenOpenFails) {
  devices.SelectOutDevice(0, "&Recorder");
  EXPECT_EQ(song.DeviceName, "Recorder");
  EXPECT_EQ(LastStatus(), "Device: Recorder");
  EXPECT_EQ(devices.OutDeviceId(), 0);

  backend.failOpen = 4;
  reporter.Clear();
  devices.SelectOutDevice(-1, "MIDI &Mapper");
  EXPECT_EQ(song.DeviceName, "MIDI Mapper");
  EXPECT_EQ(devices.OutDeviceId(), -1);
  EXPECT_EQ(LastStatus(), "Could not open midi out, rc = 04");
  EXPECT_EQ(devices.Session().Status(0).state, DeviceState::Failed);
  EXPECT_EQ(devices.Session().StatusText(0), "Out: MIDI Mapper (failed: rc = 04)");
}

TEST_F(MidiDevicesTest, SelectInDevice_None_ClosesTheInputAndShowsBothTexts) {
  std::vector<std::string> received;
  devices.SetInputHandler([&](const ShortMessage& m) { received.push_back(HexBytes(m)); });
  devices.SelectInDevice(0, "Recorder &In");
  EXPECT_EQ(song.InDeviceName, "Recorder In");
  EXPECT_EQ(devices.InDeviceId(), 0);
  EXPECT_TRUE(devices.InputOpenFlag());
  EXPECT_EQ(devices.Session().StatusText(DeviceSession::InputSlot), "In: Recorder In");
  backend.Receive(MakeShortMessage(0x80, 60, 0));

  reporter.Clear();
  devices.SelectInDevice(-1, "&None");
  EXPECT_EQ(song.InDeviceName, "None");
  EXPECT_FALSE(devices.InputOpenFlag());
  EXPECT_EQ(devices.InDeviceId(), -1);
  ASSERT_EQ(reporter.statuses.size(), 2u);
  EXPECT_EQ(reporter.statuses[0].text, "No MIDI In Device selected");
  EXPECT_EQ(reporter.statuses[1].text, "InDevice: None");
  backend.Receive(MakeShortMessage(0x80, 61, 0));  // closed: not delivered
  EXPECT_EQ(received, Messages{"80 3C 00"});
  EXPECT_EQ(devices.Session().StatusText(DeviceSession::InputSlot), "In: None");
}

TEST_F(MidiDevicesTest, CheckOutDevice_SongNamesDevice_SelectsFirstMatchUnlessInUse) {
  backend.outputs = {"Synth", "S&ynth", "Other"};
  song.DeviceName.clear();
  devices.CheckOutDevice();  // no name: nothing happens
  EXPECT_EQ(devices.OutDeviceId(), 0);
  EXPECT_TRUE(reporter.statuses.empty());

  devices.GetMidiOutDevices();
  song.DeviceName = "Other";
  devices.CheckOutDevice();
  EXPECT_EQ(devices.OutDeviceId(), 2);
  EXPECT_EQ(LastStatus(), "Device: Other");

  reporter.Clear();
  devices.CheckOutDevice();  // already selected
  EXPECT_TRUE(reporter.statuses.empty());

  song.DeviceName = "Synth";  // "S&ynth" matches too, but the first item wins
  devices.CheckOutDevice();
  EXPECT_EQ(devices.OutDeviceId(), 0);

  reporter.Clear();
  song.DeviceName = "Missing";
  devices.CheckOutDevice();
  EXPECT_EQ(devices.OutDeviceId(), 0);
  EXPECT_TRUE(reporter.statuses.empty());
  EXPECT_EQ(song.DeviceName, "Missing");
}

// Devices are remembered by name; a name stored when "&" was left out of it still finds its device.
TEST_F(MidiDevicesTest, RestoreDevices_ByNameThenWithoutAmpersand) {
  backend.outputs = {"S&ame", "Same", "Other"};
  backend.inputs = {"P&ads", "Keys"};
  devices.RestoreDevices("Same", "Pads");
  EXPECT_EQ(devices.OutDeviceId(), 1);
  EXPECT_EQ(song.DeviceName, "Same");
  EXPECT_EQ(devices.InDeviceId(), 0);
  EXPECT_TRUE(devices.InputOpenFlag());
  EXPECT_EQ(song.InDeviceName, "P&ads");
}

// A stored device that is not there is not replaced by another: it waits as missing.
TEST_F(MidiDevicesTest, RestoreDevices_UnknownNamesWaitAsMissing_AbsentNamesMapperAndNoInput) {
  struct Case {
    std::string out, in;
    DeviceState outState, inState;
  };
  const Case cases[] = {{"", "", DeviceState::Open, DeviceState::None},
                        {"Gone", "None", DeviceState::Missing, DeviceState::None},
                        {"Gone", "Gone In", DeviceState::Missing, DeviceState::Missing}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out + "/" + c.in);
    MidiDevices fresh(backend, song);
    reporter.Clear();
    fresh.RestoreDevices(c.out, c.in);
    const DeviceSession& session = fresh.Session();
    EXPECT_EQ(session.Status(0).state, c.outState);
    EXPECT_EQ(session.Status(DeviceSession::InputSlot).state, c.inState);
    EXPECT_EQ(song.DeviceName, c.out.empty() ? "MIDI Mapper" : c.out);
    EXPECT_EQ(fresh.OutDeviceId(), c.out.empty() ? -1 : -2);
    EXPECT_EQ(fresh.HasOutput(), c.out.empty());
    if (c.outState == DeviceState::Missing) {
      EXPECT_EQ(session.StatusText(0), "Out: Gone (missing: not found)");
    }
    for (const auto& s : reporter.statuses) EXPECT_EQ(s.text.rfind("InDevice: ", 0), std::string::npos) << s.text;
  }
}

TEST_F(MidiDevicesTest, PassThrough_ChannelMessageMovesToSelectedChannel) {
  struct Case {
    ShortMessage in;
    int channel;
    Messages expected;
  };
  const Case cases[] = {
      {MakeShortMessage(0x82, 60, 64), 15, {"8F 3C 40"}},  // stays a note-off
      {MakeShortMessage(0x80, 60, 0), 3, {"83 3C 00"}},
      {MakeShortMessage(0x95, 60, 100), 0, {"90 3C 64"}},
      {MakeShortMessage(0xB7, 7, 90), 9, {"B9 07 5A"}},
      {MakeShortMessage(0xC1, 5, 0), 2, {"C2 05"}},
      {MakeShortMessage(0xE4, 1, 64), 4, {"E4 01 40"}},
      {MakeShortMessage(0xF8, 0, 0), 5, {"F8"}},  // system messages have no channel
      {MakeShortMessage(0xF2, 16, 32), 5, {"F2 10 20"}},
      {MakeShortMessage(0x90, 60, 100), 16, {}},
      {MakeShortMessage(0x90, 60, 100), -1, {}},
      {MakeShortMessage(0xF8, 0, 0), 16, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(HexBytes(c.in) + " on channel " + std::to_string(c.channel));
    recorder().Clear();
    devices.PassThrough(c.in, c.channel);
    EXPECT_EQ(Sent(), c.expected);
  }
}

}  // namespace
}  // namespace varnel
