// Track types, cell and order values and the song's limits, shared by every layer.
#pragma once

#include <cstdint>

namespace varnel {

// One byte per track; the channel event type of the device layer is the track type minus 3.
enum TTrackType : uint8_t {
  ttNote = 0,
  ttVelocity = 1,
  ttPan = 4,
  ttChannelVolume = 5,
  ttModulation = 6,
  ttExpression = 7,
  ttSustain = 8,
  ttReverb = 9,
  ttChorus = 10,
  ttFilterCut = 11,
  ttFilterRes = 12,
  ttPitchWheel = 13,
  ttControlChange = 14,
  ttNRPN = 15,
  ttRPN = 16,
  ttProgram = 17,
  ttTempo = 18,
};

constexpr int CellEmpty = 128;
constexpr int CellNoteOff = 129;
constexpr int OrderEmpty = 256;
constexpr int OrderNoteOff = 257;

constexpr int RowsPerPattern = 256;  // every track of every pattern holds this many cells
constexpr int MaxPatterns = 256;     // the order lists can name patterns 0..255 only
constexpr int MaxTracks = 256;
constexpr int MaxChannels = 255;     // the channel count is one byte
constexpr int MaxOrderLength = 65535;
constexpr int MidiChannelCount = 48;  // three blocks of sixteen; only the first reaches a device
constexpr int PercussionMidiChannel = 9;

// The value that means "nothing" in a track of this type.
constexpr int EmptyValue(int type) { return type >= 0 && type <= 17 ? CellEmpty : 0; }

// The fill value of the song file's empty-track flag: unlike EmptyValue it is 128 for tempo tracks too.
constexpr int FileFillValue(int type) { return type >= 0 && type <= ttTempo ? 128 : 0; }

// Controller presets kept per MIDI channel, in the order of track types 4..12.
constexpr int PresetCount = 9;

extern const char* const NoteNames[12];

}  // namespace varnel
