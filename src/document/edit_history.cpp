#include "document/edit_history.h"

#include <algorithm>
#include <mutex>

#include "song/song.h"

namespace varnel {

namespace {

template <class T>
size_t VectorBytes(const std::vector<T>& v) {
  return v.capacity() * sizeof(T);
}

size_t PatchBytes(const StepPatch& patch) {
  return std::visit(
      [](const auto& p) -> size_t {
        using P = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<P, CellPatch>) return VectorBytes(p.cells);
        if constexpr (std::is_same_v<P, OrderPatch>) return VectorBytes(p.entries);
        if constexpr (std::is_same_v<P, ValuesPatch>) return p.values->Bytes();
        if constexpr (std::is_same_v<P, ImagePatch>) return p.image->Bytes();
        return 0;
      },
      patch);
}

// True when every part of `later` changes only what the same part of `earlier` already holds, so
// `earlier`'s content from before both stands for the two.
bool Covers(const HistoryStep& earlier, const HistoryStep& later) {
  for (const StepPatch& patch : later.patches) {
    bool covered = false;
    for (const StepPatch& mine : earlier.patches) {
      if (patch.index() != mine.index()) continue;
      if (const auto* c = std::get_if<CellPatch>(&patch)) {
        const auto& m = std::get<CellPatch>(mine);
        covered = c->pattern == m.pattern && c->firstTrack >= m.firstTrack && c->lastTrack <= m.lastTrack &&
                  c->firstRow >= m.firstRow && c->lastRow <= m.lastRow;
      } else if (const auto* o = std::get_if<OrderPatch>(&patch)) {
        const auto& m = std::get<OrderPatch>(mine);
        covered = o->length == m.length && o->firstChannel >= m.firstChannel && o->lastChannel <= m.lastChannel &&
                  o->firstPos >= m.firstPos && o->lastPos <= m.lastPos;
      } else {
        covered = std::holds_alternative<ValuesPatch>(patch);
      }
      if (covered) break;
    }
    if (!covered) return false;
  }
  return true;
}

}  // namespace

void ApplyPatch(TVNSong& song, CellPatch& p) {
  if (p.pattern >= song.PatternsCount() || p.lastTrack >= song.TracksCount()) return;
  size_t i = 0;
  for (int t = p.firstTrack; t <= p.lastTrack; ++t) {
    for (int r = p.firstRow; r <= p.lastRow; ++r, ++i) {
      const int32_t now = song.CellData(p.pattern, t, r);
      song.StoreCell(p.pattern, t, r, p.cells[i]);
      p.cells[i] = now;
    }
  }
}

void ApplyPatch(TVNSong& song, OrderPatch& p) {
  if (p.lastChannel >= song.ChannelsCount()) return;
  std::scoped_lock lock(song.ShapeLock());
  const int now = song.OrderLength();
  // Longer first, so every entry of the patch has a place; shorter last, dropping what the
  // patch emptied.
  if (p.length > now) SongState::ResizeOrder(song, p.length);
  const int length = song.OrderLength();
  size_t i = 0;
  for (int c = p.firstChannel; c <= p.lastChannel; ++c) {
    for (int pos = p.firstPos; pos <= p.lastPos; ++pos, ++i) {
      const uint16_t current = uint16_t(SongState::OrderEntry(song, c, pos));
      if (pos < length) song.StoreOrder(c, pos, p.entries[i]);
      p.entries[i] = current;
    }
  }
  if (p.length < now) SongState::ResizeOrder(song, p.length);
  p.length = now;
}

void EditHistory::SetLimits(size_t maxSteps, size_t maxBytes) {
  maxSteps_ = std::max<size_t>(maxSteps, 1);
  maxBytes_ = maxBytes;
  Trim();
}

size_t EditHistory::BytesOf(const HistoryStep& step) {
  size_t bytes = sizeof(HistoryStep) + step.name.capacity() + step.mergeKey.capacity() +
                 step.patches.capacity() * sizeof(StepPatch);
  for (const StepPatch& patch : step.patches) bytes += PatchBytes(patch);
  return bytes;
}

void EditHistory::Apply(TVNSong& song, HistoryStep& step, bool forward) {
  auto apply = [&](StepPatch& patch) {
    std::visit(
        [&](auto& p) {
          using P = std::decay_t<decltype(p)>;
          if constexpr (std::is_same_v<P, CellPatch> || std::is_same_v<P, OrderPatch>) {
            ApplyPatch(song, p);
          } else if constexpr (std::is_same_v<P, ValuesPatch>) {
            SongValues now = SongState::Values(song);
            SongState::RestoreValues(song, *p.values);
            *p.values = std::move(now);
          } else {
            SongImage now = SongState::Capture(song, pool_);
            SongState::Restore(song, *p.image);
            *p.image = std::move(now);
          }
        },
        patch);
  };
  if (forward) {
    for (StepPatch& patch : step.patches) apply(patch);
  } else {
    for (auto it = step.patches.rbegin(); it != step.patches.rend(); ++it) apply(*it);
  }
  stepBytes_ -= step.bytes;
  step.bytes = BytesOf(step);
  stepBytes_ += step.bytes;
}

const HistoryStep* EditHistory::Undo(TVNSong& song) {
  if (!CanUndo()) return nullptr;
  mergeable_ = false;
  HistoryStep& step = steps_[--position_];
  Apply(song, step, false);
  return &step;
}

const HistoryStep* EditHistory::Redo(TVNSong& song) {
  if (!CanRedo()) return nullptr;
  mergeable_ = false;
  HistoryStep& step = steps_[position_++];
  Apply(song, step, true);
  return &step;
}

void EditHistory::Push(HistoryStep step, bool merge) {
  if (position_ < steps_.size()) {
    for (size_t i = position_; i < steps_.size(); ++i) stepBytes_ -= steps_[i].bytes;
    steps_.erase(steps_.begin() + ptrdiff_t(position_), steps_.end());
    // The saved state was one of the steps that are gone.
    if (saved_ > base_ + int64_t(position_)) saved_ = -1;
  }
  if (merge && mergeable_ && !steps_.empty() && !AtSaved() && !step.mergeKey.empty() &&
      steps_.back().mergeKey == step.mergeKey && Covers(steps_.back(), step)) {
    steps_.back().place = step.place;
    steps_.back().touches |= step.touches;
    return;
  }
  step.bytes = BytesOf(step);
  stepBytes_ += step.bytes;
  steps_.push_back(std::move(step));
  position_ = steps_.size();
  mergeable_ = true;
  Trim();
}

void EditHistory::Trim() {
  while (steps_.size() > 1 && position_ > 0 && (steps_.size() > maxSteps_ || Bytes() > maxBytes_)) {
    stepBytes_ -= steps_.front().bytes;
    steps_.pop_front();
    --position_;
    ++base_;
  }
}

void EditHistory::Clear() {
  steps_.clear();
  position_ = 0;
  base_ = 0;
  saved_ = -1;
  stepBytes_ = 0;
  mergeable_ = false;
}

void EditHistory::MarkSaved() {
  saved_ = base_ + int64_t(position_);
  mergeable_ = false;
}

void EditHistory::MarkUnreachableSaved() { saved_ = -1; }

}  // namespace varnel
