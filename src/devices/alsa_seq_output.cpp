#include "devices/alsa_seq_output.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <thread>

#include "devices/device_log.h"
#include "devices/device_results.h"
#include "midi/timed_queue.h"
#include "song/reporter.h"

#if defined(VARNEL_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif

namespace varnel {

bool ParseAlsaAddress(const std::string& name, int& client, int& port) {
  const size_t blank = name.rfind(' ');
  const std::string address = name.substr(blank == std::string::npos ? 0 : blank + 1);
  const size_t colon = address.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= address.size() || address.size() > 7) return false;
  auto number = [](const std::string& digits, int& value) {
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
      return false;
    value = std::stoi(digits);
    return value <= 255;
  };
  return number(address.substr(0, colon), client) && number(address.substr(colon + 1), port);
}

AlsaSeqOutput::AlsaSeqOutput(std::unique_ptr<AlsaSequencer> sequencer) : sequencer_(std::move(sequencer)) {
  std::scoped_lock lock(mutex_);
  Resync();
}

AlsaSeqOutput::~AlsaSeqOutput() {
  // Closing frees the queue and whatever still waits on it: give the last messages (the note-offs
  // of a close) a moment to go out.
  const auto until = MidiClock::now() + std::chrono::milliseconds(250);
  std::scoped_lock lock(mutex_);
  while (sequencer_->Pending() > 0 && MidiClock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void AlsaSeqOutput::Resync() {
  // The reading that took the least time pins the offset best.
  int64_t span = std::numeric_limits<int64_t>::max();
  for (int i = 0; i < 5; ++i) {
    const int64_t before = ToNs(MidiClock::now());
    const int64_t queue = sequencer_->QueueTimeNs();
    const int64_t after = ToNs(MidiClock::now());
    if (after - before < span) {
      span = after - before;
      anchorNs_ = (before + after) / 2 - queue;
    }
  }
  lastSync_ = MidiClock::now();
}

int64_t AlsaSeqOutput::QueueTime(MidiTime when) {
  const MidiTime now = MidiClock::now();
  if (now - lastSync_ >= ResyncInterval) Resync();
  return std::max<int64_t>(ToNs(when == SendNow ? now : when) + offsetNs_ - anchorNs_, 0);
}

void AlsaSeqOutput::Send(const ShortMessage& message, MidiTime when) {
  if (message.size == 0 || message.size > 3) return;
  std::scoped_lock lock(mutex_);
  if (!sequencer_->Schedule(message, QueueTime(when))) Trace("ALSA sequencer refused a message");
}

std::chrono::nanoseconds AlsaSeqOutput::Lead() const {
  std::scoped_lock lock(mutex_);
  return AlsaScheduleMargin + std::chrono::nanoseconds(offsetNs_ < 0 ? -offsetNs_ : 0);
}

void AlsaSeqOutput::SetLatencyOffset(std::chrono::nanoseconds offset) {
  std::scoped_lock lock(mutex_);
  offsetNs_ = offset.count();
}

void AlsaSeqOutput::CancelAfter(MidiTime after) {
  std::scoped_lock lock(mutex_);
  sequencer_->RemoveAfter(QueueTime(after));
}

std::unique_ptr<MidiOutput> OpenAlsaSeqOutput(const std::string& listedName, int& result) {
  int client = 0, port = 0;
  if (!ParseAlsaAddress(listedName, client, port)) {
    result = DeviceBadId;
    return nullptr;
  }
  auto sequencer = MakeAlsaSequencer();
  if (!sequencer) {
    result = DeviceNoDriver;
    return nullptr;
  }
  result = sequencer->Open(client, port);
  if (result != DeviceOk) return nullptr;
  return std::make_unique<AlsaSeqOutput>(std::move(sequencer));
}

#if defined(VARNEL_HAVE_ALSA)

namespace {

class RealSequencer final : public AlsaSequencer {
 public:
  ~RealSequencer() override {
    if (encoder_) snd_midi_event_free(encoder_);
    if (seq_) snd_seq_close(seq_);  // frees the queue and the port
  }

  int Open(int client, int port) override {
    QuietDeviceLibraries();
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
      seq_ = nullptr;
      return DeviceNoDriver;
    }
    snd_seq_set_client_name(seq_, "Varnel");
    port_ = snd_seq_create_simple_port(seq_, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    queue_ = snd_seq_alloc_named_queue(seq_, "Varnel");
    if (port_ < 0 || queue_ < 0 || snd_midi_event_new(16, &encoder_) < 0) return DeviceOpenFailed;
    if (snd_seq_connect_to(seq_, port_, client, port) < 0) return DeviceBadId;
    if (snd_seq_start_queue(seq_, queue_, nullptr) < 0 || snd_seq_drain_output(seq_) < 0) return DeviceOpenFailed;
    return DeviceOk;
  }

  int64_t QueueTimeNs() override {
    snd_seq_queue_status_t* status;
    snd_seq_queue_status_alloca(&status);
    if (snd_seq_get_queue_status(seq_, queue_, status) < 0) return 0;
    const snd_seq_real_time_t* time = snd_seq_queue_status_get_real_time(status);
    return int64_t(time->tv_sec) * 1'000'000'000 + time->tv_nsec;
  }

  bool Schedule(const ShortMessage& message, int64_t queueNs) override {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_midi_event_reset_encode(encoder_);
    if (snd_midi_event_encode(encoder_, message.bytes, message.size, &event) != long(message.size) ||
        event.type == SND_SEQ_EVENT_NONE)
      return false;
    snd_seq_ev_set_source(&event, port_);
    snd_seq_ev_set_subs(&event);
    snd_seq_real_time_t time{unsigned(queueNs / 1'000'000'000), unsigned(queueNs % 1'000'000'000)};
    snd_seq_ev_schedule_real(&event, queue_, 0, &time);
    return snd_seq_event_output(seq_, &event) >= 0 && snd_seq_drain_output(seq_) >= 0;
  }

  void RemoveAfter(int64_t queueNs) override {
    snd_seq_remove_events_t* remove;
    snd_seq_remove_events_alloca(&remove);
    snd_seq_remove_events_set_queue(remove, queue_);
    snd_seq_remove_events_set_condition(remove, SND_SEQ_REMOVE_OUTPUT | SND_SEQ_REMOVE_TIME_AFTER);
    snd_seq_timestamp_t time{};
    time.time.tv_sec = unsigned(queueNs / 1'000'000'000);
    time.time.tv_nsec = unsigned(queueNs % 1'000'000'000);
    snd_seq_remove_events_set_time(remove, &time);
    snd_seq_remove_events(seq_, remove);
  }

  int Pending() override {
    snd_seq_queue_status_t* status;
    snd_seq_queue_status_alloca(&status);
    if (snd_seq_get_queue_status(seq_, queue_, status) < 0) return 0;
    return snd_seq_queue_status_get_events(status);
  }

 private:
  snd_seq_t* seq_ = nullptr;
  snd_midi_event_t* encoder_ = nullptr;
  int port_ = -1, queue_ = -1;
};

}  // namespace

std::unique_ptr<AlsaSequencer> MakeAlsaSequencer() { return std::make_unique<RealSequencer>(); }

#else

std::unique_ptr<AlsaSequencer> MakeAlsaSequencer() { return nullptr; }

#endif

}  // namespace varnel
