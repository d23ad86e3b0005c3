#include "clock_source.h"

#include <jack/midiport.h>

namespace varnel::bench {

std::unique_ptr<ClockSource> ClockSource::Open(const std::string& clientName) {
  auto source = std::unique_ptr<ClockSource>(new ClockSource);
  jack_status_t status{};
  source->client_ = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
  if (!source->client_) return nullptr;
  source->clock_ = jack_port_register(source->client_, "clock", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  source->beat_ = jack_port_register(source->client_, "beat", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(source->client_, &ClockSource::Process, source.get());
  if (!source->clock_ || !source->beat_ || jack_activate(source->client_) != 0) return nullptr;
  return source;
}

ClockSource::~ClockSource() {
  if (!client_) return;
  jack_deactivate(client_);
  jack_client_close(client_);
}

std::string ClockSource::ClockPort() const { return jack_port_name(clock_); }
std::string ClockSource::BeatPort() const { return jack_port_name(beat_); }

bool ClockSource::ConnectBeat(const std::string& destination) {
  return jack_connect(client_, jack_port_name(beat_), destination.c_str()) == 0;
}

void ClockSource::Play(const ClockSchedule* schedule) {
  finished_.store(false, std::memory_order_release);
  schedule_.store(schedule, std::memory_order_release);
}

int ClockSource::Process(jack_nframes_t frames, void* arg) { return static_cast<ClockSource*>(arg)->Run(frames); }

int ClockSource::Run(jack_nframes_t frames) {
  void* clockBuffer = jack_port_get_buffer(clock_, frames);
  void* beatBuffer = jack_port_get_buffer(beat_, frames);
  jack_midi_clear_buffer(clockBuffer);
  jack_midi_clear_buffer(beatBuffer);
  const jack_nframes_t now = jack_last_frame_time(client_);
  if (const ClockSchedule* s = schedule_.exchange(nullptr, std::memory_order_acq_rel)) {
    playing_ = s;
    base_ = now + 4 * frames;
    nextClock_ = nextBeat_ = 0;
    started_ = stopped_ = false;
  }
  if (!playing_) return 0;
  const ClockSchedule& s = *playing_;
  // Frames of this cycle, counted from the schedule's start (wraps with JACK's 32-bit frame count).
  const int64_t first = int64_t(int32_t(now - base_));
  const int64_t end = first + frames;
  auto write = [&](void* buffer, int64_t at, uint8_t status, uint8_t data1, uint8_t data2, size_t size) {
    const uint8_t bytes[3] = {status, data1, data2};
    jack_midi_event_write(buffer, jack_nframes_t(at - first), bytes, size);
  };
  // Events of one port go in frame order: Start, clocks and Stop are merged by time.
  for (;;) {
    int64_t at = end;
    int kind = -1;
    if (!started_ && s.start < at) at = s.start, kind = 0;
    if (nextClock_ < s.clocks.size() && s.clocks[nextClock_] < at) at = s.clocks[nextClock_], kind = 1;
    if (!stopped_ && nextClock_ == s.clocks.size() && s.stop < at) at = s.stop, kind = 2;
    if (kind < 0) break;
    const int64_t frame = at < first ? first : at;
    if (kind == 0) write(clockBuffer, frame, 0xFA, 0, 0, 1), started_ = true;
    if (kind == 1) write(clockBuffer, frame, 0xF8, 0, 0, 1), ++nextClock_;
    if (kind == 2) write(clockBuffer, frame, 0xFC, 0, 0, 1), stopped_ = true;
  }
  while (nextBeat_ < s.beats.size() && s.beats[nextBeat_] < end) {
    write(beatBuffer, s.beats[nextBeat_] < first ? first : s.beats[nextBeat_], 0x9F, 0, 0x7F, 3);
    ++nextBeat_;
  }
  if (stopped_ && nextBeat_ == s.beats.size()) {
    playing_ = nullptr;
    finished_.store(true, std::memory_order_release);
  }
  return 0;
}

}  // namespace varnel::bench
