#include "document/song_document.h"

#include <algorithm>
#include <climits>

namespace varnel {

StepScope StepScope::Cells(int firstTrack, int lastTrack, int firstRow, int lastRow) {
  StepScope s;
  s.hasCells = true;
  s.cells = {firstTrack, lastTrack, firstRow, lastRow};
  return s;
}

StepScope StepScope::Orders(int firstChannel, int lastChannel, int firstPosition, int lastPosition) {
  StepScope s;
  s.hasOrders = true;
  s.orders = {firstChannel, lastChannel, firstPosition, lastPosition};
  return s;
}

StepScope StepScope::Shape() {
  StepScope s;
  s.shape = true;
  return s;
}

StepScope& StepScope::And(const StepScope& other) {
  if (other.hasCells) {
    hasCells = true;
    cells = other.cells;
  }
  if (other.hasOrders) {
    hasOrders = true;
    orders = other.orders;
  }
  shape = shape || other.shape;
  return *this;
}

struct SongDocument::OpenStep {
  HistoryStep step;
  bool merge = false;
  size_t finalized = 0;  // patches before this index hold only what changed
  bool hasImage = false;
  int patterns = 0, channels = 0, tracks = 0;  // the shape when the step began
};

namespace {

// Keeps the bounding rectangle of the cells that differ from the song; false when none does.
bool ShrinkToChanges(const TVNSong& song, CellPatch& p) {
  int t0 = INT_MAX, t1 = -1, r0 = INT_MAX, r1 = -1;
  size_t i = 0;
  for (int t = p.firstTrack; t <= p.lastTrack; ++t) {
    for (int r = p.firstRow; r <= p.lastRow; ++r, ++i) {
      if (p.cells[i] == song.CellData(p.pattern, t, r)) continue;
      t0 = std::min(t0, t);
      t1 = std::max(t1, t);
      r0 = std::min(r0, r);
      r1 = std::max(r1, r);
    }
  }
  if (t1 < 0) return false;
  const int rows = p.lastRow - p.firstRow + 1;
  std::vector<int32_t> kept;
  kept.reserve(size_t(t1 - t0 + 1) * size_t(r1 - r0 + 1));
  for (int t = t0; t <= t1; ++t)
    for (int r = r0; r <= r1; ++r) kept.push_back(p.cells[size_t(t - p.firstTrack) * size_t(rows) + size_t(r - p.firstRow)]);
  p = {p.pattern, t0, t1, r0, r1, std::move(kept)};
  return true;
}

bool ShrinkToChanges(const TVNSong& song, OrderPatch& p) {
  int c0 = INT_MAX, c1 = -1, q0 = INT_MAX, q1 = -1;
  size_t i = 0;
  for (int c = p.firstChannel; c <= p.lastChannel; ++c) {
    for (int pos = p.firstPos; pos <= p.lastPos; ++pos, ++i) {
      if (p.entries[i] == SongState::OrderEntry(song, c, pos)) continue;
      c0 = std::min(c0, c);
      c1 = std::max(c1, c);
      q0 = std::min(q0, pos);
      q1 = std::max(q1, pos);
    }
  }
  if (c1 < 0) {
    if (p.length == song.OrderLength()) return false;
    p.entries.clear();
    p.lastChannel = p.firstChannel - 1;
    p.lastPos = p.firstPos - 1;
    return true;
  }
  const int positions = p.lastPos - p.firstPos + 1;
  std::vector<uint16_t> kept;
  kept.reserve(size_t(c1 - c0 + 1) * size_t(q1 - q0 + 1));
  for (int c = c0; c <= c1; ++c)
    for (int pos = q0; pos <= q1; ++pos)
      kept.push_back(p.entries[size_t(c - p.firstChannel) * size_t(positions) + size_t(pos - p.firstPos)]);
  p = {p.length, c0, c1, q0, q1, std::move(kept)};
  return true;
}

unsigned TouchOf(const StepPatch& patch) {
  switch (patch.index()) {
    case 0: return TouchCells;
    case 1: return TouchOrders;
    case 2: return TouchValues;
    default: return TouchCells | TouchOrders | TouchValues | TouchShape;
  }
}

}  // namespace

SongDocument::SongDocument(Reporter* reporter) : song_(reporter), baseline_(SongState::Values(song_)) {
  history_.MarkSaved();
}

SongDocument::~SongDocument() = default;

// ---- Steps ----

void SongDocument::Begin(const std::string& name, const StepScope& scope, const std::string& mergeKey, bool merge) {
  if (looseOpen_ && depth_ == 1) CommitLoose();
  if (depth_ == 0) {
    Sync();
    open_ = std::make_unique<OpenStep>();
    open_->step.name = name;
    open_->step.mergeKey = mergeKey;
    open_->step.place = placeOf_ ? placeOf_() : EditPlace{};
    open_->merge = merge;
    open_->patterns = song_.PatternsCount();
    open_->channels = song_.ChannelsCount();
    open_->tracks = song_.TracksCount();
  }
  ++depth_;
  if (open_->hasImage) return;  // the whole song is kept already
  if (scope.shape) {
    CaptureImage();
    return;
  }
  // What an earlier part changed is settled first: each part then holds the song as it was when
  // the part began, and undoing them in reverse order passes through every state.
  Finalize();
  if (scope.hasCells) CaptureCells(scope.cells);
  if (scope.hasOrders) CaptureOrders(scope.orders);
}

void SongDocument::End() {
  if (depth_ == 0) return;
  if (--depth_ == 0) Commit();
}

void SongDocument::BeginLoose(const std::string& name, const StepScope& scope) {
  if (depth_ > 0 && !looseOpen_) {
    Begin(name, scope);  // inside another step: part of it
    End();
    return;
  }
  CommitLoose();
  Begin(name, scope);
  looseOpen_ = true;
}

void SongDocument::CommitLoose() {
  if (!looseOpen_) return;
  looseOpen_ = false;
  End();
}

void SongDocument::CaptureCells(const StepScope::Range& range) {
  const int t0 = std::max(range.first, 0), t1 = std::min(range.last, song_.TracksCount() - 1);
  const int r0 = std::clamp(range.firstRow, 0, RowsPerPattern - 1), r1 = std::clamp(range.lastRow, 0, RowsPerPattern - 1);
  if (t0 > t1 || r0 > r1) return;
  const auto add = [&](int pattern, int first, int last) {
    CellPatch p{pattern, first, last, r0, r1, {}};
    p.cells.reserve(size_t(last - first + 1) * size_t(r1 - r0 + 1));
    for (int t = first; t <= last; ++t)
      for (int r = r0; r <= r1; ++r) p.cells.push_back(song_.CellData(pattern, t, r));
    open_->step.patches.emplace_back(std::move(p));
  };
  if (song_.FollowSongView == 0) {
    if (song_.CurrentPattern < song_.PatternsCount()) add(song_.CurrentPattern, t0, t1);
    return;
  }
  // Song view: each track shows the pattern its channel plays at the shown position.
  const int position = song_.PlayingOrder;
  int runFirst = -1, runPattern = -1;
  for (int t = t0; t <= t1 + 1; ++t) {
    int pattern = -1;
    if (t <= t1) {
      pattern = song_.GetOrder(song_.TrackChannel(t), position);
      if (pattern >= song_.PatternsCount()) pattern = -1;
    }
    if (runFirst >= 0 && pattern == runPattern) continue;
    if (runFirst >= 0) add(runPattern, runFirst, t - 1);
    runFirst = pattern >= 0 ? t : -1;
    runPattern = pattern;
  }
}

void SongDocument::CaptureOrders(const StepScope::Range& range) {
  const int c0 = std::max(range.first, 0), c1 = std::min(range.last, song_.ChannelsCount() - 1);
  const int p0 = std::clamp(range.firstRow, 0, MaxOrderLength - 1), p1 = std::clamp(range.lastRow, 0, MaxOrderLength - 1);
  if (c0 > c1 || p0 > p1) return;
  OrderPatch p{song_.OrderLength(), c0, c1, p0, p1, {}};
  p.entries.reserve(size_t(c1 - c0 + 1) * size_t(p1 - p0 + 1));
  for (int c = c0; c <= c1; ++c)
    for (int pos = p0; pos <= p1; ++pos) p.entries.push_back(uint16_t(SongState::OrderEntry(song_, c, pos)));
  open_->step.patches.emplace_back(std::move(p));
}

void SongDocument::CaptureImage() {
  Finalize();
  FinalizeValues();
  open_->step.patches.emplace_back(ImagePatch{std::make_unique<SongImage>(SongState::Capture(song_, history_.Pool()))});
  open_->finalized = open_->step.patches.size();
  open_->hasImage = true;
}

void SongDocument::Finalize() {
  auto& patches = open_->step.patches;
  size_t kept = open_->finalized;
  for (size_t i = open_->finalized; i < patches.size(); ++i) {
    bool changed = true;
    if (auto* cells = std::get_if<CellPatch>(&patches[i])) changed = ShrinkToChanges(song_, *cells);
    if (auto* orders = std::get_if<OrderPatch>(&patches[i])) changed = ShrinkToChanges(song_, *orders);
    if (!changed) continue;
    if (kept != i) patches[kept] = std::move(patches[i]);
    ++kept;
  }
  patches.erase(patches.begin() + ptrdiff_t(kept), patches.end());
  open_->finalized = patches.size();
}

void SongDocument::FinalizeValues() {
  SongValues now = SongState::Values(song_);
  if (SameValues(baseline_, now)) return;
  open_->step.patches.emplace_back(ValuesPatch{std::make_unique<SongValues>(baseline_)});
  open_->finalized = open_->step.patches.size();
  baseline_ = std::move(now);
}

void SongDocument::Commit() {
  const bool reshaped = song_.PatternsCount() != open_->patterns || song_.ChannelsCount() != open_->channels ||
                        song_.TracksCount() != open_->tracks;
  if (reshaped && !open_->hasImage) {
    // An operation changed the song's shape without saying so: its parts cannot be put back. The
    // history before it no longer fits the song either; the change counts as unsaved.
    Trace("The step \"", open_->step.name, "\" changed the song's shape without keeping it");
    open_.reset();
    history_.Clear();
    unsaved_ = true;
    baseline_ = SongState::Values(song_);
    song_.Modified = false;
    Changed();
    return;
  }
  Finalize();
  if (!open_->hasImage) FinalizeValues();
  auto& patches = open_->step.patches;
  // A reshaping command that was refused or found nothing to do leaves no step.
  if (!patches.empty())
    if (const auto* image = std::get_if<ImagePatch>(&patches.back()); image && SongState::Matches(song_, *image->image))
      patches.pop_back();
  for (const StepPatch& patch : patches) open_->step.touches |= TouchOf(patch);
  if (!patches.empty()) history_.Push(std::move(open_->step), open_->merge);
  open_.reset();
  baseline_ = SongState::Values(song_);
  song_.Modified = false;
  Changed();
}

void SongDocument::Sync() {
  if (looseOpen_ && depth_ == 1) CommitLoose();
  if (depth_ > 0) return;
  SongValues now = SongState::Values(song_);
  bool recorded = false;
  if (!SameValues(baseline_, now)) {
    if (now.patternParams.size() != baseline_.patternParams.size() ||
        now.trackParams.size() != baseline_.trackParams.size() ||
        now.channelParams.size() != baseline_.channelParams.size()) {
      Trace("The song's shape changed outside any step");
      history_.Clear();
      unsaved_ = true;
    } else {
      const ValuesDifference difference = DifferenceOf(baseline_, now);
      HistoryStep step;
      step.name = difference.name;
      step.mergeKey = difference.mergeKey;
      step.place = placeOf_ ? placeOf_() : EditPlace{};
      step.touches = TouchValues;
      step.patches.emplace_back(ValuesPatch{std::make_unique<SongValues>(std::move(baseline_))});
      // Each gesture is a step of its own (a drag ends with the release).
      history_.Push(std::move(step), false);
    }
    baseline_ = std::move(now);
    recorded = true;
  }
  // A change the song marked but no step holds: it cannot be undone, and it is unsaved.
  if (song_.Modified && !recorded) {
    Trace("A change outside any step");
    unsaved_ = true;
    recorded = true;
  }
  song_.Modified = false;
  if (recorded) Changed();
}

bool SongDocument::CanUndo() const { return history_.CanUndo(); }
bool SongDocument::CanRedo() const { return history_.CanRedo(); }

const HistoryStep* SongDocument::Undo() { return StepThrough(false); }
const HistoryStep* SongDocument::Redo() { return StepThrough(true); }

const HistoryStep* SongDocument::StepThrough(bool redo) {
  Sync();
  if (depth_ > 0) return nullptr;
  const HistoryStep* step = redo ? history_.Redo(song_) : history_.Undo(song_);
  baseline_ = SongState::Values(song_);
  song_.Modified = false;
  Changed();
  return step;
}

// ---- State ----

bool SongDocument::Modified() {
  Sync();
  return unsaved_ || !history_.AtSaved();
}

void SongDocument::ResetHistory() {
  open_.reset();
  depth_ = 0;
  looseOpen_ = false;
  history_.Clear();
  history_.MarkSaved();
  unsaved_ = false;
  baseline_ = SongState::Values(song_);
  song_.Modified = false;
  Changed();
}

void SongDocument::MarkUnsaved() {
  unsaved_ = true;
  Changed();
}

void SongDocument::Changed() {
  if (changed_) changed_();
}

// ---- Files ----

bool SongDocument::Open(const std::string& path) {
  CommitLoose();
  TVNSong scratch(&song_.Report());
  scratch.SetDefaultPatternLength(song_.DefaultPatternLength());
  scratch.HexNumbers = song_.HexNumbers;
  if (!scratch.LoadFromFile(path)) return false;
  TakeOver(scratch);
  return true;
}

void SongDocument::TakeOver(TVNSong& scratch) {
  SongState::TakeContent(song_, scratch);
  ResetHistory();
  if (recovery_) recovery_->Discard();
}

bool SongDocument::Save(const std::string& path) {
  Sync();
  if (!song_.SaveToFile(path)) return false;
  history_.MarkSaved();
  unsaved_ = false;
  if (recovery_) recovery_->Discard();
  Changed();
  return true;
}

void SongDocument::New(int channels, int rows, bool resetMidi) {
  CommitLoose();
  song_.Reset(channels, rows, resetMidi);
  ResetHistory();
  if (recovery_) recovery_->Discard();
}

}  // namespace varnel
