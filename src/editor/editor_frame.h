// TVNFrame: the editor frame. It shows the current pattern in the pattern grid (Grid1) and the
// order lists in the order grid (Grid2), one at a time or side by side, turns keys into notes,
// note-offs, values and order entries, and offers the redraw entry points that every command calls
// after it changed the song. It reaches the main window only through EditorHost. UI thread only.
#pragma once

#include <QWidget>

#include <array>
#include <memory>
#include <vector>

#include "document/edit_history.h"
#include "editing/editor_key_map.h"
#include "editing/grid_edit.h"
#include "editing/value_entry.h"
#include "editor/editor_host.h"
#include "midi/midi_input.h"
#include "midi/midi_output.h"

class QSplitter;
class QKeyEvent;

namespace varnel {

class MidiDevices;
class PlaybackEngine;
class SongDocument;
class TMyGrid2;
class TVNSong;

class TVNFrame : public QWidget {
  Q_OBJECT

 public:
  // Every edit goes into the document's history as one step; the frame tells it where it stands.
  TVNFrame(SongDocument& document, MidiDevices& devices, PlaybackEngine& player, EditorHost& host,
           QWidget* parent = nullptr);
  ~TVNFrame() override;

  TMyGrid2* Grid1() const;  // the pattern grid
  TMyGrid2* Grid2() const;  // the order grid
  EditorOptions& Options();
  int ActiveGrid() const;   // 1 pattern grid, 2 order grid

  // The main window's measures of the grid font: W = width of "C#0" + 10, H = its height + 2.
  void SetCellMetrics(int width, int height);

  // Redraws after the song changed.
  void RedrawPattern(int firstTrack, int firstRow, bool rebuildColumns);
  void RedrawData(int track, int row);
  void RedrawOrders(int firstChannel, int firstRow);
  void RedrawOrder(int channel, int position);

  // 1 pattern grid, 2 order grid, -1 the current one; ends split view.
  void SetActiveGrid(int grid);
  void SetSplitView();
  bool SplitView() const;

  // The current channel follows the cursor column of the active grid (col -1: the grid's column;
  // -2: tell the host even when the channel did not change).
  void ColChanged(int gridTag, int col);
  // Middle click on a pattern column header, and the "Edit track properties" command.
  void EditTrackProperties(int col, int row);

  // Note entry, shared with the piano window and the MIDI input. A channel below 0 is taken from
  // the cursor.
  // Returns the notes it sounded (the base first) on the MIDI channel it used.
  std::vector<int> EditorStartNote(int midiChannel, int channel, int velocity, bool chord, int offset,
                                   int* usedMidiChannel = nullptr);
  void EditorEndNote(int midiChannel, int channel, bool chord, int offset);
  void EditorInsertChord(int offset, int track, int row);
  void SetCellData(int track, int row, int value);  // clamps to 0..127, writes, redraws the cell
  void SetCurData(int value);
  void SetCurDataUsingOctave(int value);
  // A note about to be written at the cursor from outside the keys (the piano, MIDI input): what
  // the cursor's track holds until the next step is one step.
  void SavePatternUndo();
  // step < 0: the automatic advance (the song's GridAdd or the template's step).
  void NextRow(int grid, int step);
  // The UI-thread half of the MIDI input: one message as it arrived from the input device.
  void HandleMidiIn(const ShortMessage& message);

  // Key handlers of both grids (also reached from the piano window).
  void Grid1KeyDown(TMyGrid2* grid, QKeyEvent* event);
  void Grid1KeyUp(TMyGrid2* grid, QKeyEvent* event);

  // The range commands of the active grid (GridEdit's action bits and scopes) and the clipboard.
  // transposeSimple: the "Transpose simple" option.
  void EditGrid(int action, int scope, int amount, bool transposeSimple = false);
  const GridEdit& GridEditing() const;
  // Undo and redo of the document's steps: the grids redrawn, the step's place shown, its name on
  // the status bar ("Undo: paste"). The step, or null when there was none.
  const HistoryStep* PerformUndo();
  const HistoryStep* PerformRedo();
  bool CanUndo() const;
  bool CanRedo() const;
  // Where the editor stands (grid, pattern or order position, cursor), and going there.
  EditPlace Place() const;
  void ShowPlace(const EditPlace& place);
  // Alt+Insert and Alt+Backspace: rotate the cursor's column down or up by one row.
  void EditScrollDown();
  void EditScrollUp();

  // The song channel last passed to the host's UpdateChannelProps (-1 before the first).
  int CurrentChannel() const;
  // The key code the editor's key map sees for a key event: the key at that position on a US
  // keyboard where the platform tells the position (xcb, wayland), else from the Qt key; 0 when
  // the editor has no use for the key.
  static int VirtualKeyOf(const QKeyEvent* event);
  static int VirtualKeyOf(const QKeyEvent* event, const QString& platformName);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct State {
    State(SongDocument& doc, TVNSong& s, MidiDevices& m, PlaybackEngine& p, EditorHost& h)
        : document(doc), song(s), devices(m), player(p), host(h) {}
    SongDocument& document;
    TVNSong& song;
    MidiDevices& devices;
    PlaybackEngine& player;
    EditorHost& host;
    TMyGrid2* grid1 = nullptr;
    TMyGrid2* grid2 = nullptr;
    QSplitter* splitter3 = nullptr;
    EditorOptions options;
    int activeGrid = 1;
    bool splitView = false;
    int cellWidth = 0;   // W
    int cellHeight = 0;  // H
    int lastChannel = -1;
    bool editScrolling = false;  // suspends cursor centring while a column rotates
    // Per note offset of the computer keyboard: the notes its preview started, ended on key-up
    // whatever the shift state or the cursor then.
    struct HeldKey {
      bool down = false;
      int midiChannel = -1;
      std::vector<int> notes;
    };
    std::array<HeldKey, 256> heldKeys{};
    HeldInputNotes inputNotes;  // what the MIDI input sounds
    ValueEntry entry;
    std::unique_ptr<GridEditView> editView;  // before gridEdit, which uses it
    std::unique_ptr<GridEdit> gridEdit;
  };
  std::unique_ptr<State> d;

  // editor_frame.cpp
  void SetupGrid(TMyGrid2* grid, int tag, int pixelSize, int rowHighlight);
  TMyGrid2* GridOf(int tag) const;
  bool PlayerRunning() const;
  // editor_frame_pattern.cpp
  QString Grid1GetText(int col, int row) const;
  int TextWidth(const std::string& text) const;
  void ShareColsChannels();
  void Grid1HeaderClick(TMyGrid2* grid, int col, int row);
  void Grid1SelectCell(int col, int row);
  void LoopChanged(TMyGrid2* grid);
  // editor_frame_order.cpp
  QString Grid2GetText(int col, int row) const;
  void OrderKey(const EditorKey& key);
  void OpenPattern();
  // editor_frame_keys.cpp
  void PatternKey(const EditorKey& key, int vk, bool shift);
  void CommonKey(const EditorKey& key);
  void OpenOrderGrid();
  // editor_frame_edit.cpp
  void EditGridKey(EditorKeyAction action);
  const HistoryStep* StepThrough(bool redo);
  void SetupGridEdit();
  GridPlace PlaceOf(int gridTag) const;
  void EditScroll(bool down);
  // editor_frame_notes.cpp
  void CursorChannels(int gridTag, int& midiChannel, int& channel) const;
  void NoteEntry(int offset, int vk, bool shift);
  // Ends the preview of one computer key, or of all (-1): every note it started.
  void EndPreview(int offset);
  void ValueKey(int digit);
};

}  // namespace varnel
