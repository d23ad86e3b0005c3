// TVNSong: the one in-memory song. Patterns x tracks x 256 rows of cells, tracks grouped into
// song channels, one order list per channel, sound settings, song information and play state.
//
// Threads: the UI thread owns the song and is the only one that changes its shape. The row clock
// reads it while holding ShapeLock() for one row. Every operation that resizes an array holds the
// same lock; cells, order entries and the small per-track/per-channel fields are read and written
// with relaxed atomic access, so single-value edits during playback need no lock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "song/cell_allocator.h"
#include "song/relaxed.h"
#include "song/reporter.h"
#include "song/song_types.h"

namespace varnel {

struct SongState;

struct TVNSongTag {
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Genre;
  std::string Spare;     // read and written by nothing
  std::string Comments;  // bytes exactly as stored in the file; the UI decodes them
  bool ShowOnLoad = false;
};

class TVNSong {
 public:
  static constexpr uint8_t PATTERN_PARAMS = 2;
  static constexpr uint8_t CHANNEL_PARAMS = 4;
  static constexpr uint8_t MIDICHANNEL_PARAMS = 10;

  // ChannelParams byte indexes.
  static constexpr int ParamMidiChannel = 0;
  static constexpr int ParamVelocity = 1;
  static constexpr int ParamReleaseMode = 2;
  static constexpr int ParamTranspose = 3;

  // Create: 16 channels, one pattern of DefaultPatternLength rows.
  explicit TVNSong(Reporter* reporter = nullptr);
  TVNSong(const TVNSong&) = delete;
  TVNSong& operator=(const TVNSong&) = delete;

  void SetReporter(Reporter* reporter);
  Reporter& Report() const { return *reporter_; }

  // Held by every operation that resizes the song's arrays and by the row clock for one row.
  std::recursive_mutex& ShapeLock() const { return shapeLock_; }

  // ---- Options the song reads (set by the options dialog) ----
  int DefaultPatternLength() const { return defaultPatternLength_; }
  void SetDefaultPatternLength(int rows);  // clamped to 32..256
  bool HexNumbers = false;                 // number display option: hexadecimal cell text

  // ---- Building ----
  void Reset(int channels, int rows, bool resetMidi);
  void FitChannelsToTracks();
  void ClearSounding();

  // ---- Counts (changed only by the song's own operations) ----
  int PatternsCount() const { return patternsCount_; }
  int ChannelsCount() const { return channelsCount_; }
  int TracksCount() const { return tracksCount_; }
  int OrderLength() const { return orderLength_; }

  // ---- Direct, unchecked access by index (the row clock, the file code, the editors) ----
  int32_t CellData(int pattern, int track, int row) const { return LoadRelaxed(cells_[CellIndex(pattern, track, row)]); }
  void StoreCell(int pattern, int track, int row, int32_t v) { StoreRelaxed(cells_[CellIndex(pattern, track, row)], v); }
  uint8_t TrackType(int track) const { return LoadRelaxed(trackType_[track]); }
  uint8_t TrackChannel(int track) const { return LoadRelaxed(trackChannel_[track]); }
  int32_t TrackParam(int track) const { return LoadRelaxed(trackParam_[track]); }
  uint8_t PatternParams(int pattern, int index) const { return LoadRelaxed(patternParams_[pattern * PATTERN_PARAMS + index]); }
  void StorePatternParam(int pattern, int index, uint8_t v) { StoreRelaxed(patternParams_[pattern * PATTERN_PARAMS + index], v); }
  uint8_t LastRow(int pattern) const { return PatternParams(pattern, 0); }
  void StoreLastRow(int pattern, uint8_t lastRow) { StorePatternParam(pattern, 0, lastRow); }
  uint8_t ChannelParams(int channel, int index) const { return LoadRelaxed(channelParams_[channel * CHANNEL_PARAMS + index]); }
  void StoreChannelParam(int channel, int index, uint8_t v) { StoreRelaxed(channelParams_[channel * CHANNEL_PARAMS + index], v); }
  uint8_t MidiChannelParams(int midiChannel, int index) const { return LoadRelaxed(midiChannelParams_[midiChannel * MIDICHANNEL_PARAMS + index]); }
  void StoreMidiChannelParam(int midiChannel, int index, uint8_t v) { StoreRelaxed(midiChannelParams_[midiChannel * MIDICHANNEL_PARAMS + index], v); }
  uint8_t BankSelect(int midiChannel, int index) const { return LoadRelaxed(bankSelect_[midiChannel * 2 + index]); }
  void StoreBankSelect(int midiChannel, int index, uint8_t v) { StoreRelaxed(bankSelect_[midiChannel * 2 + index], v); }
  uint16_t Order(int channel, int position) const { return LoadRelaxed(order_[OrderIndex(channel, position)]); }
  void StoreOrder(int channel, int position, uint16_t v) { StoreRelaxed(order_[OrderIndex(channel, position)], v); }
  bool ChannelOn(int channel) const { return LoadRelaxed(channelOn_[channel]) != 0; }
  void SetChannelOn(int channel, bool on) { StoreRelaxed(channelOn_[channel], uint8_t(on)); }
  bool ChannelSoloExempt(int channel) const { return LoadRelaxed(channelSoloExempt_[channel]) != 0; }
  void SetChannelSoloExempt(int channel, bool exempt) { StoreRelaxed(channelSoloExempt_[channel], uint8_t(exempt)); }
  int32_t ChannelActivity(int channel) const { return LoadRelaxed(channelActivity_[channel]); }
  void StoreChannelActivity(int channel, int32_t v) { StoreRelaxed(channelActivity_[channel], v); }
  int32_t SoundingNote(int track) const { return LoadRelaxed(soundingNote_[track]); }
  void StoreSoundingNote(int track, int32_t v) { StoreRelaxed(soundingNote_[track], v); }
  int32_t SoundingChannel(int track) const { return LoadRelaxed(soundingChannel_[track]); }
  void StoreSoundingChannel(int track, int32_t v) { StoreRelaxed(soundingChannel_[track], v); }

