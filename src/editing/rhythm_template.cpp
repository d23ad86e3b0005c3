#include "editing/rhythm_template.h"

#include <algorithm>
#include <charconv>

#include "song/song_types.h"

namespace varnel {

const std::vector<std::string>& RhythmTemplate::Presets() {
  static const std::vector<std::string> presets = {
      "Select", "0-1-2", "0-1-3-4-6-7-9-10-12-14", "0-2-4-6-7", "0-2-4-7-10-12", "0-3-6", "0-3-6-9-12-14",
      "0-4-8-11-14", "1-3-6", "2-6-10-14-15"};
  return presets;
}

void RhythmTemplate::SetLength(int rows) { length_ = std::clamp(rows, 1, MaxRows); }

int RhythmTemplate::Row(int row) const { return row >= 0 && row < MaxRows ? int(rows_[size_t(row)]) : int(Empty); }

void RhythmTemplate::SetRow(int row, int mark) {
  if (row >= 0 && row < MaxRows && mark >= Empty && mark <= NoteOff) rows_[size_t(row)] = uint8_t(mark);
}

bool RhythmTemplate::HasStop() const {
  return std::any_of(rows_.begin(), rows_.begin() + length_, [](uint8_t m) { return m == Stop; });
}

bool RhythmTemplate::ApplyPreset(std::string_view text) {
  std::vector<int> numbers;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('-', start), text.size());
    int n = -1;
    const auto [next, error] = std::from_chars(text.data() + start, text.data() + end, n);
    if (error != std::errc() || next != text.data() + end || n < 0 || n >= MaxRows) return false;
    numbers.push_back(n);
    start = end + 1;
  }
  if (numbers.empty()) return false;
  const int last = numbers.back();
  int block = 64;
  for (int b : {4, 8, 16, 32})
    if (last < b) {
      block = b;
      break;
    }
  std::fill(rows_.begin(), rows_.begin() + length_, Empty);
  for (int offset = 0; offset < length_; offset += block)
    for (int n : numbers) SetRow(offset + n, Stop);  // rows past the length stay hidden
  return true;
}

void RhythmTemplate::LoadFromTrack(std::span<const int> cells, int trackType) {
  const int rows = std::min<int>(int(cells.size()), MaxRows);
  for (int i = 0; i < rows; ++i) {
    const int v = cells[size_t(i)];
    if (trackType == ttTempo) {
      SetRow(i, v == 0 ? Empty : Stop);
    } else if (v >= 0 && v < CellEmpty) {
      SetRow(i, Stop);
    } else if (v == CellNoteOff) {
      SetRow(i, NoteOff);
    } else if (v == CellEmpty) {
      SetRow(i, Empty);
    }
  }
  if (rows == 0) return;
  SetLength(rows);
  for (int k = 0; k < 2 && length_ > 1 && CanPack(); ++k) SetLength(length_ / 2);
}

bool RhythmTemplate::CanPack() const {
  const int h = length_ / 2;
  return std::equal(rows_.begin(), rows_.begin() + h, rows_.begin() + h);
}

std::string RhythmTemplate::Expand(int factor) {
  if (factor != 2 && factor != 3) return {};
  if (length_ * factor > MaxRows)
    return "Cannot expand template, rows > " + std::to_string(MaxRows / factor);
  for (int i = length_ - 1; i >= 0; --i) {
    const uint8_t mark = rows_[size_t(i)];
    for (int j = 1; j < factor; ++j) rows_[size_t(i * factor + j)] = Empty;
    rows_[size_t(i * factor)] = mark;
  }
  length_ *= factor;
  return {};
}

std::string RhythmTemplate::Shrink(int divisor) {
  if (divisor < 2 || divisor > 4) return {};
  const int n = length_ / divisor;
  if (n == 0) return "Cannot shrink template, rows < 1";
  for (int i = 0; i < n; ++i) {
    uint8_t mark = Empty;
    for (int j = 0; j < divisor && mark == Empty; ++j) mark = rows_[size_t(i * divisor + j)];
    rows_[size_t(i)] = mark;
  }
  std::fill(rows_.begin() + n, rows_.end(), Empty);
  length_ = n;
  return {};
}

RhythmTemplate::Advance RhythmTemplate::GetNextAdd(int row, int patternRows) const {
  Advance result;
  if (row < 0 || !HasStop()) return result;
  const int length = length_, b = row % length;
  std::vector<int> passed;
  // Offsets from the cursor: the rest of this repetition, then the whole of the next one.
  for (int offset = 1; offset < 2 * length; ++offset) {
    const uint8_t mark = rows_[size_t((b + offset) % length)];
    if (mark == Stop) {
      result.step = offset;
      break;
    }
    // Rows beyond one turn of the pattern would be the cursor's own or passed twice.
    if (mark == NoteOff && offset < patternRows) passed.push_back((row + offset) % patternRows);
  }
  if (result.step > 0) result.noteOffRows = std::move(passed);
  return result;
}

}  // namespace varnel
