// The edit history: every change to the song is one step, undone and redone in order.
//
// A step keeps what it changed, not the song: the cells of a rectangle of one pattern, order
// entries with the lists' length, the small values of SongValues, or (for steps that reshape the
// song) a SongImage whose cell blocks are shared with the other images. Each part of a step holds
// the content the song does not hold right now; undoing or redoing swaps the two, so the same data
// serves both directions and a step costs what it changed.
//
// The history keeps at most a number of steps and of bytes (blocks included); the oldest go first.
// It also knows which position was last saved: the song is unmodified exactly there.
//
// Threads: UI thread. Applying a step that resizes anything holds the song's shape lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "document/song_state.h"

namespace varnel {

class TVNSong;

// Where a step happened, so that undo and redo can show it.
struct EditPlace {
  int grid = 1;  // 1 the pattern grid, 2 the order grid
  bool songView = false;
  int pattern = 0;       // the pattern shown in pattern view
  int order = 0;         // the order position shown in song view
  int col = 1, row = 1;  // the active grid's cursor, in grid coordinates
};

// What a step changed, so that the views refresh what they must.
enum StepTouches : unsigned {
  TouchCells = 1,
  TouchOrders = 2,
  TouchValues = 4,
  TouchShape = 8,
};

// Cells of tracks firstTrack..lastTrack, rows firstRow..lastRow of one pattern, track by track.
struct CellPatch {
  int pattern = 0, firstTrack = 0, lastTrack = -1, firstRow = 0, lastRow = -1;
  std::vector<int32_t> cells;
};

// Entries of channels firstChannel..lastChannel at positions firstPos..lastPos (channel by
// channel; positions past the end read as empty), and the lists' length.
struct OrderPatch {
  int length = 1;
  int firstChannel = 0, lastChannel = -1, firstPos = 0, lastPos = -1;
  std::vector<uint16_t> entries;
};

// These two are large: held apart, so that the many small patches stay small.
struct ValuesPatch {
  std::unique_ptr<SongValues> values;
};

struct ImagePatch {
  std::unique_ptr<SongImage> image;
};

using StepPatch = std::variant<CellPatch, OrderPatch, ValuesPatch, ImagePatch>;

struct HistoryStep {
  std::string name;      // "paste", "transpose", "BPM", ...
  std::string mergeKey;  // a step with the same key may merge into this one
  EditPlace place;
  std::vector<StepPatch> patches;  // in the order they were taken
  unsigned touches = 0;
  size_t bytes = 0;
};

class EditHistory {
 public:
  static constexpr size_t DefaultMaxSteps = 10000;
  static constexpr size_t DefaultMaxBytes = size_t(64) << 20;

  EditHistory() = default;
  EditHistory(const EditHistory&) = delete;
  EditHistory& operator=(const EditHistory&) = delete;

  void SetLimits(size_t maxSteps, size_t maxBytes);
  size_t MaxSteps() const { return maxSteps_; }
  size_t MaxBytes() const { return maxBytes_; }

  bool CanUndo() const { return position_ > 0; }
  bool CanRedo() const { return position_ < steps_.size(); }
  // The step undone or redone (valid until the history changes again), or null.
  const HistoryStep* Undo(TVNSong& song);
  const HistoryStep* Redo(TVNSong& song);

  // Adds a step after the current position; the steps that could have been redone go. With
  // `merge`, a step whose key equals the newest step's (pushed right before, nothing saved,
  // undone or redone since) becomes part of it: the newest step keeps the content from before both.
  void Push(HistoryStep step, bool merge);
  void Clear();

  // The saved state: the current position, or none the history can reach.
  void MarkSaved();
  void MarkUnreachableSaved();
  bool AtSaved() const { return saved_ == base_ + int64_t(position_); }

  size_t Steps() const { return steps_.size(); }
  size_t Position() const { return position_; }
  const HistoryStep& StepAt(size_t index) const { return steps_[index]; }
  // Every byte the history holds: its steps and the blocks their images share.
  size_t Bytes() const { return stepBytes_ + pool_.Bytes(); }
  BlockPool& Pool() { return pool_; }

  static size_t BytesOf(const HistoryStep& step);

 private:
  void Apply(TVNSong& song, HistoryStep& step, bool forward);
  void Trim();

  BlockPool pool_;  // first: the steps' blocks go back to it
  std::deque<HistoryStep> steps_;
  size_t position_ = 0;
  int64_t base_ = 0;   // steps dropped from the front: positions stay comparable with saved_
  int64_t saved_ = 0;  // -1: no reachable state was saved
  size_t stepBytes_ = 0;
  bool mergeable_ = false;
  size_t maxSteps_ = DefaultMaxSteps;
  size_t maxBytes_ = DefaultMaxBytes;
};

// Swaps the patch's content with the song's (undo and redo are both this).
void ApplyPatch(TVNSong& song, CellPatch& patch);
void ApplyPatch(TVNSong& song, OrderPatch& patch);

}  // namespace varnel
