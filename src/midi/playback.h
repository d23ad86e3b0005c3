// The playback engine: PlayRow plays one row of the song through the device layer; the transport
// (play/pause, stop, tempo restart) drives the row clock, or, while following an external MIDI
// clock, the master's clocks and transport messages do (playback_follow.cpp).
//
// Threads: PlayRow and the row-played handler run on the row clock; everything else is the UI
// thread's. The playing and stopped flags are written by the UI thread and read by both. While
// following, the row clock's step also obeys the master's Start, Continue, Stop and Song Position
// Pointer; the UI thread touches the transport only with that clock stopped.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <vector>

#include "midi/clock_follower.h"
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

  // Runs on the row clock after each row (and, while following, after the master moved the
  // transport); the GUI posts its play-position event here. It must not block or allocate.
  void SetRowPlayedHandler(std::function<void()> handler) { rowPlayed_ = std::move(handler); }
  // Shown on the status bar when the clock cannot be started.
  bool StartPlayTimer();
  void StopPlayTimer();
  // After a tempo or speed change; also called from the tick by a tempo event, with its row's time.
  void RestartPlayTimer(MidiTime when = SendNow);
  // The song's tempo set by hand (the "BPM" box): the song takes it, and playback at once, in place
  // of whatever a tempo cell had set.
  void SetTempo(int bpm);
  // The tempo playing now, in BPM: while following, the master's; otherwise the one the last tempo
  // cell set since Play, or the song's. A tempo cell never changes the song's own BPM.
  double PlayingTempo() const;

  // With MIDI clock on the output (MidiDevices::MidiClockEnabled, read at each start), playing sends
  // Start from the top of the song, Continue when resuming where it paused, and otherwise a Song
  // Position Pointer and Continue; pause and stop send Stop. Both also withdraw what the output holds
  // for later and end the sounding notes with note-offs before all-notes-off.
  void PlayPause();  // play, resume, or pause (all notes off)
  void Stop();       // stop, all notes off, rewind to the loop starts
  void Rewind();

  // Playing (or, following a clock, waiting for the next one to play).
  bool Playing() const { return following_.load() ? followRunning_.load() : playing_.load(); }
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

  // ---- Following an external MIDI clock (playback_follow.cpp) ----
  // What the input device brings goes to the follower first (ClockFollower::Receive).
  ClockFollower& Follower() { return follower_; }
  // UI thread. On: rows fall on the master's clocks and its Start (from the top), Continue, Stop and
  // Song Position Pointer drive the transport; Play waits for the next clock. Off: the internal
  // clock again. Playback stops either way. Tempo cells are ignored while following.
  void SetFollowing(bool on);
  bool Following() const { return following_.load(); }

 private:
  // The row period at the song's tempo, on the open output's clock (MidiOutput::ClockRatio).
  RowPeriod Period() const;
  void PlayChannel(int channel, int firstTrack, int endTrack, int& shortest, MidiTime when);
  void Advance(int shortest);
  enum class Transport { Stopped, Paused, Running };
  void BeginTransport();        // UI thread, before the clock starts
  // UI thread, after the clock has stopped; what the outputs hold for after `after` is withdrawn.
  void Halt(Transport state, MidiTime after = SendNow);
  // One row under the shape lock. `length`: how long the row lasts on a followed clock; zero: at
  // the playing tempo, which also sets the row clock's period.
  void RowLocked(MidiTime when, RowPeriod length);

  // A row's place on the followed clock: `clock` + `part` / `spd` clocks, counted like the
  // follower's clocks (or, stopped, from the next clock to come).
  struct ClockPosition {
    int64_t clock = 0;
    int part = 0;
    int spd = 1;
    double Clocks() const { return double(clock) + double(part) / spd; }
    void Add(int64_t clocks, int parts, int newSpd);  // in parts of 1/newSpd clock
  };
  struct PlayedRow {  // what playing a row changed, to take back if its clock never comes
    MidiTime at;
    ClockPosition position;
    int32_t row, order;
    MidiClockPulses pulses;
    int passes;
  };
  MidiTime FollowStep(MidiTime now);                    // the row clock's step while following
  void Obey(const FollowCommand& command);              // row clock
  void BeginFollowing(int64_t clocks);                  // play from the `clocks`-th clock on
  // Stops following, `clocks` clocks in; rows placed after `after` are taken back.
  void HaltFollowing(Transport state, MidiTime after, int64_t clocks);
  void MoveTo(int sixteenths);                          // a Song Position Pointer
  void StartStepping();                                 // UI thread

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
  // The tempo a tempo cell set since Play; 0: the song's. Written by the row clock and the UI thread.
  std::atomic<int> playingBpm_{0};

  // Following. Written by the UI thread while the row clock is stopped, then by its step.
  ClockFollower follower_;
  std::atomic<bool> following_{false};      // written by the UI thread
  std::atomic<bool> followRunning_{false};  // playing on the master's clocks, or waiting to
  MidiTime runningSince_{};
  ClockPosition nextRow_;       // where the next row falls while running
  ClockPosition waitingPart_;   // stopped: where the next row falls from the next clock on
  std::array<PlayedRow, 8> played_{};  // the last rows played, newest at playedEnd_ - 1
  size_t playedEnd_ = 0, playedCount_ = 0;
};

}  // namespace varnel
