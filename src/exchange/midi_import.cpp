// Reading a Standard MIDI File into the song.
//
// Every read is bounded by the file: a damaged or truncated track ends where it can no longer be
// read, the song keeps what was read before, and the next track is looked for where it must be.
// Running status is the last channel status; meta and system-exclusive events leave it alone, as
// files use it right after them.
#include "exchange/midi_import.h"

#include <algorithm>
#include <cstdint>
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
  size_t Position() const { return pos_; }
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

// Where the read of one track stopped.
struct TrackEnd {
  enum How { EndOfTrack, NextChunk, Damage } how;
  size_t at;  // the file position after the last byte read
};

// Reads the track chunks of a file and hands their events to a handler: StartTrack() for each track,
// Time(ticks) before each event, then Channel(status, data1, data2), Meta(type, data) or nothing for
// other events.
//
// A track is read up to its end-of-track event, whatever its chunk length says; beyond the declared
// length a chunk id "MTrk" ends it, so a track without an end-of-track event does not swallow the
// next one. When the declared length and the end-of-track disagree, the next track is the next
// "MTrk" at or after the declared end, or else after the end-of-track.
template <class Handler>
class TrackWalker {
 public:
  TrackWalker(std::span<const uint8_t> file, Handler& handler) : file_(file), handler_(handler) {}

  // The information text's track lines and what was damaged.
  std::string Walk(uint32_t tracks) {
    std::string info;
    size_t pos = 14;
    uint32_t read = 0;
    while (read < tracks && file_.size() - pos >= 8) {
      const uint32_t length = Be32(&file_[pos + 4]);
      const size_t dataAt = pos + 8;
      const uint64_t declaredEnd = uint64_t(dataAt) + length;
      if (!IsTrackId(pos)) {
        // Chunks of other kinds are for other programs; one whose length leads nowhere is passed
        // over to the next track.
        const bool fits =
            declaredEnd <= file_.size() && (declaredEnd == file_.size() || LooksLikeChunk(size_t(declaredEnd)));
        pos = fits ? size_t(declaredEnd) : FindTrackId(dataAt);
        continue;
      }
      const TrackEnd end = ReadTrack(dataAt, declaredEnd);
      size_t next;
      if (IsTrackId(end.at) || end.at == file_.size()) {
        next = end.at;
      } else {
        next = declaredEnd > end.at && declaredEnd <= file_.size() ? FindTrackId(size_t(declaredEnd)) : file_.size();
        if (next == file_.size()) next = FindTrackId(end.at);
      }
      const std::string number = std::to_string(read);
      info += "Track " + number + " Length: " + std::to_string(length) + CrLf;
      if (end.how != TrackEnd::EndOfTrack) {
        info += "Track " + number + " is damaged: it ends before its end-of-track event" + CrLf;
      } else if (end.at != declaredEnd && next != declaredEnd) {
        info += "Track " + number + " is damaged: its chunk length " + std::to_string(length) +
                " disagrees with its end-of-track event after " + std::to_string(end.at - dataAt) + " bytes" + CrLf;
      }
      pos = next;
      ++read;
    }
    if (read < tracks)
      info += "The file ends after " + std::to_string(read) + " of " + std::to_string(tracks) + " tracks" + CrLf;
    return info;
  }

 private:
  bool IsTrackId(size_t at) const {
    return file_.size() - std::min(at, file_.size()) >= 4 && std::memcmp(&file_[at], "MTrk", 4) == 0;
  }
  bool LooksLikeChunk(size_t at) const {
    if (file_.size() - at < 8) return false;
    for (size_t i = at; i < at + 4; ++i)
      if (file_[i] < 0x20 || file_[i] > 0x7E) return false;
    return true;
  }
  // The next "MTrk" at or after at, or the end of the file. No search goes past a stretch already
  // found to hold none, so that many damaged tracks cost no more than one pass over the file.
  size_t FindTrackId(size_t at) {
    static constexpr uint8_t Id[] = {'M', 'T', 'r', 'k'};
    at = std::min(at, file_.size());
    if (at >= noIdFrom_) return file_.size();
    const size_t limit = noIdFrom_ < file_.size() ? std::min(file_.size(), noIdFrom_ + 3) : file_.size();
    const auto end = file_.begin() + ptrdiff_t(limit);
    const auto found = std::search(file_.begin() + ptrdiff_t(at), end, std::begin(Id), std::end(Id));
    if (found != end) return size_t(found - file_.begin());
    noIdFrom_ = at;
    return file_.size();
  }

