// The editor frame on a real song, a recording MIDI device, a manual row clock and a host that
// records what the frame asks of the main window.
#pragma once

#include <QApplication>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/song_document.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"
#include "song/song.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel::test {

class FakeHost final : public EditorHost {
 public:
  void UpdateChannelProps(int channel) override { Log("UpdateChannelProps " + std::to_string(channel)); }
  void PlayPause() override { Log("PlayPause"); }
  void StopPlayback() override { Log("StopPlayback"); }
  void UpdatePlayCounter() override { Log("UpdatePlayCounter"); }
  void UpdatePlayRow() override { Log("UpdatePlayRow"); }
  void ChannelToggleRightClick(int channel) override { Log("ChannelToggleRightClick " + std::to_string(channel)); }
  void StepPatternField(int delta) override { Log("StepPatternField " + std::to_string(delta)); }
  void SetPatternField(int value) override { Log("SetPatternField " + std::to_string(value)); }
  void StepProgram(int delta) override { Log("StepProgram " + std::to_string(delta)); }
  // Like the main window's editor commands: switch the frame's grid.
  void ShowEditor(int grid) override {
    Log("ShowEditor " + std::to_string(grid));
    if (frame) frame->SetActiveGrid(grid);
  }
  bool EditCustomTrack(const std::string& caption, bool showSecond, int& first, int& second) override {
    Log("EditCustomTrack " + caption + (showSecond ? " two " : " one ") + std::to_string(first) + " " +
        std::to_string(second));
    if (!dialogAnswer) return false;
    first = dialogAnswer->first;
    second = dialogAnswer->second;
    return true;
  }
  bool TemplateStep(int& step) override {
    if (!templateStep) return false;
    step = *templateStep;
    return true;
  }
  void PianoKey(int note, bool down) override { Log("PianoKey " + std::to_string(note) + (down ? " down" : " up")); }

  void Log(const std::string& call) { calls.push_back(call); }
  bool Called(const std::string& call) const {
    for (const std::string& c : calls)
      if (c == call) return true;
    return false;
  }

  TVNFrame* frame = nullptr;
  std::vector<std::string> calls;
  std::optional<std::pair<int, int>> dialogAnswer;  // OK with these numbers; none: Cancel
  std::optional<int> templateStep;
};

// A song of `channels` channels (one note track each, MIDI channel = channel) shown in the frame.
struct FrameRig {
  explicit FrameRig(int channels = 4, int rows = 64) {
    MakeSong(song, channels, rows);
    devices.OpenMidiOut(-1);
    frame = std::make_unique<TVNFrame>(document, devices, player, host);
    host.frame = frame.get();
    frame->resize(900, 600);
    frame->SetCellMetrics(40, 17);
    frame->show();
    frame->activateWindow();
    if (!QTest::qWaitForWindowActive(frame.get())) qWarning("frame window not active");
    Refresh();
    Show(1);
    Clear();
  }

  // What the main window's PrepareEditor does to the frame.
  void Refresh() {
    frame->RedrawPattern(0, 0, true);
    frame->RedrawOrders(0, 0);
  }
  // The frame's SetActiveGrid, with the newly shown grid laid out for mouse clicks.
  void Show(int grid) {
    frame->SetActiveGrid(grid);
    QCoreApplication::processEvents();
  }
  void Clear() {
    backend.Recorder().Clear();
    host.calls.clear();
    reporter.Clear();
  }

  TMyGrid2& G1() { return *frame->Grid1(); }
  TMyGrid2& G2() { return *frame->Grid2(); }

  // The bytes sent to the device since the last Clear, as "90 3C 64" texts.
  std::vector<std::string> Sent() {
    std::vector<std::string> out;
    for (const MidiRecorder::Event& e : backend.Recorder().Events()) out.push_back(HexBytes(e.message));
    return out;
  }

  // One key going down (or repeating while held) and going up.
  static void Press(TMyGrid2& grid, Qt::Key key, Qt::KeyboardModifiers mods = {}, bool autoRepeat = false) {
    QTest::simulateEvent(&grid, true, key, mods, QString(), autoRepeat);
  }
  static void Release(TMyGrid2& grid, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    QTest::simulateEvent(&grid, false, key, mods, QString(), false);
  }
  static void Type(TMyGrid2& grid, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    Press(grid, key, mods);
    Release(grid, key, mods);
  }

  void RightClick(TMyGrid2& grid, int col, int row) {
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, grid.CellRect(col, row).center());
  }

  RecordingReporter reporter;
  SongDocument document{&reporter};
  TVNSong& song = document.Song();
  RecordingBackend backend;
  MidiDevices devices{backend, song};
  ManualRowClock clock;
  PlaybackEngine player{song, devices, clock};
  FakeHost host;
  std::unique_ptr<TVNFrame> frame;
};

}  // namespace varnel::test
