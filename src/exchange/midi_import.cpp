// Reading a Standard MIDI File into the song.
//
// Every read is bounded by its chunk and by the file: a damaged or truncated file ends the read of
// the chunk it is in, and the song keeps what was read before. Running status is the last channel
// status; meta and system-exclusive events leave it alone, as files use it right after them.
#include "exchange/midi_import.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "exchange/midi_import_notes.h"
#include "song/durable_file.h"
#include "song/song.h"
#include "song/text_encoding.h"

namespace varnel {

namespace {

constexpr const char* CrLf = "\r\n";
// No real MIDI file comes near this; a larger one is read up to here, as if truncated.
constexpr size_t MaxFileBytes = size_t(64) << 20;
// What the song file can keep of the comments.
constexpr size_t MaxCommentBytes = 65535;

uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

// The bytes of one chunk; every read fails at the chunk's end instead of going past it.
class ChunkReader {
 public:
  ChunkReader(std::span<const uint8_t> chunk) : data_(chunk) {}

  bool Byte(uint8_t& b) {
    if (pos_ >= data_.size()) return false;
    b = data_[pos_++];
    return true;
  }
  // A variable-length quantity; the format allows four bytes at most, so a fifth is damage.
  bool Number(uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(b)) return false;
      value = value << 7 | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool Take(uint32_t count, std::span<const uint8_t>& out) {
    if (count > data_.size() - pos_) return false;
    out = data_.subspan(pos_, count);
    pos_ += count;
    return true;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

// Says each distinct message once: a file full of chords would otherwise repeat "Maximum number
// of tracks reached" for every note that finds no track.
class OnceReporter final : public Reporter {
 public:
  explicit OnceReporter(Reporter& outer) : outer_(outer) {}
  void Status(const std::string& text, int panel) override { outer_.Status(text, panel); }
  void Message(const std::string& text) override {
    if (said_.insert(text).second) outer_.Message(text);
  }
  bool Question(const std::string& text) override { return outer_.Question(text); }
  void BeginBusy(const std::string& caption) override { outer_.BeginBusy(caption); }
  void EndBusy() override { outer_.EndBusy(); }

 private:
  Reporter& outer_;
  std::set<std::string> said_;
};

class MidiImporter {
 public:
  MidiImporter(TVNSong& song, const MidiImportOptions& options)
      : song_(song),
        startRow_(std::clamp(options.startRow, 0, MaxPatterns * RowsPerPattern)),
        length_(std::clamp(options.patternLength, 1, RowsPerPattern)),
        rowsPerQuarter_(std::clamp(options.rowsPerQuarter, 1, 96)),
        placer_(song, options.method == 1) {}

  void Run(std::span<const uint8_t> file, bool cutShort);

 private:
  bool ReadTrack(std::span<const uint8_t> chunk);
  void Locate(int64_t time);
  void ChannelEvent(int status, int data1, int data2);
  void MetaEvent(int type, std::span<const uint8_t> data);

  TVNSong& song_;
  const int startRow_, length_, rowsPerQuarter_;
  ImportNotePlacer placer_;
  int64_t ticksPerRow_ = 1, roundingOffset_ = 0;
  int64_t lastTime_ = -1;
  int row_ = 0;
  bool placeable_ = false;  // the current event's row lies in the song: after the start, within 256 patterns
  bool tooLong_ = false, commentsCut_ = false;
};

void MidiImporter::Run(std::span<const uint8_t> file, bool cutShort) {
  const uint32_t format = Be16(&file[8]), tracks = Be16(&file[10]), division = Be16(&file[12]);
  std::string info = "Format " + std::to_string(format) + CrLf + "Tracks " + std::to_string(tracks) + CrLf +
                     "Delta " + std::to_string(division) + CrLf;
  int64_t ticksPerQuarter = division;
  if (division & 0x8000) {
    // Frames per second and ticks per frame: taken at the song's 120 beats per minute.
    const int fps = -int(int8_t(division >> 8));
    ticksPerQuarter = (fps == 29 ? 30 : fps) * int64_t(division & 0xFF) / 2;
  }
  roundingOffset_ = ticksPerQuarter / 4 / 4;
  ticksPerRow_ = std::max<int64_t>(1, ticksPerQuarter / rowsPerQuarter_);

  song_.Reset(16, length_, true);
  size_t pos = 14;
  uint32_t read = 0;
  while (read < tracks && file.size() - pos >= 8) {
    const uint8_t* head = &file[pos];
    const uint32_t length = Be32(head + 4);
    pos += 8;
    const auto chunk = file.subspan(pos, std::min<size_t>(length, file.size() - pos));
    pos += chunk.size();
    // Chunks of other kinds are for other programs.
    if (std::memcmp(head, "MTrk", 4) != 0) continue;
    const bool complete = ReadTrack(chunk);
    info += "Track " + std::to_string(read) + " Length: " + std::to_string(length) + CrLf;
    if (!complete)
      info += "Track " + std::to_string(read) + " is damaged: it ends before its end-of-track event" + CrLf;
    ++read;
  }
  if (read < tracks)
    info += "The file ends after " + std::to_string(read) + " of " + std::to_string(tracks) + " tracks" + CrLf;
  if (cutShort) info += "Only the first " + std::to_string(MaxFileBytes >> 20) + " MiB of the file were read" + CrLf;
  if (tooLong_)
    info += "The file needs more than " + std::to_string(MaxPatterns) + " patterns: only the first " +
            std::to_string(MaxPatterns) + " were imported" + CrLf;
  if (commentsCut_) info += "Text events beyond " + std::to_string(MaxCommentBytes) + " bytes were left out" + CrLf;
  song_.Report().Message(info);

  // Every channel plays the patterns in their order.
  for (int p = 0; p < song_.PatternsCount(); ++p)
    for (int c = 0; c < song_.ChannelsCount(); ++c) song_.SetOrder(c, p, p);
  song_.SPD = uint8_t(rowsPerQuarter_);
  song_.CurrentPattern = 0;
  song_.SongMode = true;
}

// True when the chunk ended with its end-of-track event.
bool MidiImporter::ReadTrack(std::span<const uint8_t> chunk) {
  ChunkReader in(chunk);
  int64_t time = 0;
  int running = 0;
  lastTime_ = -1;
  for (;;) {
    uint32_t delta;
    uint8_t b;
    if (!in.Number(delta)) return false;
    time += delta;
    Locate(time);
    if (!in.Byte(b)) return false;
    int status = b, data1 = -1;
    if (b < 0x80) {
      // Data before any channel status: what follows cannot be told apart.
      if (running == 0) return false;
      status = running;
      data1 = b;
    } else if (b < 0xF0) {
      running = b;
    }
    if (status >= 0x80 && status < 0xF0) {
      uint8_t d;
      if (data1 < 0) {
        if (!in.Byte(d)) return false;
        data1 = d;
      }
      int data2 = 0;
      const int kind = status & 0xF0;
      if (kind != 0xC0 && kind != 0xD0) {
        if (!in.Byte(d)) return false;
        data2 = d;
      }
      // A status byte where data belongs: the event is damaged, and dropped.
      if ((data1 | data2) < 0x80) ChannelEvent(status, data1, data2);
    } else if (status == 0xF0 || status == 0xF7) {
      uint32_t length;
      std::span<const uint8_t> data;
      if (!in.Number(length) || !in.Take(length, data)) return false;
    } else if (status == 0xFF) {
      uint8_t type;
      uint32_t length;
      std::span<const uint8_t> data;
      if (!in.Byte(type) || !in.Number(length) || !in.Take(length, data)) return false;
      if (type == 0x2F) return true;
      MetaEvent(type, data);
    } else {
      // Other system messages do not belong in a file; one byte after them is passed over.
      uint8_t skipped;
      if (!in.Byte(skipped)) return false;
    }
  }
}

// Finds the row of an event, appending the patterns it needs (at most 256 in all).
void MidiImporter::Locate(int64_t time) {
  if (time == lastTime_) return;
  lastTime_ = time;
  const int64_t r = (time + roundingOffset_) / ticksPerRow_ - startRow_;
  const int64_t pattern = r / length_;
  row_ = int(r % length_);
  if (pattern >= MaxPatterns) tooLong_ = true;
  const int64_t needed = std::min<int64_t>(pattern, MaxPatterns - 1);
  while (song_.PatternsCount() <= needed) {
    song_.InsertPattern(song_.PatternsCount(), length_);
    placer_.Forget();
  }
  placeable_ = r >= 0 && pattern < MaxPatterns;
  if (pattern >= 0 && pattern < MaxPatterns) song_.CurrentPattern = uint16_t(pattern);
}

void MidiImporter::ChannelEvent(int status, int data1, int data2) {
  const int c = status & 0x0F;
  switch (status & 0xF0) {
    case 0x80:
      if (placeable_) placer_.Release(c, row_, data1);
      break;
    case 0x90:
      if (!placeable_) break;
      if (data2 == 0) {
        placer_.Release(c, row_, data1);
      } else {
        placer_.Start(c, row_, data1);
      }
      break;
    case 0xB0: {
      if (data1 == 0 || data1 == 32) {
        song_.StoreBankSelect(c, data1 == 0 ? 0 : 1, uint8_t(data2));
        break;
      }
      // Preset index 1..9, in the order of the automation track types.
      static constexpr int Controllers[PresetCount] = {10, 7, 1, 11, 64, 91, 93, 74, 71};
      const int* found = std::find(std::begin(Controllers), std::end(Controllers), data1);
      if (found != std::end(Controllers)) song_.SetMidiParam(c, 1 + int(found - Controllers), data2);
      break;
    }
    case 0xC0:
      song_.SetProgram(c, uint8_t(data1));
      break;
    default:  // aftertouch, channel pressure and pitch wheel are not kept
      break;
  }
}

void MidiImporter::MetaEvent(int type, std::span<const uint8_t> data) {
  if (type >= 1 && type <= 7) {
    std::string& comments = song_.Tag.Comments;
    std::string text(data.begin(), data.end());
    text += CrLf;
    if (comments.size() + text.size() > MaxCommentBytes) {
      commentsCut_ = true;
      text = CutText(text, MaxCommentBytes - comments.size());
    }
    comments += text;
  } else if (type == 0x51 && data.size() >= 3) {
    const uint32_t microseconds = uint32_t(data[0]) << 16 | uint32_t(data[1]) << 8 | data[2];
    if (microseconds == 0) return;
    uint32_t bpm = 60000000 / microseconds;
    if (bpm > 255) bpm /= 2;
    if (bpm > 255) bpm /= 2;
    song_.BPM = uint8_t(std::min<uint32_t>(bpm, 255));
  } else if (type == 0x59 && data.size() >= 2) {
    const int sharps = int8_t(data[0]), minor = data[1];
    if (sharps < -7 || sharps > 7 || minor > 1) return;  // no key
    // Each sharp is a fifth up, each flat a fifth down from C.
    int tone = ((sharps * 7) % 12 + 12) % 12;
    if (minor == 1) tone = (tone + 9) % 12;
    song_.KeyTone = tone;
    song_.KeyType = minor;
    song_.KeyKnown = true;
  }
}

bool ValidHeader(std::span<const uint8_t> file) {
  return file.size() >= 14 && std::memcmp(file.data(), "MThd", 4) == 0 && Be32(&file[4]) == 6;
}

bool Import(TVNSong& song, std::span<const uint8_t> file, const MidiImportOptions& options, bool cutShort) {
  if (!ValidHeader(file)) {
    song.Report().Message("Not valid MIDI file");
    return false;
  }
  // A running row clock waits until the new song is complete.
  std::scoped_lock lock(song.ShapeLock());
  Reporter& outer = song.Report();
  OnceReporter once(outer);
  struct Restore {
    TVNSong& song;
    Reporter& outer;
    ~Restore() { song.SetReporter(&outer); }
  } restore{song, outer};
  song.SetReporter(&once);
  MidiImporter(song, options).Run(file, cutShort);
  return true;
}

}  // namespace

bool ImportMidiBytes(TVNSong& song, std::span<const uint8_t> bytes, const std::string& /*name*/,
                     const MidiImportOptions& options) {
  return Import(song, bytes, options, false);
}

bool ImportMidi(TVNSong& song, const std::string& fileName, const MidiImportOptions& options) {
  std::vector<uint8_t> bytes;
  if (!ReadFileStart(fileName, MaxFileBytes + 1, bytes)) {
    song.Report().Message("Cannot read " + fileName);
    return false;
  }
  const bool cutShort = bytes.size() > MaxFileBytes;
  if (cutShort) bytes.resize(MaxFileBytes);
  return Import(song, bytes, options, cutShort);
}

}  // namespace varnel