  // ---- Checked accessors: out-of-range reads give neutral values ----
  int GetCellData(int track, int row) const;
  void SetCellData(int track, int row, int32_t value);  // sets Modified
  std::string CellText(int track, int row) const;
  int GetLastRow() const;
  void SetLastRow(uint8_t lastRow);  // sets Modified
  int GetTrackType(int track) const;
  int GetTrackChannel(int track) const;
  int GetTrackParam(int track) const;
  void SetTrackParam(int track, int value);
  int GetMidiChannel(int channel) const;
  int GetVelocity(int channel) const;
  int GetReleaseMode(int channel) const;
  void SetMidiChannel(int channel, uint8_t value);
  void SetVelocity(int channel, uint8_t value);
  void SetReleaseMode(int channel, uint8_t value);
  int GetTranspose(int channel) const;
  void SetTranspose(int channel, int semitones);
  int GetProgram(int midiChannel) const;
  void SetProgram(int midiChannel, uint8_t program);
  int GetMidiParam(int midiChannel, int index) const;
  void SetMidiParam(int midiChannel, int index, int value);
  int GetOrder(int channel, int position) const;
  void SetOrder(int channel, int position, int value);  // sets Modified; lengthens or shortens the lists
  int GetCurrentPattern() const { return CurrentPattern; }
  void SelectPattern(int p);
  void ChannelTracks(int channel, int& first, int& end) const;
  int NoteTrackIndex(int track) const;
  bool IsTrackEmpty(int pattern, int track) const;
  int MinLastRowAt(int position) const;

  // ---- Structure operations (song_structure.cpp, song_pack.cpp) ----
  bool InsertPattern(int position, int rows);
  void DeletePattern(int pattern);
  bool AddTrack(int after, int type, int param, int channel);
  bool DeleteTrack(int track);
  bool InsertChannel(int channel);
  void RemoveChannel(int channel);
  int InsertNote(int channel, int row, uint8_t forceFrom, uint8_t skip, uint8_t value);
  void Pack(int step);

  // ---- Song file (song_file_writer.cpp, song_file_reader.cpp) ----
  bool SaveToFile(const std::string& path);
  bool LoadFromFile(const std::string& path);
  // The bytes SaveToFile writes, without touching the song (DeviceName must already be mapped):
  // all at once, or handed to emit piece by piece (false from emit stops the encoding).
  std::vector<uint8_t> EncodeFile() const;
  bool EncodeFile(const std::function<bool(std::span<const uint8_t>)>& emit) const;
  // LoadFromFile's work after the file has been read; name is used for messages and FileName.
  bool LoadFromBytes(std::span<const uint8_t> bytes, const std::string& path);

