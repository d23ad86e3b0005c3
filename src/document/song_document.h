// The song document: the one song object, its file name, its edit history and what follows from
// it (modified or not), safe opening and saving, and when the recovery copy goes.
//
// Edits are steps. A command opens one with EditStep (or Begin/End), naming what it may change:
// cells shown in the pattern grid, order entries, or the song's shape. The values of SongValues
// (tempo, key, loops, lengths, channel and MIDI settings, song information) are compared at every
// step, and Sync records a change to them made outside any step as a step of its own, so nothing
// stored in the song file changes unnoticed. "Modified" is derived, never set: the song is
// modified when the history stands elsewhere than where it was saved.
//
// Opening never touches the song before the file has been read and checked in a song of its own;
// saving gives the song its new name only once the file is written.
//
// Threads: UI thread. The song's own rules hold for the row clock (see song.h).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "document/edit_history.h"
#include "song/song.h"

namespace varnel {

// Where the recovery copy of unsaved changes lives (the window's, with its timer and files).
class RecoveryCopy {
 public:
  virtual ~RecoveryCopy() = default;
  // The copy belonged to a song that has been saved or replaced.
  virtual void Discard() = 0;
};

// What a step may change, in the coordinates of the editor: tracks and rows of what the pattern
// grid shows (the current pattern, or in song view the pattern each channel plays at the shown
// order position), order entries, or the song's shape (tracks, channels, patterns: the whole song
// is kept). The values every step compares need no scope.
struct StepScope {
  struct Range {
    int first = 0, last = -1, firstRow = 0, lastRow = -1;
  };
  bool hasCells = false, hasOrders = false, shape = false;
  Range cells, orders;

  static StepScope Values() { return {}; }
  static StepScope Cells(int firstTrack, int lastTrack, int firstRow, int lastRow);
  static StepScope Orders(int firstChannel, int lastChannel, int firstPosition, int lastPosition);
  static StepScope Shape();
  StepScope& And(const StepScope& other);
};

class SongDocument {
 public:
  explicit SongDocument(Reporter* reporter = nullptr);
  ~SongDocument();
  SongDocument(const SongDocument&) = delete;
  SongDocument& operator=(const SongDocument&) = delete;

  TVNSong& Song() { return song_; }
  const TVNSong& Song() const { return song_; }
  EditHistory& History() { return history_; }
  const std::string& FileName() const { return song_.FileName; }

  // Where the editor stands: each step remembers it. Unset: a default place.
  void SetPlaceOf(std::function<EditPlace()> placeOf) { placeOf_ = std::move(placeOf); }
  // Told whenever undo, redo or "modified" may have changed.
  void SetChanged(std::function<void()> changed) { changed_ = std::move(changed); }
  void SetRecovery(RecoveryCopy* recovery) { recovery_ = recovery; }

  // ---- Steps ----
  // Opens a step (or, inside one, widens it by the scope). `merge`: join the newest step when its
  // merge key is the same and nothing came between (a value typed digit by digit).
  void Begin(const std::string& name, const StepScope& scope, const std::string& mergeKey = {},
             bool merge = false);
  void End();
  // A step that stays open for the edits that follow until the next step, Sync, undo, redo, save
  // or CommitLoose: for callers that write right after asking (a note from the piano or MIDI in).
  void BeginLoose(const std::string& name, const StepScope& scope);
  void CommitLoose();
  bool InStep() const { return depth_ > 0; }
  // Records changes of the compared values made outside any step.
  void Sync();

  bool CanUndo() const;
  bool CanRedo() const;
  // The step undone or redone (valid until the next change of the history), or null.
  const HistoryStep* Undo();
  const HistoryStep* Redo();

  // ---- State ----
  bool Modified();
  // The song is what it is now: a fresh history, unmodified.
  void ResetHistory();
  // The song holds changes that no file holds (a restored recovery copy): modified until saved.
  void MarkUnsaved();

  // ---- Files ----
  // Reads the file into a song of its own; only when that succeeds does its content replace the
  // song's (fresh history, unmodified, named after the file). False: the song, its name and its
  // history are as they were; the reason has been reported.
  bool Open(const std::string& path);
  // The content of a song filled elsewhere (an import, a template) becomes the song's: a fresh
  // history, unmodified, the file name `scratch` carries.
  void TakeOver(TVNSong& scratch);
  // Writes the song; on success it is named `path` and unmodified. On failure nothing changes.
  bool Save(const std::string& path);
  // A new song in place of this one (fresh history, unmodified, untitled).
  void New(int channels, int rows, bool resetMidi);

 private:
  struct OpenStep;

  void CaptureCells(const StepScope::Range& range);
  void CaptureOrders(const StepScope::Range& range);
  void CaptureImage();
  void Finalize();
  void FinalizeValues();
  void Commit();
  void Changed();
  const HistoryStep* StepThrough(bool redo);

  TVNSong song_;
  EditHistory history_;
  std::unique_ptr<OpenStep> open_;
  int depth_ = 0;
  bool looseOpen_ = false;
  bool unsaved_ = false;  // changes outside the history: modified at any position
  SongValues baseline_;
  std::function<EditPlace()> placeOf_;
  std::function<void()> changed_;
  RecoveryCopy* recovery_ = nullptr;
};

// One step for the lifetime of the object.
class EditStep {
 public:
  EditStep(SongDocument& document, const std::string& name, const StepScope& scope, const std::string& mergeKey = {},
           bool merge = false)
      : document_(document) {
    document_.Begin(name, scope, mergeKey, merge);
  }
  ~EditStep() { document_.End(); }
  EditStep(const EditStep&) = delete;
  EditStep& operator=(const EditStep&) = delete;

 private:
  SongDocument& document_;
};

}  // namespace varnel
