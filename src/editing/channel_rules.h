// The rules behind the channel toggles, the channel presets and the custom track dialog, without
// any window: switching channels on and off, solo and its exemption, the first free order row of
// the "=>" button, the toggles' geometry, the preset and bank values as stored and as sent, and
// the texts beside the dialog's two numbers.
//
// Threads: UI thread. The song calls only touch relaxed per-channel fields and SetOrder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class TVNSong;

// ---- Channel toggles ----

// A channel switched on or off by a click; the caller colours it and silences it when off.
struct ChannelSwitch {
  int channel;
  bool on;
  bool operator==(const ChannelSwitch&) const = default;
};

// Left click: ChannelOn flips. Empty for a channel outside the song.
std::vector<ChannelSwitch> ToggleChannel(TVNSong& song, int channel);
// Middle click: ChannelSoloExempt flips; the new state (false outside the song).
bool ToggleSoloExempt(TVNSong& song, int channel);
// Right click. soloChannel is 0 with no solo, else the soloed channel + 1. Every other channel
// that is not exempt goes off (no solo yet, or the clicked channel is off) or on (ending the
// solo); then the clicked channel goes on. Returns every switch made, the clicked channel last.
std::vector<ChannelSwitch> SoloClick(TVNSong& song, int& soloChannel, int channel);

// The first order row 0..255 where every channel's order cell is empty (rows past the order's
// end count as empty); 0 when there is none.
int GetFirstClearOrderRow(const TVNSong& song);
// What the "=>" button writes for each channel: the current pattern when the channel is on,
// OrderNoteOff when it is off.
std::vector<int> SequenceEntries(const TVNSong& song);

// ---- Toggle geometry (S = toggle size in pixels) ----

struct PixelRect {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width; }
  bool operator==(const PixelRect&) const = default;
};

constexpr int MinToggleSize = 24;
constexpr int MaxToggleSize = 64;  // the largest size the options offer
// The "Tracktoggle size" option's text: not a number, or below 24, gives 24.
int ToggleSizeFromOption(std::string_view text);
PixelRect ToggleSquare(int size, int index);
int ToggleLabelFontSize(int size);  // points
int ToggleLabelTop(int size);
// Centred under the square; the one-digit numbers sit one pixel further right.
int ToggleLabelLeft(int size, int index, int textWidth);
PixelRect AddToSequenceButton(int size, int toggles);

// ---- Presets of a MIDI channel (preset 1..9, the event types of the device layer) ----

constexpr int PresetNotSet = -1;
// The byte a control value is stored as: -1 (not set) becomes 255.
uint8_t PresetByte(int value);
// The control value of a stored byte: 128 or more is not set.
int PresetControlValue(int byte);
// What the device gets for preset p: the value, or the preset's default when not set.
int PresetSendValue(int preset, int value);
// "-" when not set, else the number.
std::string PresetLabel(int value);
// Banks are stored as 128 when not set and sent as 0.
uint8_t BankByte(int value);
int BankSendValue(int value);

// ---- The custom track dialog ----

// The value of an edit field's text: a number, or -1 when the text is none.
int TrackValueOf(std::string_view text);
// "Hex: " and at least two upper-case hex digits, or "Incorrect value" (128 or more, or no number).
std::string TrackValueHexText(int value);
// The value as a note: "C-3" for 36 (a dash after one-letter names), "D#8" for 99; empty when
// the value is incorrect.
std::string TrackValueNoteText(int value);
// "Combined value:" numbers, decimal and "Hex: " + hex; both empty while either value is incorrect.
std::string CombinedValueText(int first, int second);
std::string CombinedHexText(int first, int second);

// The drum-key NRPN items address key 36 (C3) of a parameter group; "Value 2" picks another key.
constexpr int DrumKeyDefault = 36;
constexpr int NrpnParameter(int msb, int lsb) { return msb * 128 + lsb; }

}  // namespace varnel
