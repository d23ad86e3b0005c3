#include "editing/channel_rules.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "midi/midi_devices.h"
#include "song/song.h"

namespace varnel {

namespace {

bool InSong(const TVNSong& song, int channel) { return channel >= 0 && channel < song.ChannelsCount(); }

bool Correct(int value) { return value >= 0 && value <= 127; }

std::string Hex(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

}  // namespace

std::vector<ChannelSwitch> ToggleChannel(TVNSong& song, int channel) {
  if (!InSong(song, channel)) return {};
  const bool on = !song.ChannelOn(channel);
  song.SetChannelOn(channel, on);
  return {{channel, on}};
}

bool ToggleSoloExempt(TVNSong& song, int channel) {
  if (!InSong(song, channel)) return false;
  const bool exempt = !song.ChannelSoloExempt(channel);
  song.SetChannelSoloExempt(channel, exempt);
  return exempt;
}

std::vector<ChannelSwitch> SoloClick(TVNSong& song, int& soloChannel, int channel) {
  if (!InSong(song, channel)) return {};
  const bool clickedOn = song.ChannelOn(channel);
  const bool othersOff = soloChannel == 0 || !clickedOn;
  std::vector<ChannelSwitch> switches;
  for (int i = 0; i < song.ChannelsCount(); ++i) {
    if (i == channel || song.ChannelSoloExempt(i)) continue;
    song.SetChannelOn(i, !othersOff);
    switches.push_back({i, !othersOff});
  }
  soloChannel = soloChannel != 0 && clickedOn ? 0 : channel + 1;
  song.SetChannelOn(channel, true);
  switches.push_back({channel, true});
  return switches;
}

int GetFirstClearOrderRow(const TVNSong& song) {
  for (int row = 0; row < 256; ++row) {
    bool clear = true;
    for (int c = 0; c < song.ChannelsCount() && clear; ++c) clear = song.GetOrder(c, row) == OrderEmpty;
    if (clear) return row;
  }
  return 0;
}

std::vector<int> SequenceEntries(const TVNSong& song) {
  std::vector<int> entries;
  for (int c = 0; c < song.ChannelsCount(); ++c)
    entries.push_back(song.ChannelOn(c) ? int(song.CurrentPattern) : OrderNoteOff);
  return entries;
}

int ToggleSizeFromOption(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int size = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
  if (error != std::errc() || end != text.data() + text.size() || size < MinToggleSize) return MinToggleSize;
  return std::min(size, MaxToggleSize);
}

PixelRect ToggleSquare(int size, int index) { return {index * size, 1, size, size - 2}; }

int ToggleLabelFontSize(int size) { return size / 3 - 1; }

int ToggleLabelTop(int size) { return size - 1; }

int ToggleLabelLeft(int size, int index, int textWidth) {
  const int number = index + 1;
  return (size - textWidth) / 2 + index * size + (number <= 9 ? 1 : 0);
}

PixelRect AddToSequenceButton(int size, int toggles) { return {toggles * size + 10, 5, size, size - 8}; }

uint8_t PresetByte(int value) { return uint8_t(value < 0 ? 255 : std::min(value, 127)); }

int PresetControlValue(int byte) { return byte >= 128 || byte < 0 ? PresetNotSet : byte; }

int PresetSendValue(int preset, int value) {
  if (value >= 0) return value;
  return preset >= 1 && preset <= 9 ? DefaultControllerValues[preset] : -1;
}

std::string PresetLabel(int value) { return value < 0 ? "-" : std::to_string(value); }

uint8_t BankByte(int value) { return uint8_t(value < 0 ? 128 : std::min(value, 127)); }

int BankSendValue(int value) { return value < 0 ? 0 : value; }

int TrackValueOf(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) return -1;
  return value;
}

std::string TrackValueHexText(int value) { return Correct(value) ? "Hex: " + Hex(value) : "Incorrect value"; }

std::string TrackValueNoteText(int value) {
  if (!Correct(value)) return {};
  std::string name = NoteNames[value % 12];
  if (name.size() == 1) name += '-';
  return name + std::to_string(value / 12);
}

std::string CombinedValueText(int first, int second) {
  if (!Correct(first) || !Correct(second)) return {};
  return std::to_string(NrpnParameter(first, second));
}

std::string CombinedHexText(int first, int second) {
  if (!Correct(first) || !Correct(second)) return {};
  return "Hex: " + Hex(NrpnParameter(first, second));
}

}  // namespace varnel
