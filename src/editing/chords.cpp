#include "editing/chords.h"

namespace varnel {
namespace {

struct ChordBox {
  const char* caption;
  int inScale;     // interval when the scale step (below) is in the scale
  int outOfScale;  // interval otherwise
  int scaleStep;   // semitone above the chord's root looked up in the scale; 0 = fixed interval
};

constexpr ChordBox Boxes[ChordBoxCount] = {
    {"3  - E3", 3, 4, 3},   {"5 - G3", 7, 6, 7},    {"8 - C4", 12, 12, 0},  {"10 - E4", 15, 16, 3},
    {"12 - G4", 19, 18, 7}, {"15 - C5", 24, 24, 0}, {"22 - C6", 36, 36, 0},
};

}  // namespace

bool InScale(int semitone, int keyType) {
  if (semitone < 0 || semitone >= 24 || keyType < 0 || keyType > 1) return false;
  return ScaleTable[size_t(semitone)][size_t(keyType)];
}

std::string ChordBoxCaption(int box) { return box >= 0 && box < ChordBoxCount ? Boxes[box].caption : ""; }

int ChordInterval(int box, int offset, int keyTone, int keyType) {
  if (box < 0 || box >= ChordBoxCount) return 0;
  const ChordBox& b = Boxes[box];
  if (b.scaleStep == 0) return b.inScale;
  // ((x % 12) + 12) % 12 keeps s in 0..11 for any offset and key tone.
  const int s = ((offset - keyTone) % 12 + 12) % 12;
  return InScale(s + b.scaleStep, keyType) ? b.inScale : b.outOfScale;
}

std::vector<int> ChordIntervals(int offset, int keyTone, int keyType, ChordBoxes checked) {
  std::vector<int> intervals;
  for (int box = 0; box < ChordBoxCount; ++box)
    if (checked[size_t(box)]) intervals.push_back(ChordInterval(box, offset, keyTone, keyType));
  return intervals;
}

std::vector<ChordNote> ChordNotes(int base, int offset, int keyTone, int keyType, ChordBoxes checked) {
  std::vector<ChordNote> notes;
  int slot = 0;
  for (int interval : ChordIntervals(offset, keyTone, keyType, checked)) notes.push_back({++slot, base + interval});
  return notes;
}

}  // namespace varnel
