// Reading the .vnl song file, versions 102 to 106 (100 and 101 are refused).
//
// Every count is checked against the song's limits and against what the file still holds before
// anything is allocated, so a damaged file is refused instead of exhausting memory. A refusal says
// which file and why, below the message of its kind.
#include <algorithm>
#include <filesystem>

#include "song/byte_io.h"
#include "song/durable_file.h"
#include "song/song.h"
#include "song/text_encoding.h"

namespace varnel {

namespace {

struct ReadFault {
  std::string why;
};

// No valid file is this large: the order lists, cells and texts of the largest song take about
// 50 MiB. Reading stops here, so a huge file costs no more memory than a valid one.
constexpr size_t MaxFileBytes = size_t(64) << 20;

std::string ShortString(ByteReader& in) { return in.text(in.u8()); }

bool Bool(ByteReader& in) { return in.u8() == 1; }

// Reads one record of fileSize bytes into ownSize bytes: missing bytes get fill, extra ones are skipped.
void Record(ByteReader& in, int fileSize, uint8_t* own, int ownSize, uint8_t fill) {
  for (int i = 0; i < ownSize; ++i) own[i] = i < fileSize ? in.u8() : fill;
  if (fileSize > ownSize) in.skip(size_t(fileSize - ownSize));
}

std::string Why(const std::string& message, const std::string& path, const std::string& why) {
  return message + "\n" + path + "\n" + why;
}

}  // namespace

bool TVNSong::LoadFromFile(const std::string& path) {
  FileName.clear();
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    reporter_->Message("File not exists\n" + path);
    return false;
  }
  std::vector<uint8_t> bytes;
  std::string why;
  if (std::filesystem::is_directory(path, error)) {
    why = "it is a folder, not a file";
  } else if (!ReadFileStart(path, MaxFileBytes, bytes, &why)) {
    why = "the file cannot be read" + (why.empty() ? std::string() : ": " + why);
  }
  if (!why.empty()) {
    Reset(16, defaultPatternLength_, true);
    reporter_->Message(Why("Error reading file (1)", path, why));
    return false;
  }
  return LoadFromBytes(bytes, path);
}

bool TVNSong::LoadFromBytes(std::span<const uint8_t> bytes, const std::string& path) {
  std::scoped_lock lock(shapeLock_);
  FileName.clear();
  Reset(16, defaultPatternLength_, true);
  reporter_->BeginBusy("Loading " + path);
  int stage = 1;
  bool loaded = false;
  std::string why;
  try {
    loaded = ReadSongBytes(bytes, path, stage, why);
  } catch (const ByteReader::PastEnd&) {
    Trace("Read past the end of ", path);
    why = "the file ends inside " + why;
  } catch (const ReadFault& fault) {
    why = fault.why;
  }
  if (!loaded) {
    const bool fault = stage >= 0;
    Reset(16, defaultPatternLength_, true);
    reporter_->EndBusy();
    if (fault) reporter_->Message(Why("Error reading file (" + std::to_string(stage) + ")", path, why));
    return false;
  }
  Modified = false;
  FitChannelsToTracks();
  FileName = path;
  ClearSounding();
  reporter_->EndBusy();
  return true;
}

