// Extended module import. Every count in the file is checked against the bytes that are really
// there: a damaged module ends the read where its data ends and the song keeps what was read.
#include "exchange/xm_import.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "song/song.h"

namespace varnel {

namespace {

constexpr char kId[] = "Extended Module: ";
constexpr size_t kIdSize = 17;
constexpr size_t kHeaderSizeAt = 60;       // the header size counts from its own field
constexpr size_t kOrderTableAt = 80;
constexpr size_t kHeaderEnd = 336;         // order table end: header size 276
constexpr size_t kPatternHeaderSize = 9;   // header length, packing type, rows, packed size
constexpr int kAppendedPatternRows = 64;
constexpr int kKeyOff = 97;
// Patterns and header of any module fit easily; samples after them are never needed.
constexpr size_t kMaxFileBytes = size_t(64) << 20;

uint16_t U16(std::span<const uint8_t> b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
uint32_t U32(std::span<const uint8_t> b, size_t at) { return U16(b, at) | uint32_t(U16(b, at + 2)) << 16; }

std::string ModuleName(std::span<const uint8_t> b) {
  std::string name(b.begin() + kIdSize, b.begin() + kIdSize + 20);
  name.resize(std::strlen(name.c_str()));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

// Messages said once per import: a module that outgrows the track limit would otherwise raise the
// same message box for every note that does not fit.
class OnceReporter final : public Reporter {
 public:
  explicit OnceReporter(Reporter& inner) : inner_(inner) {}
  void Status(const std::string& text, int panel) override { inner_.Status(text, panel); }
  void Message(const std::string& text) override {
    if (said_.insert(text).second) inner_.Message(text);
  }
  bool Question(const std::string& text) override { return inner_.Question(text); }
  void BeginBusy(const std::string& caption) override { inner_.BeginBusy(caption); }
  void EndBusy() override { inner_.EndBusy(); }

 private:
  Reporter& inner_;
  std::set<std::string> said_;
};

struct Header {
  std::string moduleName;
  int songLength, channels, patterns, instruments, tempo, bpm;
  size_t patternsAt;
};

// The carried state of the slot decoder: it runs on from one pattern to the next.
struct SlotState {
  int note = 0;        // a song note value, or CellNoteOff
  int instrument = 0;  // 1-based; 0 addresses no song channel
};

class XMReader {
 public:
  XMReader(TVNSong& song, std::span<const uint8_t> bytes, const Header& header, const std::string& title)
      : song_(song), bytes_(bytes), header_(header), title_(title) {}

  // Reads up to count patterns; the number read, less than count when the file ends early.
  int ReadPatterns(int count) {
    size_t at = header_.patternsAt;
    for (int n = 0; n < count; ++n) {
      if (at > bytes_.size() || bytes_.size() - at < kPatternHeaderSize) return Cut(n);
      const uint64_t headerLength = std::max<uint64_t>(U32(bytes_, at), kPatternHeaderSize);
      const int rows = std::clamp<int>(U16(bytes_, at + 5), 1, RowsPerPattern);
      const size_t packedSize = U16(bytes_, at + 7);
      if (headerLength > bytes_.size() - at) return Cut(n);
      const size_t dataAt = at + size_t(headerLength);
      if (n > 0 && !song_.InsertPattern(song_.PatternsCount(), kAppendedPatternRows)) return Cut(n);
      song_.CurrentPattern = uint16_t(n);
      song_.Report().Status(title_ + " Pattern: " + std::to_string(n) + " from " + std::to_string(header_.patterns), 0);
      song_.StoreLastRow(n, uint8_t(rows - 1));
      const size_t available = std::min(packedSize, bytes_.size() - dataAt);
      ReadSlots(bytes_.subspan(dataAt, available));
      if (available < packedSize) return Cut(n + 1);
      at = dataAt + packedSize;
    }
    return count;
  }
  bool WasCut() const { return cut_; }

 private:
  int Cut(int read) {
    cut_ = true;
    return read;
  }

  void ReadSlots(std::span<const uint8_t> data) {
    size_t i = 0;
    int slot = 0;
    while (i < data.size()) {
      int fields[5] = {0, 0, 0, 0, 0};  // note, instrument, volume, effect, parameter
      const uint8_t first = data[i++];
      if (first & 0x80) {
        for (int f = 0; f < 5; ++f) {
          if (!(first & (1 << f))) continue;
          if (i >= data.size()) return;  // a slot cut off by the end of the data is dropped
          fields[f] = data[i++];
        }
      } else {
        if (data.size() - i < 4) return;
        fields[0] = first;
        fields[1] = data[i];
        i += 4;
      }
      Place(fields[0], fields[1], slot++);
    }
  }

  // Note 0 and instrument 0 are the module's "nothing", whichever encoding carries them.
  void Place(int note, int instrument, int slot) {
    const bool hasNote = note >= 1 && note <= kKeyOff;
    const bool hasInstrument = instrument != 0;
    if (hasNote) state_.note = note == kKeyOff ? CellNoteOff : note - 1;
    if (hasInstrument) state_.instrument = instrument;
    if (!hasNote && !hasInstrument) return;
    const int row = slot / header_.channels;
    if (row >= RowsPerPattern) return;  // past the last row a pattern can have
    if (state_.instrument == 0) {
      if (state_.note < 128)
        song_.Report().Status("Not inserted, channel: -1 row: " + std::to_string(row) + " " + std::to_string(state_.note), 0);
      return;
    }
    if (state_.instrument > std::min(header_.instruments, MaxChannels)) return;
    song_.InsertNote(state_.instrument - 1, row, 255, 0, uint8_t(state_.note));
  }

  TVNSong& song_;
  std::span<const uint8_t> bytes_;
  const Header& header_;
  const std::string& title_;
  SlotState state_;
  bool cut_ = false;
};

void SetTempo(TVNSong& song, const Header& header, std::string& note) {
  const int ticks = header.tempo == 0 ? 6 : header.tempo;
  int bpm = header.bpm;
  if (24 % ticks == 0) {
    song.SPD = uint8_t(24 / ticks);
  } else {
    song.SPD = 4;
    bpm = header.bpm * 6 / ticks;
  }
  // BPM is one byte; 0 would stop the clock.
  const int stored = std::clamp(bpm, 1, 255);
  song.BPM = uint8_t(stored);
  if (stored != bpm)
    note = "Tempo of " + std::to_string(bpm) + " BPM out of range, set to " + std::to_string(stored) + " BPM";
}

// Every channel plays the module's order table. Set after the patterns were read: appending a
// pattern raises entries that name patterns not yet there. An entry naming a pattern the module
// does not have plays nothing; trailing positions that play nothing are left out.
void SetOrderLists(TVNSong& song, std::span<const uint8_t> table, int patterns) {
  if (table.empty()) return;
  auto entry = [&](size_t p) { return table[p] < patterns ? int(table[p]) : OrderEmpty; };
  size_t length = table.size();
  while (length > 1 && entry(length - 1) == OrderEmpty) --length;
  song.SetOrder(0, int(length) - 1, entry(length - 1));  // one lengthening for all lists
  for (int c = 0; c < song.ChannelsCount(); ++c)
    for (size_t p = 0; p < length; ++p) song.StoreOrder(c, int(p), uint16_t(entry(p)));
}

}  // namespace

bool ImportXMBytes(TVNSong& song, std::span<const uint8_t> bytes, const std::string& name) {
  Reporter& reporter = song.Report();
  if (bytes.size() < kIdSize || std::memcmp(bytes.data(), kId, kIdSize) != 0 || bytes.size() < kHeaderEnd ||
      U16(bytes, 68) == 0) {
    reporter.Status("Not a valid file", 0);
    return false;
  }
  Header header;
  header.moduleName = ModuleName(bytes);
  header.songLength = std::min<int>(U16(bytes, 64), 256);
  header.channels = U16(bytes, 68);
  header.patterns = U16(bytes, 70);
  header.instruments = U16(bytes, 72);
  header.tempo = U16(bytes, 76);
  header.bpm = U16(bytes, 78);
  header.patternsAt = kHeaderSizeAt + std::max<size_t>(U32(bytes, kHeaderSizeAt), kHeaderEnd - kHeaderSizeAt);
  const std::string title = "Reading file " + name + " (" + header.moduleName + ")";
  reporter.Status(title, 0);

  std::scoped_lock lock(song.ShapeLock());
  OnceReporter once(reporter);
  song.SetReporter(&once);
  struct Restore {
    TVNSong& song;
    Reporter& reporter;
    ~Restore() { song.SetReporter(&reporter); }
  } restore{song, reporter};

  song.Reset(std::clamp(header.instruments, 1, MaxChannels), song.DefaultPatternLength(), true);
  std::string tempoNote;
  SetTempo(song, header, tempoNote);

  const int wanted = std::min(header.patterns, MaxPatterns);
  XMReader reader(song, bytes, header, title);
  const int read = reader.ReadPatterns(wanted);

  SetOrderLists(song, bytes.subspan(kOrderTableAt, size_t(header.songLength)), read);

  song.SongMode = true;
  song.Pack(0);
  song.CurrentPattern = 0;
  if (header.patterns > MaxPatterns) once.Message("Only the first " + std::to_string(MaxPatterns) + " patterns are read");
  if (reader.WasCut())
    once.Message("File ends early: " + std::to_string(read) + " of " + std::to_string(wanted) + " patterns read");
  if (!tempoNote.empty()) once.Status(tempoNote, 0);
  return true;
}

bool ImportXM(TVNSong& song, const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    song.Report().Message("Cannot open " + fileName);
    return false;
  }
  in.seekg(0, std::ios::end);
  const auto size = std::streamoff(in.tellg());
  in.seekg(0);
  std::vector<uint8_t> bytes(size_t(std::clamp<std::streamoff>(size, 0, std::streamoff(kMaxFileBytes))));
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  bytes.resize(size_t(in.gcount()));
  if (in.bad()) {
    song.Report().Message("Cannot read " + fileName);
    return false;
  }
  return ImportXMBytes(song, bytes, fileName);
}

}  // namespace varnel
