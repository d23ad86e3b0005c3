#include "devices/jack_midi_backend.h"

#include "devices/device_results.h"

#if defined(VARNEL_HAVE_JACK)

#include <jack/midiport.h>
#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "devices/device_log.h"
#include "devices/jack_server.h"
#include "devices/jack_time.h"
#include "midi/spsc_ring.h"
#include "song/reporter.h"

namespace varnel {

namespace {

constexpr const char* ClientName = "Varnel";

// What an output and an input share: a client of the current server with one MIDI port.
struct PortClient : JackClientWatch {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  std::string server = CurrentJackServer();
  std::string other;  // the port connected to, if any
  double sampleRate = 0;

  // UI thread: its server stopped, or the port it was connected to has gone.
  std::string Lost() const {
    if (dead) return "the JACK server has stopped";
    if (!other.empty() && !jack_port_by_name(client, other.c_str())) return "its port has gone";
    return "";
  }

  // Opens the client and registers the port, once `other` (a port's full name, unless null) is
  // found. A code of device_results.h; on failure nothing is left open.
  int Open(const char* other, const char* portName, unsigned long flags) {
    QuietDeviceLibraries();
    if (other) this->other = other;
    client = OpenJackClient(ClientName, server);
    if (!client) return DeviceNoDriver;
    int result = DeviceOk;
    if (other && !jack_port_by_name(client, other)) result = DeviceBadId;
    else if (!(port = jack_port_register(client, portName, JACK_DEFAULT_MIDI_TYPE, flags, 0))) result = DeviceOpenFailed;
    else sampleRate = jack_get_sample_rate(client);
    if (result != DeviceOk) Close();
    return result;
  }
  // Before the client is handed over: closes it after a failed start.
  void Close() {
    jack_deactivate(client);
    jack_client_close(client);
    client = nullptr;
  }
};

}  // namespace

std::optional<std::vector<std::string>> JackMidiPorts(bool destinations) {
  QuietDeviceLibraries();
  jack_client_t* client = OpenJackClient(ClientName, CurrentJackServer());
  if (!client) return std::nullopt;
  std::vector<std::string> names;
  if (const char** ports =
          jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, destinations ? JackPortIsInput : JackPortIsOutput)) {
    for (const char** port = ports; *port; ++port) names.emplace_back(*port);
    jack_free(ports);
  }
  jack_client_close(client);
  return names;
}

// ---- Output ----

struct JackMidiOutput::Client : PortClient {
  TimedMessageQueue queue{4096};
  std::atomic<int64_t> latencyOffsetNs{0};
  std::atomic<uint64_t> cycles{0};
  std::atomic<bool> idle{true};  // the last cycle left nothing pending
  JackFrameClock frameClock;       // process callback only
  JackWakeLateness lateness;       // likewise
  std::atomic<double> ratio{1.0};  // its rate, for the senders (MidiOutput::ClockRatio)
  // A new connection carries data only from a later cycle: until then what is due stays queued
  // (a device chosen just before Play would lose its channel setup and first notes).
  std::atomic<bool> awaitingConnection{false};

  static int Process(jack_nframes_t frames, void* arg) { return static_cast<Client*>(arg)->Run(frames); }

  int Run(jack_nframes_t frames) {
    const int64_t wakeNs = ToNs(MidiClock::now());
    void* buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    queue.Collect();
    frameClock.Update(lateness.Adjust(client, wakeNs), jack_last_frame_time(client), frames, sampleRate);
    ratio.store(frameClock.Ratio(sampleRate), std::memory_order_relaxed);
    if (awaitingConnection.load(std::memory_order_relaxed) && jack_port_connected(port) > 0)
      awaitingConnection.store(false, std::memory_order_relaxed);
    if (!queue.Empty() && frameClock.Ready() && !awaitingConnection.load(std::memory_order_relaxed)) {
      JackCycle cycle;
      cycle.startNs = frameClock.TimeOf(jack_last_frame_time(client));
      cycle.framesPerNs = frameClock.FramesPerNs();
      cycle.frames = frames;
      // One period of latency: a message due at the start of this cycle goes at the next cycle's
      // start, which is where a message whose time has just passed lands.
      uint32_t last = 0;
      while (!queue.Empty()) {
        const TimedMessage& next = queue.Front();
        const double position = cycle.Position(next.timeNs) + frames;
        if (position >= double(frames) - 0.5) break;  // a later cycle's
        uint32_t offset = position <= 0 ? 0 : uint32_t(std::lround(position));
        if (offset < last) offset = last;  // late ones go as soon as possible, in order
        if (jack_midi_event_write(buffer, offset, next.message.bytes, next.message.size) != 0) break;  // full
        last = offset;
        queue.PopFront();
      }
    }
    idle.store(queue.Empty(), std::memory_order_relaxed);
    cycles.fetch_add(1, std::memory_order_release);
    return 0;
  }
};

