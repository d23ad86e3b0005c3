// TVNFrame, note entry: the preview of notes and chords, writing notes and values into the pattern,
// the cursor step after an entry, and incoming MIDI notes.
#include <algorithm>

#include "document/song_document.h"
#include "editing/chords.h"
#include "editing/cursor_step.h"
#include "editing/editor_keys.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "midi/midi_input.h"
#include "song/song.h"

namespace varnel {

namespace {

bool IsNote(int note) { return note >= 0 && note <= 127; }

}  // namespace

// The song channel under the cursor of the grid (the cursor track's channel in the pattern grid,
// the cursor column's in the order grid) and its MIDI channel.
void TVNFrame::CursorChannels(int gridTag, int& midiChannel, int& channel) const {
  channel = gridTag == 2 ? d->grid2->Col() - 1 : d->song.GetTrackChannel(d->grid1->Col() - 1);
  midiChannel = d->song.GetMidiChannel(channel);
}

void TVNFrame::EditorStartNote(int midiChannel, int channel, int velocity, bool chord, int offset) {
  TVNSong& song = d->song;
  if (midiChannel < 0 || channel < 0) CursorChannels(d->activeGrid, midiChannel, channel);
  velocity = std::clamp(velocity, 0, 127);
  const int base = song.GetTranspose(channel) + offset + 12 * song.Octave;
  if (IsNote(base)) d->devices.NoteOn(midiChannel, base, velocity);
  if (!chord) return;
  for (const ChordNote& n : ChordNotes(base, offset, song.KeyTone, song.KeyType, ChordBoxes(d->options.chordBoxes)))
    if (n.Playable()) d->devices.NoteOn(midiChannel, n.note, velocity);
}

void TVNFrame::EditorEndNote(int midiChannel, int channel, bool chord, int offset) {
  TVNSong& song = d->song;
  if (midiChannel < 0 || channel < 0) CursorChannels(d->activeGrid, midiChannel, channel);
  const int base = song.GetTranspose(channel) + offset + 12 * song.Octave;
  if (IsNote(base)) d->devices.NoteOff(midiChannel, base, 100);
  if (!chord) return;
  for (const ChordNote& n : ChordNotes(base, offset, song.KeyTone, song.KeyType, ChordBoxes(d->options.chordBoxes)))
    if (n.Playable()) d->devices.NoteOff(midiChannel, n.note, 100);
}

// Every chord note goes into the next note track of the channel, one track per checked box; the
// song adds the tracks the channel lacks. Notes beyond the MIDI range are left out.
void TVNFrame::EditorInsertChord(int offset, int track, int row) {
  TVNSong& song = d->song;
  if (track < 0 || track >= song.TracksCount()) return;
  const int channel = song.GetTrackChannel(track);
  const int first = song.NoteTrackIndex(track);
  const int base = offset + 12 * song.Octave;
  for (const ChordNote& n : ChordNotes(base, offset, song.KeyTone, song.KeyType, ChordBoxes(d->options.chordBoxes))) {
    if (!n.Playable()) continue;
    const int f = first + n.slot;
    if (f > 254) break;
    song.InsertNote(channel, row, uint8_t(f), uint8_t(f), uint8_t(n.note));
  }
}

void TVNFrame::SetCellData(int track, int row, int value) {
  d->song.SetCellData(track, row, std::clamp(value, 0, 127));
  RedrawData(track, row);
}

void TVNFrame::SetCurData(int value) { SetCellData(d->grid1->Col() - 1, d->grid1->Row() - 1, value); }

void TVNFrame::SetCurDataUsingOctave(int value) { SetCurData(value + 12 * d->song.Octave - 36); }

void TVNFrame::NextRow(int grid, int step) {
  if (grid == 2) {
    d->grid2->SetRow(NextOrderGridRow(d->grid2->Row(), step));
    return;
  }
  // While the song plays the cursor is the play position's.
  if (PlayerRunning()) return;
  TVNSong& song = d->song;
  int automatic = song.GridAdd;
  if (step < 0) {
    // The template also drops its note-offs into the rows the cursor is about to pass.
    const int track = d->grid1->Col() - 1;
    EditStep noteOffs(d->document, "note-off", StepScope::Cells(track, track, 0, RowsPerPattern - 1));
    int templateStep = 0;
    if (d->host.TemplateStep(templateStep)) automatic = templateStep;
  }
  TMyGrid2* g = d->grid1;
  const int target = NextPatternGridRow(g->Row(), step, automatic, song.GetLastRow() + 1);
  g->SetRow(target);
  if (d->options.chordsUpperKeys) g->SetSelection({g->Col(), target, g->Col() + 2, target});
}

// A note key on a note track of the pattern grid: sound it once per press, write it, step on.
void TVNFrame::NoteEntry(int offset, int vk, bool shift) {
  TVNSong& song = d->song;
  if (!song.EditEnabled && d->options.autoShowPiano) return;
  const EditorOptions& o = d->options;
  const KeyboardMode mode = o.keyboardMode == 1 ? KeyboardFourOctaves : KeyboardTwoOctaves;
  const bool chord = IsChordKey(vk, mode, shift, o.chordsLowerKeys, o.chordsUpperKeys);
  if (!d->heldKeys[size_t(offset)]) {
    d->heldKeys[size_t(offset)] = true;
    int midiChannel = -1, channel = -1;
    CursorChannels(1, midiChannel, channel);
    EditorStartNote(midiChannel, channel, 100, chord, offset);
  }
  if (!song.EditEnabled) return;
  const int track = d->grid1->Col() - 1, row = d->grid1->Row() - 1;
  // A chord may add note tracks to the channel: the step keeps the whole song.
  EditStep step(d->document, chord ? "chord" : "note",
                chord ? StepScope::Shape() : StepScope::Cells(track, track, 0, RowsPerPattern - 1));
  SetCellData(track, row, offset + 12 * song.Octave);
  if (chord) {
    EditorInsertChord(offset, track, row);
    RedrawPattern(0, 0, true);
  }
  NextRow(1, -1);
}

// A digit on a value track: the cell's next value from its text and the entry state, unclamped;
// the cursor stays for the next digit.
void TVNFrame::ValueKey(int digit) {
  TVNSong& song = d->song;
  if (!song.EditEnabled) return;
  TMyGrid2* g = d->grid1;
  const int track = g->Col() - 1, row = g->Row() - 1;
  const int maximum = ValueEntryMaximum(song.GetTrackType(track));
  if (maximum <= 0) return;
  const std::string text = Grid1GetText(g->Col(), g->Row()).toStdString();
  // The digits of one number are one step.
  const bool continued = d->entry.State() != 0;
  const int value =
      d->options.HexDisplay() ? d->entry.HexEdited(text, maximum, digit) : d->entry.DecEdited(text, maximum, digit);
  if (value < 0) return;
  const int shown = song.FollowSongView != 0 ? song.PlayingOrder : song.CurrentPattern;
  EditStep step(d->document, "value", StepScope::Cells(track, track, row, row),
                "value " + std::to_string(song.FollowSongView != 0) + " " + std::to_string(shown) + " " +
                    std::to_string(track) + " " + std::to_string(row),
                continued);
  song.SetCellData(track, row, value);
  RedrawData(track, row);
}

void TVNFrame::HandleMidiIn(const ShortMessage& message) {
  const EditorOptions& o = d->options;
  MidiInOptions options;
  options.velocity = o.midiInIgnoreVelocity       ? MidiInOptions::VelocityMode::Ignore
                     : o.midiInUseMinimumVelocity ? MidiInOptions::VelocityMode::UseMinimum
                                                  : MidiInOptions::VelocityMode::AsIs;
  options.minimumVelocity = std::clamp(o.midiInMinimumVelocity, 0, 127);
  const MidiInAction action = InterpretMidiIn(message, options, o.pianoBaseOctave);
  if (action.kind == MidiInAction::Kind::Ignore) return;
  TVNSong& song = d->song;
  song.Report().Status(action.status, 0);
  switch (action.kind) {
    case MidiInAction::Kind::NoteRelease:
      d->host.PianoKey(action.key, false);
      EditorEndNote(-1, -1, false, action.offset);
      break;
    case MidiInAction::Kind::NoteStart:
      // The note written is the note heard (less the channel's transpose, which playback adds),
      // whatever the piano's base octave; a key that sounds nothing writes nothing.
      if (song.EditEnabled && action.offset + 12 * song.Octave >= 0 && action.offset + 12 * song.Octave <= 127) {
        SavePatternUndo();
        SetCurData(action.offset + 12 * song.Octave);
        NextRow(1, -1);
      }
      d->host.PianoKey(action.key, true);
      EditorStartNote(-1, -1, action.velocity, false, action.offset);
      break;
    default: {
      // Passed on to the channel chosen in the channel panel, numbered as the song channel.
      int channel = d->lastChannel, midiChannel = 0;
      if (channel < 0) CursorChannels(d->activeGrid, midiChannel, channel);
      d->devices.PassThrough(message, channel);
      break;
    }
  }
}

}  // namespace varnel
