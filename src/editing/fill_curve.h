// The fill: a ramp, a quarter-sine curve or random values written down one column of the pattern,
// typically a controller track (volume swells, pan sweeps, tempo changes).
//
// Threads: UI thread. Cells are written one at a time through the song's cell access, like any
// edit while playing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class TVNSong;

enum class FillMethod { Linear = 0, Sin = 1, OneMinusSin = 2 };  // "Linear", "Sin", "1-Sin"

struct FillSettings {
  static constexpr int MaxValue = 400;  // "From" and "To" run 0..400

  int from = 0;
  int to = 127;
  bool pingPong = false;
  int count = 1;  // "Count": C > 1 repeats the curve C times
  FillMethod method = FillMethod::Linear;
  bool notOverwrite = false;  // "Not overwrite existing": From and To are percentages of the cell
  bool random = false;        // "Use random values"
};

inline constexpr const char* InvalidRangeMessage = "Invalid range";
inline constexpr const char* CountNotNumberMessage = "Count must be a whole number";
inline constexpr const char* RandomRangeMessage = "For random values To must not be below From";

// The "Count" text as a whole number (spaces around it allowed); none for anything else.
std::optional<int> ParseFillCount(std::string_view text);

// Why the settings cannot be filled (From or To outside 0..400, random values with To below
// From), or empty.
std::string CheckFillSettings(const FillSettings& settings);

// Where on the curve row d of n + 1 rows lies (0..n): with a count C > 1 the curve repeats C
// times; ping-pong runs up to the middle and back down.
int FillPosition(int d, int n, int count, bool pingPong);

// The curve at f in 0..1 from `from` to `to`. "Sin" bends upward (fast rise, slow start of a
// fall), "1-Sin" downward.
double FillCurve(FillMethod method, double from, double to, double f);

// Exact halves round down: trunc(value + 0.5 - 0.00000001), never below 0.
int RoundFillValue(double value);

// The largest value a track takes from the fill: 255 on a tempo track, 127 on any other.
int FillLimit(int trackType);

// Returns a random integer in 0..range (range >= 0).
using FillRandom = std::function<int(int range)>;
// A generator seeded from the clock.
FillRandom ClockSeededFillRandom();

// The new values of `current` (one cell per row, at least two) on a track of this type.
std::vector<int> FillValues(const FillSettings& settings, int trackType, const std::vector<int>& current,
                            const FillRandom& random);

// Fills the selected cells (tracks firstTrack..lastTrack, pattern rows firstRow..lastRow of the
// current pattern). A range of more than one track or of a single row, or outside the pattern,
// is refused with InvalidRangeMessage and nothing changes; invalid settings with their
// CheckFillSettings message. Empty when the column was filled. No undo step is kept.
std::string FillSelection(TVNSong& song, int firstTrack, int firstRow, int lastTrack, int lastRow,
                          const FillSettings& settings, const FillRandom& random);

}  // namespace varnel
