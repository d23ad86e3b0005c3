// Following an external MIDI clock. The row clock runs a step instead of a period: it takes the
// master's transport commands in order, and plays each row when the follower can place its clock,
// at that clock's predicted time (a row is 24 / SPD clocks; rows between clocks fall in proportion).
// Rows go out ahead of their time by the output's lead, so a row may be played before the master
// stops; a Stop takes back every row placed after it, and Continue plays them again.
#include <algorithm>
#include <cmath>

#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/timed_queue.h"
#include "song/song.h"

namespace varnel {

void PlaybackEngine::ClockPosition::Add(int64_t clocks, int parts, int newSpd) {
  newSpd = std::max(newSpd, 1);
  if (newSpd != spd) {  // SPD changed: the same place in the new parts, never earlier
    part = (part * newSpd + spd - 1) / spd;
    spd = newSpd;
  }
  part += parts;
  clock += clocks + part / spd;
  part %= spd;
}

void PlaybackEngine::SetFollowing(bool on) {
  if (on == following_) return;
  Stop();
  clock_.Stop();
  playing_ = false;
  following_ = on;
  follower_.SetEnabled(on);
  followRunning_ = false;
  waitingPart_ = {};
  if (on) StartStepping();
}

void PlaybackEngine::StartStepping() {
  playing_ = true;
  if (!clock_.StartStepping([this](MidiTime now) { return FollowStep(now); })) {
    playing_ = false;
    song_.Report().Status("Cannot set the timer", 0);
  }
}

void PlaybackEngine::BeginFollowing(int64_t clocks) {
  nextRow_ = waitingPart_;
  nextRow_.Add(clocks, 0, nextRow_.spd);
  waitingPart_ = {};
  playedCount_ = 0;
  devices_.PrepareChannels(-1);
  BeginTransport();
  runningSince_ = MidiTime{};  // the next step knows the time
  followRunning_ = true;
}

void PlaybackEngine::HaltFollowing(Transport state, MidiTime after, int64_t clocks) {
  // Rows placed after `after` have not sounded (or are withdrawn now): back to the earliest of them.
  while (playedCount_ > 0) {
    const size_t newest = (playedEnd_ + played_.size() - 1) % played_.size();
    const PlayedRow& r = played_[newest];
    if (r.at <= after) break;
    song_.PlayingRow = r.row;
    song_.PlayingOrder = r.order;
    pulses_ = r.pulses;
    passes_ = r.passes;
    nextRow_ = r.position;
    playedEnd_ = newest;
    --playedCount_;
  }
  if (followRunning_) {
    // Where the next row lies from the next clock on; one whose clock has passed comes with it.
    waitingPart_ = nextRow_;
    waitingPart_.clock -= clocks;
    if (waitingPart_.clock < 0) waitingPart_ = {0, 0, nextRow_.spd};
  }
  followRunning_ = false;
  Halt(state, after);
  devices_.AllNotesOff(-1);
}

void PlaybackEngine::MoveTo(int sixteenths) {
  // One beat is 4 sixteenths and SPD rows: the first row at or after the pointer, and where it lies
  // from the pointer's clock (in 1/SPD clocks).
  const int spd = std::max<int>(song_.SPD, 1);
  const int64_t rows = (int64_t(sixteenths) * spd + 3) / 4;
  SetRowsFromTop(song_, rows);
  waitingPart_ = {0, 0, spd};
  waitingPart_.Add(0, int(rows * ClocksPerBeat - int64_t(sixteenths) * 6 * spd), spd);
}

void PlaybackEngine::Obey(const FollowCommand& command) {
  const MidiTime at = FromNs(command.timeNs);
  switch (command.kind) {
    case FollowCommand::Kind::Start:
      if (followRunning_) HaltFollowing(Transport::Paused, at, command.clocks);
      song_.PlayingRow = 0;  // the top of the song, or of the pattern
      song_.PlayingOrder = 0;
      transport_ = Transport::Stopped;  // so receivers of our clock hear Start
      waitingPart_ = {};
      BeginFollowing(command.clocks);
      runningSince_ = at;
      break;
    case FollowCommand::Kind::Continue:
      if (followRunning_) return;
      BeginFollowing(command.clocks);
      runningSince_ = at;
      break;
    case FollowCommand::Kind::Stop:
      if (followRunning_) HaltFollowing(Transport::Paused, at, command.clocks);
      break;
    case FollowCommand::Kind::Position: {
      // Masters send it while stopped; a jump while running stops, moves and goes on.
      const bool running = followRunning_;
      if (running) HaltFollowing(Transport::Paused, at, command.clocks);
      MoveTo(command.sixteenths);
      if (running) {
        BeginFollowing(command.clocks);
        runningSince_ = at;
      }
      break;
    }
  }
}

MidiTime PlaybackEngine::FollowStep(MidiTime now) {
  bool moved = false;
  for (FollowCommand command; follower_.TakeCommand(command);) {
    Obey(command);
    moved = true;
  }
  if (moved && rowPlayed_) rowPlayed_();
  if (!followRunning_ || Finished()) return MidiTime::max();

  const RowPeriod lead = devices_.OutputLead();
  if (runningSince_ == MidiTime{}) {
    // Play without the master's Start: from the first clock that still leaves the output its lead.
    runningSince_ = now;
    for (int skipped = 0; skipped < ClocksPerBeat; ++skipped) {
      ClockPlace place;
      if (!follower_.Place(nextRow_.Clocks(), lead, now, place) || FromNs(place.timeNs) - lead >= now) break;
      nextRow_.Add(1, 0, nextRow_.spd);
    }
  }
  for (;;) {
    ClockPlace place;
    if (!follower_.Place(nextRow_.Clocks(), lead, now, place)) {
      const MidiTime deadline = follower_.Deadline(runningSince_);
      if (now < deadline) return deadline;
      // Two beats without a clock: the master has gone; stop following it and say so.
      HaltFollowing(Transport::Paused, now, follower_.Clocks());
      song_.Report().Status("EXT: no clock", 0);
      if (rowPlayed_) rowPlayed_();
      return MidiTime::max();
    }
    const MidiTime at = FromNs(place.timeNs);
    if (at - lead > now) return at - lead;
    const int spd = std::max<int>(song_.SPD, 1);
    played_[playedEnd_] = {at, nextRow_, song_.PlayingRow, song_.PlayingOrder, pulses_, passes_.load()};
    playedEnd_ = (playedEnd_ + 1) % played_.size();
    playedCount_ = std::min(playedCount_ + 1, played_.size());
    RowLocked(at, RowPeriod(int64_t(std::llround(place.periodNs * ClocksPerBeat / spd))));
    nextRow_.Add(0, ClocksPerBeat, spd);
    if (Finished()) return MidiTime::max();
  }
}

}  // namespace varnel