  // ---- Plain fields, read and written directly by their users ----
  Relaxed<uint16_t> CurrentPattern{0};
  Relaxed<uint8_t> BPM{120};
  Relaxed<uint8_t> SPD{4};
  Relaxed<int32_t> GridAdd{0};
  Relaxed<bool> SongMode{false};
  Relaxed<uint8_t> Octave{4};
  Relaxed<int32_t> KeyTone{0};
  Relaxed<int32_t> KeyType{0};
  Relaxed<bool> KeyKnown{true};
  Relaxed<bool> Modified{false};
  Relaxed<bool> SoundEnabled{true};
  Relaxed<bool> EditEnabled{true};
  Relaxed<bool> Metronome{false};
  Relaxed<int32_t> FollowSongView{0};
  Relaxed<int32_t> PatternLoopStart{-1};
  Relaxed<int32_t> PatternLoopEnd{-1};
  Relaxed<int32_t> OrderLoopStart{-1};
  Relaxed<int32_t> OrderLoopEnd{-1};
  // Play state: written by the row clock, read by the UI.
  Relaxed<int32_t> PlayingRow{0};
  Relaxed<int32_t> PlayingOrder{0};
  Relaxed<int32_t> LastPlayedRow{0};
  Relaxed<int32_t> LastPlayedOrder{0};

  TVNSongTag Tag;
  std::string FileName;
  std::string DeviceName;
  std::string LoadedDeviceName;
  std::string InDeviceName;

 private:
  // The edit history's exact copies and the safe opening's take-over (document/song_state.cpp)
  // read and write every member below: a new member belongs there too.
  friend struct SongState;

  size_t CellIndex(int pattern, int track, int row) const {
    return (size_t(pattern) * tracksCount_ + size_t(track)) * RowsPerPattern + size_t(row);
  }
  size_t OrderIndex(int channel, int position) const { return size_t(channel) * orderLength_ + size_t(position); }

  void SetChannelParam(int channel, int index, uint8_t value);  // sets Modified when it changes

  // Shape changes; the caller holds the shape lock.
  void ResizeOrder(int newLength);
  void ResetChannelRecord(int channel);
  void InsertTrackAt(int index, uint8_t type, uint8_t channel, int32_t param);
  void RemoveTrackAt(int index);
  void InsertChannelAt(int channel, int copyFrom);
  void RemoveChannelAt(int channel);
  void ClearTrackRows(int pattern, int track);
  bool ShortenOrderTail();
  void RedirectOrder(int channel, int from, int to);

  bool ReadSongBytes(std::span<const uint8_t> bytes, const std::string& path, int& stage, std::string& part);

  // Pack steps.
  void PackSameChannels(int channel);
  void PackEmptyChannelsInOrder(int channel);
  void PackMoveToSmallestPatterns();
  void PackEmptyPatterns();
  void PackEmptyChannels();
  void KeepPositionLengths(const std::vector<uint16_t>& orderBefore);
  bool SetsPositionLength(int position, int excludedChannel, int excludedPattern) const;
  bool HandOverPositionLengths(int channel);

  NullReporter nullReporter_;
  Reporter* reporter_ = &nullReporter_;
  mutable std::recursive_mutex shapeLock_;
  int defaultPatternLength_ = 64;

  Relaxed<int16_t> patternsCount_{1};
  Relaxed<uint8_t> channelsCount_{16};
  Relaxed<uint16_t> tracksCount_{16};
  Relaxed<uint16_t> orderLength_{1};

  CellVector cells_;                     // [pattern][track][256]
  std::vector<uint8_t> trackType_;       // [track]
  std::vector<uint8_t> trackChannel_;    // [track]
  std::vector<int32_t> trackParam_;      // [track]
  std::vector<uint8_t> patternParams_;   // [pattern][PATTERN_PARAMS]
  std::vector<uint8_t> channelParams_;   // [channel][CHANNEL_PARAMS]
  std::vector<uint16_t> order_;          // [channel][OrderLength]
  std::vector<uint8_t> channelOn_;       // [channel]
  std::vector<uint8_t> channelSoloExempt_;
  std::vector<int32_t> channelActivity_;
  std::array<uint8_t, MidiChannelCount * MIDICHANNEL_PARAMS> midiChannelParams_{};
  std::array<uint8_t, MidiChannelCount * 2> bankSelect_{};
  std::array<int32_t, 256> soundingNote_{};
  std::array<int32_t, 256> soundingChannel_{};
};

}  // namespace varnel
