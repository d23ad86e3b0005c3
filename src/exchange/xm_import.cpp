// Extended module import. The header and every pattern are checked against the format's limits and
// the bytes that are really there before the song is touched: a damaged module is refused with
// what was wrong, and the song stays as it was.
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

// The format's limits: FastTracker 2 plays speeds of 1..31 ticks per row (0 is taken as 6) at 32..255
// BPM; a slot names its instrument in one byte.
constexpr int kMaxSpeed = 31, kMinBpm = 32, kMaxBpm = 255;
constexpr int kMaxChannels = 128, kMaxInstruments = 255, kMaxModulePatterns = 256;

// What is wrong with the header, or empty.
std::string HeaderDamage(const Header& h) {
  auto outside = [](const std::string& what, int value, int low, int high) {
    return what + " " + std::to_string(value) + " is outside " + std::to_string(low) + ".." + std::to_string(high);
  };
  if (h.channels < 1 || h.channels > kMaxChannels)
    return outside("the number of channels", h.channels, 1, kMaxChannels);
  if (h.patterns < 1 || h.patterns > kMaxModulePatterns)
    return outside("the number of patterns", h.patterns, 1, kMaxModulePatterns);
  if (h.instruments > kMaxInstruments) return outside("the number of instruments", h.instruments, 0, kMaxInstruments);
  if (h.tempo > kMaxSpeed) return outside("the speed", h.tempo, 1, kMaxSpeed);
  if (h.bpm < kMinBpm || h.bpm > kMaxBpm) return outside("the tempo", h.bpm, kMinBpm, kMaxBpm);
  return "";
}

// One pattern's place in the file.
struct PatternSpan {
  int rows;
  std::span<const uint8_t> data;
};

// Decodes packed slot data: a flag byte with the high bit set names the fields that follow, any
// other first byte is the note of a five-byte slot. Calls slot(note, instrument) for each slot;
// false when the data ends inside a slot.
template <class Slot>
bool DecodeSlots(std::span<const uint8_t> data, Slot&& slot) {
  size_t i = 0;
  while (i < data.size()) {
    int fields[5] = {0, 0, 0, 0, 0};  // note, instrument, volume, effect, parameter
    const uint8_t first = data[i++];
    if (first & 0x80) {
      for (int f = 0; f < 5; ++f) {
        if (!(first & (1 << f))) continue;
        if (i >= data.size()) return false;
        fields[f] = data[i++];
      }
    } else {
      if (data.size() - i < 4) return false;
      fields[0] = first;
      fields[1] = data[i];
      i += 4;
    }
    slot(fields[0], fields[1]);
  }
  return true;
}

// Finds every pattern and checks that its data can be read, before the song is touched; the
// message names the first fault.
std::string FindPatterns(std::span<const uint8_t> bytes, const Header& header, std::vector<PatternSpan>& patterns) {
  size_t at = header.patternsAt;
  for (int n = 0; n < header.patterns; ++n) {
    const std::string which = "pattern " + std::to_string(n) + " of " + std::to_string(header.patterns);
    if (at > bytes.size() || bytes.size() - at < kPatternHeaderSize) return "the file ends before " + which;
    const uint64_t headerLength = std::max<uint64_t>(U32(bytes, at), kPatternHeaderSize);
    const int rows = U16(bytes, at + 5);
    const size_t packedSize = U16(bytes, at + 7);
    if (rows < 1 || rows > RowsPerPattern)
      return which + " has " + std::to_string(rows) + " rows, outside 1.." + std::to_string(RowsPerPattern);
    if (headerLength > bytes.size() - at || packedSize > bytes.size() - at - headerLength)
      return "the file ends inside " + which;
    const auto data = bytes.subspan(at + size_t(headerLength), packedSize);
    // Fewer slots than the pattern holds leave the rest empty; more, or a slot cut off, is damage.
    const int64_t capacity = int64_t(rows) * header.channels;
    int64_t slots = 0;
    if (!DecodeSlots(data, [&](int, int) { ++slots; }) || slots > capacity)
      return "the data of " + which + " does not fit its " + std::to_string(rows) + " rows of " +
             std::to_string(header.channels) + (header.channels == 1 ? " channel" : " channels");
    patterns.push_back({rows, data});
    at += size_t(headerLength) + packedSize;
  }
  return "";
}

// The carried state of the slot decoder: it runs on from one pattern to the next.
struct SlotState {
  int note = 0;        // a song note value, or CellNoteOff
  int instrument = 0;  // 1-based; 0 addresses no song channel
};

class XMReader {
 public:
  XMReader(TVNSong& song, const Header& header, const std::string& title)
      : song_(song), header_(header), title_(title) {}