  TrackEnd ReadTrack(size_t at, uint64_t declaredEnd) {
    ChunkReader in(file_.subspan(at));
    int64_t time = 0;
    int running = 0;
    handler_.StartTrack();
    auto stop = [&](TrackEnd::How how) { return TrackEnd{how, at + in.Position()}; };
    for (;;) {
      const size_t here = at + in.Position();
      if (here >= declaredEnd && IsTrackId(here)) return stop(TrackEnd::NextChunk);
      uint32_t delta;
      uint8_t b;
      if (!in.Number(delta)) return stop(TrackEnd::Damage);
      time += delta;
      handler_.Time(time);
      if (!in.Byte(b)) return stop(TrackEnd::Damage);
      int status = b, data1 = -1;
      if (b < 0x80) {
        // Data before any channel status: what follows cannot be told apart.
        if (running == 0) return stop(TrackEnd::Damage);
        status = running;
        data1 = b;
      } else if (b < 0xF0) {
        running = b;
      }
      if (status >= 0x80 && status < 0xF0) {
        uint8_t d;
        if (data1 < 0) {
          if (!in.Byte(d)) return stop(TrackEnd::Damage);
          data1 = d;
        }
        int data2 = 0;
        const int kind = status & 0xF0;
        if (kind != 0xC0 && kind != 0xD0) {
          if (!in.Byte(d)) return stop(TrackEnd::Damage);
          data2 = d;
        }
        // A status byte where data belongs: the event is damaged, and dropped.
        if ((data1 | data2) < 0x80) handler_.Channel(status, data1, data2);
      } else if (status == 0xF0 || status == 0xF7) {
        uint32_t length;
        std::span<const uint8_t> data;
        if (!in.Number(length) || !in.Take(length, data)) return stop(TrackEnd::Damage);
      } else if (status == 0xFF) {
        uint8_t type;
        uint32_t length;
        std::span<const uint8_t> data;
        if (!in.Byte(type) || !in.Number(length) || !in.Take(length, data)) return stop(TrackEnd::Damage);
        if (type == 0x2F) return stop(TrackEnd::EndOfTrack);
        handler_.Meta(type, data);
      } else {
        // Other system messages do not belong in a file; one byte after them is passed over.
        uint8_t skipped;
        if (!in.Byte(skipped)) return stop(TrackEnd::Damage);
      }
    }
  }

  std::span<const uint8_t> file_;
  Handler& handler_;
  size_t noIdFrom_ = SIZE_MAX;  // no "MTrk" starts at or after this position
};

// The first pass: whether the tracks hold any event the import can use, before the song is touched.
struct UsableEvents {
  bool found = false;
  void StartTrack() {}
  void Time(int64_t) {}
  void Channel(int, int, int) { found = true; }
  void Meta(int, std::span<const uint8_t>) { found = true; }
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

  // The walker's handler.
  void StartTrack() { lastTime_ = -1; }
  void Time(int64_t time);
  void Channel(int status, int data1, int data2);
  void Meta(int type, std::span<const uint8_t> data);

 private:

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
  info += TrackWalker(file, *this).Walk(tracks);
  if (cutShort) info += "Only the first " + std::to_string(MaxFileBytes >> 20) + " MiB of the file were read" + CrLf;
  if (tooLong_)
    info += "The file needs more than " + std::to_string(MaxPatterns) + " patterns: only the first " +
            std::to_string(MaxPatterns) + " were imported" + CrLf;
  if (commentsCut_) info += "Text events beyond " + std::to_string(MaxCommentBytes) + " bytes were left out" + CrLf;
  if (const int dropped = placer_.Dropped(); dropped > 0)
    info += std::to_string(dropped) + (dropped == 1 ? " note was" : " notes were") + " left out: all " +
            std::to_string(MaxTracks) + " tracks are in use" + CrLf;
  song_.Report().Message(info);

  // Every channel plays the patterns in their order; the lists grow once, for the last position.
  const int patterns = song_.PatternsCount();
  song_.SetOrder(0, patterns - 1, patterns - 1);
  for (int p = 0; p < patterns; ++p)
    for (int c = 0; c < song_.ChannelsCount(); ++c) song_.StoreOrder(c, p, uint16_t(p));
  song_.SPD = uint8_t(rowsPerQuarter_);
  song_.CurrentPattern = 0;
  song_.SongMode = true;
}

// Finds the row of an event, appending the patterns it needs (at most 256 in all).
void MidiImporter::Time(int64_t time) {
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

void MidiImporter::Channel(int status, int data1, int data2) {
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

// Beats per minute of a tempo in microseconds per quarter note, to the nearest whole number, halved
// (at most twice) while above 255.
uint32_t TempoBpm(uint32_t microseconds) {
  uint64_t quarter = microseconds;
  uint32_t bpm = 0;
  for (int halving = 0; halving < 3; ++halving, quarter *= 2) {
    bpm = uint32_t((uint64_t(120000000) + quarter) / (2 * quarter));
    if (bpm <= 255) break;
  }
  return std::min<uint32_t>(bpm, 255);
}

void MidiImporter::Meta(int type, std::span<const uint8_t> data) {
  if (type >= 1 && type <= 7) {
    // Text that is valid UTF-8 is taken as such, any other as Windows-1252 (as it was shown before),
    // so that the comments stay one readable UTF-8 text.
    std::string& comments = song_.Tag.Comments;
    std::string text = DisplayText(std::string(data.begin(), data.end()));
    text += CrLf;
    if (comments.size() + text.size() > MaxCommentBytes) {
      commentsCut_ = true;
      text = CutText(text, MaxCommentBytes - comments.size());
    }
    comments += text;
  } else if (type == 0x51 && data.size() >= 3) {
    const uint32_t microseconds = uint32_t(data[0]) << 16 | uint32_t(data[1]) << 8 | data[2];
    if (microseconds == 0) return;
    song_.BPM = uint8_t(TempoBpm(microseconds));
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
  UsableEvents usable;
  if (ValidHeader(file)) TrackWalker(file, usable).Walk(Be16(&file[10]));
  if (!usable.found) {
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
