#include "midi/playback.h"

#include <algorithm>
#include <cmath>

#include "midi/midi_devices.h"
#include "song/song.h"

namespace varnel {

namespace {
bool IsSet(int loopMark) { return loopMark > 0; }  // marks hold row + 1; -1 is "not set"
}  // namespace

PlaybackEngine::PlaybackEngine(TVNSong& song, MidiDevices& devices, RowClock& clock)
    : song_(song), devices_(devices), clock_(clock) {
  devices_.SetTempoHandler([this](int bpm, MidiTime when) {
    if (following_) return;  // the master sets the tempo
    playingBpm_ = bpm;
    RestartPlayTimer(when);
  });
  follower_.SetWake([this] { clock_.Wake(); });
}

PlaybackEngine::~PlaybackEngine() {
  devices_.SetTempoHandler(nullptr);
  StopPlayTimer();
  follower_.SetEnabled(false);
  follower_.SetWake(nullptr);
}

double PlaybackEngine::PlayingTempo() const {
  if (following_) return follower_.Tempo(clock_.Now());
  const int bpm = playingBpm_;
  return bpm > 0 ? bpm : int(song_.BPM);
}

void PlaybackEngine::SetTempo(int bpm) {
  song_.BPM = uint8_t(std::clamp(bpm, 1, 255));
  playingBpm_ = 0;  // the tempo a cell set gives way
  RestartPlayTimer();
}

RowPeriod PlaybackEngine::Period() const {
  const int bpm = playingBpm_;
  const RowPeriod period = RowPeriodFor(bpm > 0 ? bpm : int(song_.BPM), song_.SPD);
  const double ratio = devices_.OutputClockRatio();
  if (ratio == 1.0 || !(ratio > 0.9 && ratio < 1.1)) return period;
  return RowPeriod(int64_t(std::llround(double(period.count()) * ratio)));
}

bool PlaybackEngine::StartPlayTimer() {
  {
    std::scoped_lock lock(song_.ShapeLock());  // the row clock reads it while it holds the lock
    held_.resize(size_t(std::max(song_.TracksCount(), 0)));
  }
  if (following_) {
    // Around a structural edit: the step goes on where it was; the master decides the rest.
    if (!clock_.Running()) StartStepping();
    return true;
  }
  const RowPeriod period = Period();
  devices_.PrepareChannels(-1);
  playing_ = true;
  clock_.SetLead(devices_.OutputLead());
  if (clock_.Running()) {
    clock_.SetPeriod(period);
    return true;
  }
  BeginTransport();
  if (!clock_.Start(period, [this](MidiTime deadline) {
        if (playing_ && !stopped_) PlayRow(deadline);
      })) {
    song_.Report().Status("Cannot set the timer", 0);
    return false;
  }
  return true;
}

void PlaybackEngine::StopPlayTimer() {
  clock_.Stop();
  playing_ = false;
}

void PlaybackEngine::RestartPlayTimer(MidiTime when) {
  // The clock keeps running: the new period applies from the next row, and the channel
  // preparation that a restart brings is sent at once.
  if (!playing_ || stopped_ || following_) return;
  devices_.PrepareChannels(-1, when);
  clock_.SetPeriod(Period());
}

void PlaybackEngine::PlayPause() {
  stopped_ = false;
  if (following_) {
    clock_.Stop();
    if (followRunning_) {
      HaltFollowing(Transport::Paused, clock_.Now(), follower_.Clocks());
    } else {
      BeginFollowing(follower_.Clocks());
    }
    StartStepping();
    return;
  }
  if (playing_) {
    StopPlayTimer();
    Halt(Transport::Paused);
    devices_.AllNotesOff(-1);
  } else {
    StartPlayTimer();
  }
}

void PlaybackEngine::Stop() {
  stopped_ = true;
  playingBpm_ = 0;
  if (following_) {
    clock_.Stop();
    HaltFollowing(Transport::Stopped, clock_.Now(), follower_.Clocks());
    waitingPart_ = {};
    Rewind();
    StartStepping();
    return;
  }
  StopPlayTimer();
  Halt(Transport::Stopped);
  devices_.AllNotesOff(-1);
  Rewind();
}

void PlaybackEngine::BeginTransport() {
  midiClock_ = devices_.MidiClockEnabled();
  if (!midiClock_ || transport_ == Transport::Running) {
    // A restart around a structural edit: receivers were told nothing, the clocks simply go on.
    transport_ = midiClock_ ? Transport::Running : Transport::Stopped;
    return;
  }
  const int64_t rows = RowsFromTop(song_);
  const int spd = std::max<int>(song_.SPD, 1);
  if (transport_ == Transport::Paused && rows == pausedAt_) {
    devices_.SendSystem(MidiContinue);  // the clocks go on where they paused
  } else if (rows == 0) {
    devices_.SendSystem(MidiStart);
    pulses_.Reset(0);
  } else {
    const int sixteenths = SongPositionFor(rows, spd);
    devices_.SongPositionPointer(sixteenths);
    devices_.SendSystem(MidiContinue);
    pulses_.Reset(ClockUnitsAfter(rows, spd, sixteenths));
  }
  transport_ = Transport::Running;
}

void PlaybackEngine::Halt(Transport state, MidiTime after) {
  // The row clock runs ahead of timestamping outputs: rows due after this moment are withdrawn.
  devices_.CancelPending(after == SendNow ? MidiClock::now() : after);
  // The all-notes-off that follows ends what the tracks held, through the device layer's ledger.
  {
    std::scoped_lock lock(song_.ShapeLock());
    for (HeldNotes& notes : held_) notes.Clear();
  }
  if (transport_ == Transport::Running && midiClock_) devices_.SendSystem(MidiStop);
  if (transport_ == Transport::Running || state == Transport::Stopped) transport_ = state;
  pausedAt_ = state == Transport::Paused ? RowsFromTop(song_) : -1;
}

void PlaybackEngine::Rewind() {
  song_.PlayingRow = IsSet(song_.PatternLoopStart) ? song_.PatternLoopStart - 1 : 0;
  song_.PlayingOrder = IsSet(song_.OrderLoopStart) ? song_.OrderLoopStart - 1 : 0;
}

void PlaybackEngine::MetronomeClick(MidiTime when) {
  const int spd = std::max<int>(song_.SPD, 1);
  const int row = song_.PlayingRow;
  int note;
  if (row % (4 * spd) == 0) {
    note = 61;
  } else if (row % spd == 0) {
    note = 60;
  } else {
    return;
  }
  devices_.NoteOff(PercussionMidiChannel, note, 100, when);
  devices_.NoteOn(PercussionMidiChannel, note, 100, when);
}

void PlaybackEngine::PlayRow(MidiTime when) {
  if (tickGuard_.exchange(true)) return;
  if (stopped_ || !playing_ || Finished()) {
    tickGuard_ = false;
    return;
  }
  RowLocked(when, RowPeriod{});
  tickGuard_ = false;
}

void PlaybackEngine::RowLocked(MidiTime when, RowPeriod length) {
  {
    std::scoped_lock lock(song_.ShapeLock());
    const bool midiClock = midiClock_.load(std::memory_order_relaxed);
    if (midiClock && pulses_.TakeRowStart(song_.SPD)) devices_.SendSystem(MidiTimingClock, when);
    if (song_.PlayingRow < 0 || song_.PlayingRow >= RowsPerPattern) song_.PlayingRow = 0;
    if (song_.Metronome) MetronomeClick(when);
    int shortest = 255;
    // Tracks are grouped by ascending channel: one walk finds every channel's tracks.
    const int tracks = song_.TracksCount();
    int track = 0;
    for (int channel = 0; channel < song_.ChannelsCount(); ++channel) {
      while (track < tracks && song_.TrackChannel(track) < channel) ++track;
      int end = track;
      while (end < tracks && song_.TrackChannel(end) == channel) ++end;
      PlayChannel(channel, track, end, shortest, when);
      track = end;
    }
    // The clocks up to the next row, at the tempo this row leaves (a tempo cell moves them from here).
    // The row lasts the tempo's period on the output's own clock, which follows its sample clock;
    // on a followed clock, as long as the master's clocks say.
    const RowPeriod period = length > RowPeriod{} ? length : Period();
    if (midiClock) pulses_.Row(when, period, song_.SPD, [&](MidiTime at) { devices_.SendSystem(MidiTimingClock, at); });
    if (length <= RowPeriod{}) clock_.SetPeriod(period);
    song_.LastPlayedRow = song_.PlayingRow;
    song_.LastPlayedOrder = song_.PlayingOrder;
    if (rowPlayed_) rowPlayed_();
    Advance(shortest);
  }
}

void PlaybackEngine::PlayChannel(int channel, int first, int end, int& shortest, MidiTime when) {
  TVNSong& s = song_;
  s.StoreChannelActivity(channel, 0);
  if (!s.ChannelOn(channel)) return;
  int p;
  if (s.SongMode) {
    if (s.PlayingOrder < 0 || s.PlayingOrder >= s.OrderLength()) s.PlayingOrder = 0;
    p = s.Order(channel, s.PlayingOrder);
  } else {
    p = s.CurrentPattern;
  }
  // With "d/a releases" a track may hold several notes: a release ends every one of them.
  auto release = [&](int t) {
    if (size_t(t) < held_.size() && !held_[size_t(t)].Empty()) {
      held_[size_t(t)].Release([&](int midi, int note) { devices_.NoteOff(midi, note, 0, when); });
      return;
    }
    const int owner = s.SoundingChannel(t);
    devices_.NoteOff(s.GetMidiChannel(owner), s.SoundingNote(t), 0, when);
  };
  if (p == OrderNoteOff) {
    for (int t = first; t < end; ++t)
      if (s.TrackType(t) == ttNote) release(t);
    return;
  }
  if (p >= s.PatternsCount()) return;
  shortest = std::min<int>(shortest, s.LastRow(p));
  const int row = s.PlayingRow;

  for (int t = first; t < end; ++t) {
    if (s.TrackType(t) != ttNote) continue;
    const int32_t c = s.CellData(p, t, row);
    if ((c >= 0 && c < 128 && s.GetReleaseMode(s.SoundingChannel(t)) != 255) || c == CellNoteOff) release(t);
  }

  const int midiChannel = s.ChannelParams(channel, TVNSong::ParamMidiChannel);
  const bool holds = s.GetReleaseMode(channel) == 255;
  for (int t = first; t < end; ++t) {
    const int type = s.TrackType(t);
    const int32_t c = s.CellData(p, t, row);
    if (type == ttNote) {
      if (c < 0 || c >= 128) continue;
      int velocity = s.ChannelParams(channel, TVNSong::ParamVelocity);
      if (t + 1 < s.TracksCount() && s.TrackType(t + 1) == ttVelocity) {
        const int32_t v = s.CellData(p, t + 1, row);
        if (v >= 0 && v < 128) velocity = v;  // empty (or no valid velocity): the channel's default
      }
      const int note = c + s.GetTranspose(channel);
      if (note < 0 || note > 127) continue;  // transposed out of the MIDI range: nothing to play
      if (holds && size_t(t) < held_.size() && !held_[size_t(t)].Add(midiChannel, note)) {
        release(t);  // the channel's MIDI channel has changed under the held notes
        held_[size_t(t)].Add(midiChannel, note);
      }
      devices_.NoteOn(midiChannel, note, velocity, when);
      s.StoreChannelActivity(channel, 1);
      s.StoreSoundingNote(t, note);
      s.StoreSoundingChannel(t, channel);
    } else if (type == ttTempo) {
      if (c > 0 && c < 255) devices_.SendChannelEvent(midiChannel, type - 3, c, s.TrackParam(t), when);
    } else if (type >= ttPan && type < ttTempo) {
      if (c >= 0 && c < 128) devices_.SendChannelEvent(midiChannel, type - 3, c, s.TrackParam(t), when);
    }
  }
}

void PlaybackEngine::Advance(int shortest) {
  TVNSong& s = song_;
  const int next = s.PlayingRow + 1;
  const bool wrap = next > shortest || (IsSet(s.PatternLoopEnd) && next >= s.PatternLoopEnd);
  if (!wrap) {
    s.PlayingRow = next;
    return;
  }
  s.PlayingRow = IsSet(s.PatternLoopStart) ? s.PatternLoopStart - 1 : 0;
  if (!s.SongMode) {
    passes_.fetch_add(1);
    return;
  }
  const int order = s.PlayingOrder + 1;
  const bool orderWrap = order >= s.OrderLength() || (IsSet(s.OrderLoopEnd) && order >= s.OrderLoopEnd);
  s.PlayingOrder = orderWrap ? (IsSet(s.OrderLoopStart) ? s.OrderLoopStart - 1 : 0) : order;
  if (orderWrap) passes_.fetch_add(1);
}

void PlaybackEngine::SetPassLimit(int passes) {
  passLimit_ = std::max(passes, 0);
  passes_ = 0;
}

}  // namespace varnel
