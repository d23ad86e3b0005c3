#include "editing/fill_curve.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>

#include "song/song.h"

namespace varnel {

std::optional<int> ParseFillCount(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return count;
}

std::string CheckFillSettings(const FillSettings& s) {
  const auto inRange = [](int v) { return v >= 0 && v <= FillSettings::MaxValue; };
  if (!inRange(s.from) || !inRange(s.to)) return "From and To must be 0..400";
  if (s.random && s.to < s.from) return RandomRangeMessage;
  return {};
}

int FillPosition(int d, int n, int count, bool pingPong) {
  if (n <= 0) return 0;
  long long a = d;
  if (count > 1) {
    a = static_cast<long long>(d) * count;
    if (a > n) a = (a - 1) % n + 1;  // as often taking n away as it stays above n
  }
  if (pingPong) a = 2 * a <= n ? 2 * a : 2LL * n - 2 * a;
  return int(a);
}

double FillCurve(FillMethod method, double from, double to, double f) {
  constexpr double quarter = std::numbers::pi / 2;
  if (method == FillMethod::Linear) return (1 - f) * from + f * to;
  const bool bendsUp = method == FillMethod::Sin ? from <= to : from >= to;
  if (bendsUp) return from * (1 - std::sin(f * quarter)) + to * std::sin(f * quarter);
  return from * std::sin((1 - f) * quarter) + to * (1 - std::sin((1 - f) * quarter));
}

int RoundFillValue(double value) { return std::max(0, int(std::trunc(value + 0.5 - 0.00000001))); }

int FillLimit(int trackType) { return trackType == ttTempo ? 255 : 127; }

FillRandom ClockSeededFillRandom() {
  auto engine = std::make_shared<std::mt19937>(
      static_cast<std::mt19937::result_type>(std::chrono::steady_clock::now().time_since_epoch().count()));
  return [engine](int range) { return std::uniform_int_distribution<int>(0, std::max(range, 0))(*engine); };
}

std::vector<int> FillValues(const FillSettings& s, int trackType, const std::vector<int>& current,
                            const FillRandom& random) {
  const int n = int(current.size()) - 1;
  std::vector<int> values(current.size());
  for (int d = 0; d <= n && n >= 1; ++d) {
    const double f = double(FillPosition(d, n, s.count, s.pingPong)) / n;
    double value = FillCurve(s.method, s.from, s.to, f);
    if (s.notOverwrite) value = current[size_t(d)] * value / 100;
    if (s.random) value = s.from + (random ? std::clamp(random(s.to - s.from), 0, s.to - s.from) : 0);
    value = std::min(value, double(FillLimit(trackType)));
    values[size_t(d)] = RoundFillValue(value);
  }
  return values;
}

std::string FillSelection(TVNSong& song, int firstTrack, int firstRow, int lastTrack, int lastRow,
                          const FillSettings& settings, const FillRandom& random) {
  if (firstTrack != lastTrack || firstTrack < 0 || firstTrack >= song.TracksCount() || firstRow < 0 ||
      lastRow <= firstRow || lastRow > song.GetLastRow())
    return InvalidRangeMessage;
  if (std::string problem = CheckFillSettings(settings); !problem.empty()) return problem;
  std::vector<int> current;
  for (int r = firstRow; r <= lastRow; ++r) current.push_back(song.GetCellData(firstTrack, r));
  const std::vector<int> values = FillValues(settings, song.GetTrackType(firstTrack), current, random);
  for (int r = firstRow; r <= lastRow; ++r) song.SetCellData(firstTrack, r, values[size_t(r - firstRow)]);
  return {};
}

}  // namespace varnel
