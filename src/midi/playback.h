// The playback engine: PlayRow plays one row of the song through the device layer; the transport
// (play/pause, stop, tempo restart) drives the row clock.
//
// Threads: PlayRow and the row-played handler run on the row clock; everything else is the UI
// thread's. The playing and stopped flags are written by the UI thread and read by both.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "midi/midi_clock.h"
#include "midi/midi_output.h"
#include "midi/row_clock.h"
#include "midi/sounding_notes.h"

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

  // With MIDI clock on the output (MidiDevices::MidiClockEnabled, read at each start), playing sends
  // Start from the top of the song, Continue when resuming where it paused, and otherwise a Song
  // Position Pointer and Continue; pause and stop send Stop. Both also withdraw what the output holds
  // for later and end the sounding notes with note-offs before all-notes-off.
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
  // The row period at the song's tempo, on the open output's clock (MidiOutput::ClockRatio).
  RowPeriod Period() const;
  void PlayChannel(int channel, int firstTrack, int endTrack, int& shortest, MidiTime when);
  void Advance(int shortest);
  enum class Transport { Stopped, Paused, Running };
  void BeginTransport();        // UI thread, before the clock starts
  void Halt(Transport state);   // UI thread, after the clock has stopped

  TVNSong& song_;
  MidiDevices& devices_;
  RowClock& clock_;
  std::function<void()> rowPlayed_;
  std::atomic<bool> playing_{false};    // written by the UI thread
  std::atomic<bool> stopped_{false};    // written by the UI thread
  std::atomic<bool> tickGuard_{false};  // written by the row clock
  std::atomic<int> passes_{0};          // written by the row clock
  int passLimit_ = 0;
  // MIDI clock: the flag is set by the UI thread before the clock starts; the pulses belong to the
  // row clock while it runs and to the UI thread otherwise.
  std::atomic<bool> midiClock_{false};
  MidiClockPulses pulses_;
  // Per track, what "d/a releases" keeps sounding: sized by the UI thread under the song's shape lock,
  // used by the row clock while it holds that lock.
  std::vector<HeldNotes> held_;
  Transport transport_ = Transport::Stopped;  // what the receivers of MIDI clock were last told
  int64_t pausedAt_ = -1;                     // the song position of the last pause
};

}  // namespace varnel