JackMidiOutput::JackMidiOutput(std::unique_ptr<Client> client) : client_(std::move(client)) {}

std::unique_ptr<JackMidiOutput> JackMidiOutput::Open(const std::string& target, const std::string& portName,
                                                     int& result, std::shared_ptr<DeviceNews> news) {
  auto c = std::make_unique<Client>();
  c->news = std::move(news);
  result = c->Open(target.empty() ? nullptr : target.c_str(), portName.c_str(), JackPortIsOutput);
  if (result != DeviceOk) return nullptr;
  jack_set_process_callback(c->client, &Client::Process, c.get());
  c->Watch(c->client);
  c->awaitingConnection = !target.empty();
  if (jack_activate(c->client) != 0 ||
      (!target.empty() && !ConnectJackPorts(c->client, jack_port_name(c->port), target.c_str()))) {
    c->Close();
    result = DeviceOpenFailed;
    return nullptr;
  }
  return std::unique_ptr<JackMidiOutput>(new JackMidiOutput(std::move(c)));
}

JackMidiOutput::~JackMidiOutput() {
  // What was sent last (the note-offs of a close) should reach the port: wait a few cycles for
  // the queue to empty, but never long; messages meant for much later are dropped.
  if (!client_->dead) {
    const auto until = MidiClock::now() + std::chrono::milliseconds(250);
    const uint64_t start = client_->cycles.load(std::memory_order_acquire);
    while (MidiClock::now() < until && !client_->dead) {
      const uint64_t cycles = client_->cycles.load(std::memory_order_acquire);
      if (cycles >= start + 2 && client_->idle.load(std::memory_order_relaxed)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  CloseJackClient(client_);
}

void JackMidiOutput::Send(const ShortMessage& message, MidiTime when) {
  if (message.size == 0 || message.size > 3) return;
  client_->queue.Push(message, when, std::chrono::nanoseconds(client_->latencyOffsetNs.load(std::memory_order_relaxed)));
}

std::chrono::nanoseconds JackMidiOutput::Lead() const {
  const int64_t offset = client_->latencyOffsetNs.load(std::memory_order_relaxed);
  return JackScheduleMargin + std::chrono::nanoseconds(offset < 0 ? -offset : 0);
}

void JackMidiOutput::SetLatencyOffset(std::chrono::nanoseconds offset) {
  client_->latencyOffsetNs.store(offset.count(), std::memory_order_relaxed);
}

void JackMidiOutput::CancelAfter(MidiTime after) {
  client_->queue.CancelAfter(after, std::chrono::nanoseconds(client_->latencyOffsetNs.load(std::memory_order_relaxed)));
}

double JackMidiOutput::ClockRatio() const { return client_->ratio.load(std::memory_order_relaxed); }

std::string JackMidiOutput::PortName() const { return client_->dead ? "" : jack_port_name(client_->port); }

std::string JackMidiOutput::Lost() const { return client_->Lost(); }

// ---- Input ----

struct JackMidiInput::Client : PortClient {
  struct Item {
    int64_t timeNs;
    ShortMessage message;
  };
  SpscRing<Item> ring{2048};
  sem_t ready{};
  std::atomic<bool> quit{false};
  JackFrameClock frameClock;  // process callback only
  JackWakeLateness lateness;  // likewise
  TimedMidiInputHandler handler;
  std::thread delivery;

  static int Process(jack_nframes_t frames, void* arg) { return static_cast<Client*>(arg)->Run(frames); }

  int Run(jack_nframes_t frames) {
    // Frames become times as the outputs make them, so that a message answered at the time of its
    // arrival lands at the frame it arrived on.
    frameClock.Update(lateness.Adjust(client, ToNs(MidiClock::now())), jack_last_frame_time(client), frames, sampleRate);
    void* buffer = jack_port_get_buffer(port, frames);
    const uint32_t count = jack_midi_get_event_count(buffer);
    if (count == 0) return 0;
    JackCycle cycle;
    const bool timed = frameClock.Ready();
    cycle.startNs = frameClock.TimeOf(jack_last_frame_time(client));
    cycle.framesPerNs = frameClock.FramesPerNs();
    cycle.frames = frames;
    bool any = false;
    for (uint32_t i = 0; i < count; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0) continue;
      // Short messages only: system exclusive never fits one.
      if (event.size < 1 || event.size > 3 || event.buffer[0] < 0x80 || event.buffer[0] == 0xF0 || event.buffer[0] == 0xF7)
        continue;
      Item item{};
      item.message.size = uint8_t(event.size);
      for (size_t b = 0; b < event.size; ++b) item.message.bytes[b] = event.buffer[b];
      // The frames of this cycle's input arrived during the period before it.
      item.timeNs = timed ? cycle.Time(double(event.time) - double(frames)) : 0;
      any = ring.Push(item) || any;
    }
    if (any) sem_post(&ready);
    return 0;
  }

  void Deliver() {
    for (;;) {
      while (sem_wait(&ready) != 0 && errno == EINTR) {
      }
      if (quit.load()) return;
      Item item;
      while (ring.Pop(item)) {
        try {
          handler(item.message, item.timeNs ? FromNs(item.timeNs) : MidiClock::now());
        } catch (const std::exception& e) {
          Trace("MIDI input handler: ", e.what());
        }
      }
    }
  }
};

JackMidiInput::JackMidiInput(std::unique_ptr<Client> client) : client_(std::move(client)) {}

std::unique_ptr<JackMidiInput> JackMidiInput::Open(const std::string& source, TimedMidiInputHandler handler,
                                                   int& result, std::shared_ptr<DeviceNews> news) {
  auto c = std::make_unique<Client>();
  c->handler = std::move(handler);
  c->news = std::move(news);
  result = c->Open(source.c_str(), "in", JackPortIsInput);
  if (result != DeviceOk) return nullptr;
  auto fail = [&] {
    c->Close();
    result = DeviceOpenFailed;
    return nullptr;
  };
  if (sem_init(&c->ready, 0, 0) != 0) return fail();
  try {
    c->delivery = std::thread([client = c.get()] { client->Deliver(); });
  } catch (const std::system_error&) {
    sem_destroy(&c->ready);
    return fail();
  }
  auto input = std::unique_ptr<JackMidiInput>(new JackMidiInput(std::move(c)));
  Client& client = *input->client_;
  jack_set_process_callback(client.client, &Client::Process, &client);
  client.Watch(client.client);
  if (jack_activate(client.client) != 0) {
    result = DeviceOpenFailed;
    return nullptr;  // the destructor stops the thread and closes the client
  }
  if (!ConnectJackPorts(client.client, source.c_str(), jack_port_name(client.port))) {
    result = DeviceOpenFailed;
    return nullptr;
  }
  result = DeviceOk;
  return input;
}

JackMidiInput::~JackMidiInput() {
  // No process callback may run once the delivery thread has gone.
  if (!client_->dead) jack_deactivate(client_->client);
  client_->quit = true;
  sem_post(&client_->ready);
  client_->delivery.join();
  sem_destroy(&client_->ready);
  CloseJackClient(client_);
}

std::string JackMidiInput::Lost() const { return client_->Lost(); }

}  // namespace varnel

#else  // no JACK in this build

namespace varnel {

struct JackMidiOutput::Client {};
struct JackMidiInput::Client {};

std::optional<std::vector<std::string>> JackMidiPorts(bool) { return std::nullopt; }

JackMidiOutput::JackMidiOutput(std::unique_ptr<Client> client) : client_(std::move(client)) {}
JackMidiOutput::~JackMidiOutput() = default;
std::unique_ptr<JackMidiOutput> JackMidiOutput::Open(const std::string&, const std::string&, int& result,
                                                     std::shared_ptr<DeviceNews>) {
  result = DeviceNoDriver;
  return nullptr;
}
std::string JackMidiOutput::Lost() const { return ""; }
std::string JackMidiInput::Lost() const { return ""; }
void JackMidiOutput::Send(const ShortMessage&, MidiTime) {}
std::chrono::nanoseconds JackMidiOutput::Lead() const { return {}; }
void JackMidiOutput::SetLatencyOffset(std::chrono::nanoseconds) {}
void JackMidiOutput::CancelAfter(MidiTime) {}
double JackMidiOutput::ClockRatio() const { return 1.0; }
std::string JackMidiOutput::PortName() const { return ""; }

JackMidiInput::JackMidiInput(std::unique_ptr<Client> client) : client_(std::move(client)) {}
JackMidiInput::~JackMidiInput() = default;
std::unique_ptr<JackMidiInput> JackMidiInput::Open(const std::string&, TimedMidiInputHandler, int& result,
                                                   std::shared_ptr<DeviceNews>) {
  result = DeviceNoDriver;
  return nullptr;
}

}  // namespace varnel

#endif
