// TVNFrame: the editor frame. It shows the current pattern in the pattern grid (Grid1) and the
// order lists in the order grid (Grid2), one at a time or side by side, turns keys into notes,
// note-offs, values and order entries, and offers the redraw entry points that every command calls
// after it changed the song. It reaches the main window only through EditorHost. UI thread only.
#pragma once

#include <QWidget>

#include <memory>

#include "editor/editor_host.h"
#include "midi/midi_output.h"

class QSplitter;
class QKeyEvent;

namespace varnel {

class MidiDevices;
class PlaybackEngine;
class TMyGrid2;
class TVNSong;

class TVNFrame : public QWidget {
  Q_OBJECT

 public:
  TVNFrame(TVNSong& song, MidiDevices& devices, PlaybackEngine& player, EditorHost& host,
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
  void EditorStartNote(int midiChannel, int channel, int velocity, bool chord, int offset);
  void EditorEndNote(int midiChannel, int channel, bool chord, int offset);
  void EditorInsertChord(int offset, int track, int row);
  void SetCellData(int track, int row, int value);  // clamps to 0..127, writes, redraws the cell
  void SetCurData(int value);
  void SetCurDataUsingOctave(int value);
  // step < 0: the automatic advance (the song's GridAdd or the template's step).
  void NextRow(int grid, int step);
  // The UI-thread half of the MIDI input: one message as it arrived from the input device.
  void HandleMidiIn(const ShortMessage& message);

  // Key handlers of both grids (also reached from the piano window).
  void Grid1KeyDown(TMyGrid2* grid, QKeyEvent* event);
  void Grid1KeyUp(TMyGrid2* grid, QKeyEvent* event);

 private:
  struct State;
  std::unique_ptr<State> d;
};

}  // namespace varnel
