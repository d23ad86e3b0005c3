// The playback engine: PlayRow plays one row of the song through the device layer; the transport
// (play/pause, stop, tempo restart) drives the row clock.
//
// Threads: PlayRow and the row-played handler run on the row clock; everything else is the UI
// thread's. The playing and stopped flags are written by the UI thread and read by both.
#pragma once

#include <atomic>
#include <functional>

#include "midi/midi_output.h"
#include "midi/row_clock.h"

namespace varnel {

class MidiDevices;
class TVNSong;

class PlaybackEngine {
 public:
  PlaybackEngine(TVNSong& song, MidiDevices& devices, RowClock& clock);
  ~PlaybackEngine();
  PlaybackEngine(const PlaybackEngine&) = delete;
  PlaybackEngine& operator=(const PlaybackEngine&) = delete;

  // Runs on the row clock after each row; the GUI posts its play-position event here. It must not
  // block or allocate.
  void SetRowPlayedHandler(std::function<void()> handler) { rowPlayed_ = std::move(handler); }
  // Shown on the status bar when the clock cannot be started.
  bool StartPlayTimer();
  void StopPlayTimer();
  // After a tempo or speed change; also called from the tick by a tempo event, with its row's time.
  void RestartPlayTimer(MidiTime when = SendNow);

  void PlayPause();  // play, resume, or pause (all notes off)
  void Stop();       // stop, all notes off, rewind to the loop starts
  void Rewind();

  bool Playing() const { return playing_.load(); }
  bool Stopped() const { return stopped_.load(); }

  // For playing a song a set number of times (the command-line player): after `passes` wraps of the
  // order (song mode) or of the rows (pattern mode) the engine plays no further row. 0: no limit.
  // UI thread, while stopped.
  void SetPassLimit(int passes);
  int PassesPlayed() const { return passes_.load(); }
  bool Finished() const { return passLimit_ > 0 && passes_.load() >= passLimit_; }

  // One row; the row clock's tick. `when` is the row's intended time.
  void PlayRow(MidiTime when);
  void MetronomeClick(MidiTime when);

 private:
  void PlayChannel(int channel, int firstTrack, int endTrack, int& shortest, MidiTime when);
  void Advance(int shortest);

  TVNSong& song_;
  MidiDevices& devices_;
  RowClock& clock_;
  std::function<void()> rowPlayed_;
  std::atomic<bool> playing_{false};    // written by the UI thread
  std::atomic<bool> stopped_{false};    // written by the UI thread
  std::atomic<bool> tickGuard_{false};  // written by the row clock
  std::atomic<int> passes_{0};          // written by the row clock
  int passLimit_ = 0;
};

}  // namespace varnel
