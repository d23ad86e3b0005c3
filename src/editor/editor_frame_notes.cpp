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

std::vector<int> TVNFrame::EditorStartNote(int midiChannel, int channel, int velocity, bool chord, int offset,
                                           int* usedMidiChannel) {
  TVNSong& song = d->song;
  if (midiChannel < 0 || channel < 0) CursorChannels(d->activeGrid, midiChannel, channel);
  if (usedMidiChannel) *usedMidiChannel = midiChannel;
  velocity = std::clamp(velocity, 0, 127);
  std::vector<int> sounded;
  const int base = song.GetTranspose(channel) + offset + 12 * song.Octave;
  if (IsNote(base)) sounded.push_back(base);
  if (chord) {
    for (const ChordNote& n : ChordNotes(base, offset, song.KeyTone, song.KeyType, ChordBoxes(d->options.chordBoxes)))
      if (n.Playable()) sounded.push_back(n.note);
  }
  for (int note : sounded) d->devices.NoteOn(midiChannel, note, velocity);
  return sounded;
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
  // A held key's auto-repeat writes on but never sounds its preview again.
  State::HeldKey& held = d->heldKeys[size_t(offset)];
  if (!held.down) {
    held.down = true;
    int midiChannel = -1, channel = -1;
    CursorChannels(1, midiChannel, channel);
    held.notes = EditorStartNote(midiChannel, channel, 100, chord, offset);
    held.midiChannel = midiChannel;
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

void TVNFrame::EndPreview(int offset) {
  for (int k = offset < 0 ? 0 : offset; k <= (offset < 0 ? 255 : offset); ++k) {
    State::HeldKey& held = d->heldKeys[size_t(k)];
    for (int note : held.notes) d->devices.NoteOff(held.midiChannel, note, 0);
    held = State::HeldKey{};
  }
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
  const MidiInAction action = InterpretMidiIn(message, options);
  if (action.kind == MidiInAction::Kind::Ignore) return;
  TVNSong& song = d->song;
  song.Report().Status(action.status, 0);
  switch (action.kind) {
    case MidiInAction::Kind::NoteRelease: {
      d->host.PianoKey(action.key, false);
      const HeldInputNotes::Note held = d->inputNotes.Release(0, action.key);
      if (held.Sounds()) d->devices.NoteOff(held.midiChannel, held.note, 0);
      break;
    }
    case MidiInAction::Kind::NoteStart: {
      // The key's own note: key 60 writes and sounds note 60, whatever the octave or the piano's
      // zoom (playback adds the channel's transpose, and so does the preview).
      const int track = d->grid1->Col() - 1;
      if (song.EditEnabled && song.GetTrackType(track) == ttNote) {
        SavePatternUndo();
        SetCurData(action.key);
        NextRow(1, -1);
      }
      d->host.PianoKey(action.key, true);
      int midiChannel = -1, channel = -1;
      CursorChannels(d->activeGrid, midiChannel, channel);
      const int note = song.GetTranspose(channel) + action.key;
      const HeldInputNotes::Note before =
          d->inputNotes.Press(0, action.key, IsNote(note) ? HeldInputNotes::Note{midiChannel, note} : HeldInputNotes::Note{});
      if (before.Sounds()) d->devices.NoteOff(before.midiChannel, before.note, 0);  // its note-off never came
      if (IsNote(note)) d->devices.NoteOn(midiChannel, note, std::clamp(action.velocity, 0, 127));
      break;
    }
    default: {
      // Passed on to the channel chosen in the channel panel, numbered as the song channel. A note
      // ends on the channel it started on, should the chosen channel change meanwhile.
      int channel = d->lastChannel, midiChannel = 0;
      if (channel < 0) CursorChannels(d->activeGrid, midiChannel, channel);
      const int kind = message.bytes[0] & 0xF0, inputChannel = message.bytes[0] & 0x0F, key = message.bytes[1];
      if (kind == 0x90 && message.bytes[2] > 0) {
        const HeldInputNotes::Note before = d->inputNotes.Press(inputChannel, key, {channel, key});
        if (before.Sounds()) d->devices.PassThrough(MakeShortMessage(0x80, uint8_t(key), 0), before.midiChannel);
      } else if (kind == 0x80 || kind == 0x90) {
        if (const HeldInputNotes::Note held = d->inputNotes.Release(inputChannel, key); held.Sounds())
          channel = held.midiChannel;
      }
      d->devices.PassThrough(message, channel);
      break;
    }
  }
}

}  // namespace varnel
