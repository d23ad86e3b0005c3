// How exactly the row clock keeps time: plays a 16-channel song through the real engine at row
// periods of 125 ms, 10 ms and 2.5 ms and measures, for every row, how late its first message left
// against the row's deadline. The machine's own floor is measured in the same run by cyclictest at
// the same interval and scheduling policy. Targets: p99 at most 1.5x cyclictest's p99, and a drift
// under 100 us after 10 000 rows. Run it on an otherwise idle machine: other work shows as lateness.
//
//   row_clock_bench [--quick]     (--quick: fewer rows, for a smoke run)
#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/row_clock.h"
#include "song/song.h"

namespace varnel {
namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::nanoseconds;

// Takes the first message of each row and notes how late it is; allocates nothing while playing.
class LatenessOutput final : public MidiOutput {
 public:
  explicit LatenessOutput(size_t rows) { lateness_.resize(rows); }
  void Send(const ShortMessage&, MidiTime when) override {
    if (when == SendNow || when == lastRow_) return;
    lastRow_ = when;
    const size_t row = count_.load();
    if (row < lateness_.size()) {
      lateness_[row] = MidiClock::now() - when;
      count_.store(row + 1);
    }
  }
  size_t Count() const { return count_.load(); }
  const std::vector<nanoseconds>& Lateness() const { return lateness_; }

 private:
  std::vector<nanoseconds> lateness_;
  std::atomic<size_t> count_{0};
  MidiTime lastRow_{};
};

class BenchBackend final : public MidiBackend {
 public:
  explicit BenchBackend(size_t rows) : rows_(rows) {}
  std::vector<std::string> OutputNames() override { return {}; }
  std::vector<std::string> InputNames() override { return {}; }
  std::unique_ptr<MidiOutput> OpenOutput(int, int& result) override {
    result = 0;
    auto output = std::make_unique<LatenessOutput>(rows_);
    output_ = output.get();
    return output;
  }
  std::unique_ptr<MidiInput> OpenInput(int, MidiInputHandler, int& result) override {
    result = 2;
    return nullptr;
  }
  LatenessOutput* output_ = nullptr;

 private:
  size_t rows_;
};

struct Figures {
  double medianUs = 0, p99Us = 0, maxUs = 0;
};

Figures Summarise(std::vector<double> us) {
  Figures f;
  if (us.empty()) return f;
  std::sort(us.begin(), us.end());
  f.medianUs = us[us.size() / 2];
  f.p99Us = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  f.maxUs = us.back();
  return f;
}

struct ClockRun {
  Figures figures;
  double driftUs = 0;
  bool realTime = false;
};

ClockRun PlayRows(int bpm, int spd, size_t rows) {
  TVNSong song;
  song.Reset(16, 64, true);
  for (int t = 0; t < 16; ++t)
    for (int r = 0; r < 64; ++r) song.StoreCell(0, t, r, 36 + (t * 5 + r) % 60);
  song.BPM = uint8_t(bpm);
  song.SPD = uint8_t(spd);
  BenchBackend backend(rows);
  MidiDevices devices(backend, song);
  devices.OpenMidiOut(-1);
  ThreadRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  engine.StartPlayTimer();
  const auto period = RowPeriodFor(bpm, spd);
  while (backend.output_->Count() < rows) std::this_thread::sleep_for(period);
  ClockRun run;
  run.realTime = clock.RealTime();
  engine.Stop();

  std::vector<double> us;
  for (auto late : backend.output_->Lateness()) us.push_back(double(late.count()) / 1000.0);
  run.figures = Summarise(us);
  // Drift: how much later the last rows come than the first ones (medians of 50, so one late wake-up
  // does not count as drift). Deadlines are absolute, so this stays near zero however long it plays.
  const size_t n = std::min<size_t>(50, us.size() / 2);
  const std::vector<double> first(us.begin(), us.begin() + long(n)), last(us.end() - long(n), us.end());
  run.driftUs = Summarise(last).medianUs - Summarise(first).medianUs;
  return run;
}

// cyclictest's histogram (one line "latency count" per microsecond) at the same interval.
Figures Cyclictest(long intervalUs, size_t loops, bool realTime, bool& ran) {
  const std::string policy = realTime ? "-p80" : "-p0 --policy=other";
  const std::string command = "cyclictest -q -t1 " + policy + " -i" + std::to_string(intervalUs) + " -l" +
                              std::to_string(loops) + " -h 20000 2>/dev/null";
  std::vector<double> us;
  ran = false;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
      long latency = 0, count = 0;
      if (line[0] == '#' || std::sscanf(line, "%ld %ld", &latency, &count) != 2) continue;
      us.insert(us.end(), size_t(count), double(latency));
    }
    ran = pclose(pipe) == 0 && !us.empty();
  }
  return Summarise(us);
}

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
  using namespace varnel;
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  struct Case {
    const char* name;
    int bpm, spd;
    size_t rows;
  };
  const Case cases[] = {
      {"125 ms", 120, 4, quick ? 8u : 160u},
      {"10 ms", 250, 24, quick ? 100u : 1000u},
      {"2.5 ms", 250, 96, quick ? 400u : 10000u},
  };
  std::printf("%-8s %7s %10s %10s %10s | %10s %10s %10s | %9s %5s  %s\n", "period", "rows", "median us", "p99 us",
              "max us", "cyc med", "cyc p99", "cyc max", "drift us", "prio", "targets");
  for (const Case& c : cases) {
    const ClockRun run = PlayRows(c.bpm, c.spd, c.rows);
    bool ran = false;
    const long intervalUs = long(RowPeriodFor(c.bpm, c.spd).count() / 1000);
    const Figures floor = Cyclictest(intervalUs, std::min<size_t>(c.rows, 4000), run.realTime, ran);
    const bool p99ok = !ran || run.figures.p99Us <= 1.5 * floor.p99Us;
    const bool driftOk = std::abs(run.driftUs) < 100.0;
    std::printf("%-8s %7zu %10.1f %10.1f %10.1f | %10.1f %10.1f %10.1f | %9.1f %5s  p99 %s (ratio %.2f), drift %s\n",
                c.name, c.rows, run.figures.medianUs, run.figures.p99Us, run.figures.maxUs, floor.medianUs,
                floor.p99Us, floor.maxUs, run.driftUs, run.realTime ? "FIFO" : "other",
                ran ? (p99ok ? "PASS" : "FAIL") : "n/a (no cyclictest)",
                ran && floor.p99Us > 0 ? run.figures.p99Us / floor.p99Us : 0.0,
                c.rows >= 10000 ? (driftOk ? "PASS" : "FAIL") : "(target at 10 000 rows)");
  }
  return 0;
}