// Fills the song from the file's bytes. Returns false with stage set to -1 for a refusal that has
// already been reported; throws for a read fault. `part` names the part being read, for a file
// that ends inside it.
bool TVNSong::ReadSongBytes(std::span<const uint8_t> bytes, const std::string& path, int& stage,
                           std::string& part) {
  ByteReader in(bytes);
  part = "the header";
  if (bytes.size() < 5 || in.text(5) != "VnlMd") throw ReadFault{"the file is not a Varnel song"};
  Trace("Opening \"", std::filesystem::path(path).filename().string(), "\"");
  const std::string version = in.text(3);
  Trace("File version: ", version);
  if (version == "100" || version == "101") {
    reporter_->Message("Not supported anymore. Use MIDI export in old version and click import\n" + path);
    stage = -1;
    return false;
  }

  const int patterns = in.u16(), channels = in.u16(), tracks = in.u16(), length = in.u16();
  Trace("Patterns_N: ", patterns);
  Trace("Channels_N: ", channels);
  Trace("Tracks_N: ", tracks);
  Trace("Order_len: ", length);
  const int midiRecordSize = in.u8(), channelRecordSize = in.u8(), patternRecordSize = in.u8();
  Trace("MIDICHANNEL_PARAMS: ", midiRecordSize);
  Trace("CHANNEL_PARAMS: ", channelRecordSize);
  Trace("PATTERN_PARAMS: ", patternRecordSize);

  const int headerMidiRecords = version == "105" ? MidiChannelCount : 16;
  if (patterns < 1 || patterns > MaxPatterns || channels < 1 || channels > MaxChannels || tracks < 1 ||
      tracks > MaxTracks || length < 1)
    throw ReadFault{"the header names impossible counts: " + std::to_string(patterns) + " patterns, " +
                    std::to_string(channels) + " channels, " + std::to_string(tracks) + " tracks, order length " +
                    std::to_string(length)};
  // The least each mandatory part takes; the cells at least one flag per track and pattern.
  const std::pair<const char*, size_t> mandatory[] = {
      {"the header", size_t(headerMidiRecords) * midiRecordSize},
      {"the channel records", size_t(channels) * channelRecordSize},
      {"the pattern records", size_t(patterns) * patternRecordSize},
      {"the order lists", size_t(channels) * length * 2},
      {"the track table", size_t(tracks) * 2},
      {"the cells", size_t(patterns) * tracks},
      {"the tempo and editor settings", 6},
      {"the channel switches", size_t(channels)},
      {"the output device name", 1}};
  size_t left = in.remaining();
  for (const auto& [name, size] : mandatory) {
    if (size > left) throw ReadFault{std::string("the file ends inside ") + name};
    left -= size;
  }

  patternsCount_ = int16_t(patterns);
  channelsCount_ = uint8_t(channels);
  tracksCount_ = uint16_t(tracks);
  orderLength_ = uint16_t(length);
  channelOn_.assign(channels, 1);
  channelSoloExempt_.assign(channels, 0);
  channelActivity_.resize(channels, 0);

  for (int m = 0; m < headerMidiRecords; ++m)
    Record(in, midiRecordSize, &midiChannelParams_[size_t(m) * MIDICHANNEL_PARAMS], MIDICHANNEL_PARAMS, 255);
  channelParams_.assign(size_t(channels) * CHANNEL_PARAMS, 0);
  for (int c = 0; c < channels; ++c) {
    Record(in, channelRecordSize, &channelParams_[size_t(c) * CHANNEL_PARAMS], CHANNEL_PARAMS, 0);
    const int midiChannel = channelParams_[size_t(c) * CHANNEL_PARAMS + ParamMidiChannel];
    if (midiChannel >= MidiChannelCount)
      throw ReadFault{"channel " + std::to_string(c + 1) + " names MIDI channel " + std::to_string(midiChannel + 1) +
                      " (there are " + std::to_string(MidiChannelCount) + ")"};
  }
  patternParams_.assign(size_t(patterns) * PATTERN_PARAMS, 0);
  for (int p = 0; p < patterns; ++p)
    Record(in, patternRecordSize, &patternParams_[size_t(p) * PATTERN_PARAMS], PATTERN_PARAMS, 0);

  order_.resize(size_t(channels) * length);
  for (auto& entry : order_) {
    entry = in.u16();
    if (entry > OrderNoteOff) entry = OrderEmpty;  // no such entry: play nothing rather than garbage
  }

  trackType_.resize(tracks);
  trackChannel_.resize(tracks);
  trackParam_.assign(tracks, -1);
  for (int t = 0; t < tracks; ++t) {
    trackType_[t] = in.u8();
    trackChannel_[t] = in.u8();
    // Tracks stay grouped by ascending channel, a velocity track follows a note track of its channel,
    // and every channel number leaves room in the one-byte channel count.
    const bool ordered = t == 0 || trackChannel_[t] >= trackChannel_[t - 1];
    const bool velocityOk = trackType_[t] != ttVelocity ||
                            (t > 0 && trackType_[t - 1] == ttNote && trackChannel_[t - 1] == trackChannel_[t]);
    if (!ordered || !velocityOk || trackChannel_[t] >= MaxChannels)
      throw ReadFault{"the track table is damaged at track " + std::to_string(t + 1)};
  }

  part = "the cells";
  cells_.resize(size_t(patterns) * tracks * RowsPerPattern);
  for (int p = 0; p < patterns; ++p) {
    const int rows = LastRow(p) + 1;
    for (int t = 0; t < tracks; ++t) {
      int32_t* cells = &cells_[CellIndex(p, t, 0)];
      if (Bool(in)) {
        std::fill_n(cells, rows, FileFillValue(trackType_[t]));
      } else {
        const auto stored = in.bytes(size_t(rows));
        std::copy(stored.begin(), stored.end(), cells);
      }
      std::fill(cells + rows, cells + RowsPerPattern, EmptyValue(trackType_[t]));
    }
  }

  part = "the tempo and editor settings";
  BPM = in.u8();
  SPD = in.u8();
  GridAdd = in.u8();
  CurrentPattern = in.u8();
  SongMode = Bool(in);
  Octave = in.u8();
  Trace("BPM: ", int(BPM));
  Trace("SPD: ", int(SPD));
  Trace("GridAdd: ", int(GridAdd));
  if (CurrentPattern >= patterns) CurrentPattern = 0;
  for (int c = 0; c < channels; ++c) channelOn_[c] = Bool(in) ? 1 : 0;

  part = "the output device name";
  LoadedDeviceName = ShortString(in);
  DeviceName = LoadedDeviceName == EnglishSynthName ? LocalizedSynthName : LoadedDeviceName;

  part = "the song information";
  if (version >= "103" && !in.atEnd()) {
    Tag.Title = ShortString(in);
    Tag.Artist = ShortString(in);
    Tag.Album = ShortString(in);
    Tag.Year = ShortString(in);
    Tag.Genre = ShortString(in);
    Tag.Comments = in.text(in.u16());
    Tag.ShowOnLoad = Bool(in);
  }
  part = "the loops, key, banks and track parameters";
  const bool v104 = version >= "104";
  if (v104 && !in.atEnd()) {
    for (Relaxed<int32_t>* loop : {&PatternLoopStart, &PatternLoopEnd, &OrderLoopStart, &OrderLoopEnd}) {
      const int v = in.u16() - 1;
      *loop = v > 256 ? -1 : v;
    }
  }
  KeyKnown = false;
  if (v104 && !in.atEnd()) {
    const int tone = in.u16(), type = in.u16();
    KeyTone = tone > 11 ? 0 : tone;
    KeyType = type > 1 ? 0 : type;
    KeyKnown = true;
  }
  if (v104 && !in.atEnd())
    for (int i = 0; i < 32; ++i) bankSelect_[size_t(i)] = uint8_t(in.u8() - 1);
  if (v104 && !in.atEnd())
    for (int t = 0; t < tracks; ++t) trackParam_[t] = int32_t(in.u16()) - 1;
  part = "the MIDI channels 17 to 48";
  if (version >= "106" && !in.atEnd()) {
    const int count = in.u8();
    uint8_t spare[255];
    for (int m = 16; m < count; ++m) {
      uint8_t* record = m < MidiChannelCount ? &midiChannelParams_[size_t(m) * MIDICHANNEL_PARAMS] : spare;
      Record(in, midiRecordSize, record, MIDICHANNEL_PARAMS, 255);
    }
  }
  stage = 2;
  return true;
}

}  // namespace varnel