  void ReadPatterns(const std::vector<PatternSpan>& patterns) {
    for (int n = 0; n < int(patterns.size()); ++n) {
      if (n > 0) song_.InsertPattern(song_.PatternsCount(), kAppendedPatternRows);
      song_.CurrentPattern = uint16_t(n);
      song_.Report().Status(title_ + " Pattern: " + std::to_string(n) + " from " + std::to_string(header_.patterns), 0);
      song_.StoreLastRow(n, uint8_t(patterns[size_t(n)].rows - 1));
      int slot = 0;
      DecodeSlots(patterns[size_t(n)].data, [&](int note, int instrument) { Place(note, instrument, slot++); });
    }
  }
  // Notes that found no track (the song had all its tracks).
  int Dropped() const { return dropped_; }

 private:
  // Note 0 and instrument 0 are the module's "nothing", whichever encoding carries them.
  void Place(int note, int instrument, int slot) {
    const bool hasNote = note >= 1 && note <= kKeyOff;
    const bool hasInstrument = instrument != 0;
    if (hasNote) state_.note = note == kKeyOff ? CellNoteOff : note - 1;
    if (hasInstrument) state_.instrument = instrument;
    if (!hasNote && !hasInstrument) return;
    const int row = slot / header_.channels;
    if (state_.instrument == 0) {
      if (state_.note < 128)
        song_.Report().Status("Not inserted, channel: -1 row: " + std::to_string(row) + " " + std::to_string(state_.note), 0);
      return;
    }
    if (state_.instrument > std::min(header_.instruments, MaxChannels)) return;
    if (song_.InsertNote(state_.instrument - 1, row, 255, 0, uint8_t(state_.note)) < 0 && state_.note < 128) ++dropped_;
  }

  TVNSong& song_;
  const Header& header_;
  const std::string& title_;
  SlotState state_;
  int dropped_ = 0;
};

// A row of the module lasts speed x 2.5 / BPM seconds; the song's row, 60 / (BPM x SPD). With 24
// divisible by the speed the module's BPM stays; otherwise SPD 4 (8 where 4 would need more than
// 255 BPM) and the BPM that keeps the row's length, to the nearest whole number.
void SetTempo(TVNSong& song, const Header& header) {
  const int ticks = header.tempo == 0 ? 6 : header.tempo;
  if (24 % ticks == 0) {
    song.SPD = uint8_t(24 / ticks);
    song.BPM = uint8_t(header.bpm);
    return;
  }
  auto bpmAt = [&](int spd) { return (2 * 24 * header.bpm + ticks * spd) / (2 * ticks * spd); };
  int spd = 4;
  while (bpmAt(spd) > kMaxBpm) spd *= 2;
  song.SPD = uint8_t(spd);
  song.BPM = uint8_t(bpmAt(spd));
}

// Every channel plays the module's order table. An entry naming a pattern the module does not
// have plays nothing; trailing positions that play nothing are left out.
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
  if (bytes.size() < kIdSize || std::memcmp(bytes.data(), kId, kIdSize) != 0) {
    reporter.Status("Not a valid file", 0);
    return false;
  }
  auto refuse = [&](const std::string& why) {
    reporter.Message("Damaged module: " + why);
    return false;
  };
  if (bytes.size() < kHeaderEnd) return refuse("the file ends inside its header");
  Header header;
  header.moduleName = ModuleName(bytes);
  header.songLength = std::min<int>(U16(bytes, 64), 256);
  header.channels = U16(bytes, 68);
  header.patterns = U16(bytes, 70);
  header.instruments = U16(bytes, 72);
  header.tempo = U16(bytes, 76);
  header.bpm = U16(bytes, 78);
  header.patternsAt = kHeaderSizeAt + std::max<size_t>(U32(bytes, kHeaderSizeAt), kHeaderEnd - kHeaderSizeAt);
  if (const std::string damage = HeaderDamage(header); !damage.empty()) return refuse(damage);
  std::vector<PatternSpan> patterns;
  if (const std::string damage = FindPatterns(bytes, header, patterns); !damage.empty()) return refuse(damage);

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
  SetTempo(song, header);
  XMReader reader(song, header, title);
  reader.ReadPatterns(patterns);
  SetOrderLists(song, bytes.subspan(kOrderTableAt, size_t(header.songLength)), int(patterns.size()));

  song.SongMode = true;
  song.Pack(0);
  song.CurrentPattern = 0;
  if (const int dropped = reader.Dropped(); dropped > 0)
    once.Message(std::to_string(dropped) + (dropped == 1 ? " note was" : " notes were") + " left out: all " +
                 std::to_string(MaxTracks) + " tracks are in use");
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
