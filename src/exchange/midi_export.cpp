#include "exchange/midi_export.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "midi/midi_devices.h"
#include "midi/sounding_notes.h"
#include "song/durable_file.h"
#include "song/song.h"

namespace varnel {

namespace {

constexpr int NoNote = 128;

// What the last event written to a file track was: running status and delta times depend on it.
enum EventKind { KindNone = 0, KindStart = 1, KindRelease = 2, KindController = 3, KindTempo = 4 };

struct TooLong : std::length_error {
  TooLong() : std::length_error("the song does not fit a MIDI file") {}
};

// One file track being filled. Rows are global rows; a release sits 4 ticks before its row so that
// it comes before a note started on the same row.
class FileTrack {
 public:
  FileTrack() = default;
  explicit FileTrack(int midiChannel) : channel_(midiChannel) {}

  // Channel messages exist on the wire only for MIDI channels 0..15: a status byte 0x90 + 16 would
  // be another kind of message. Playback sends nothing for the others, so neither does the file.
  bool HasChannel() const { return channel_ >= 0 && channel_ <= 15; }
  int Channel() const { return channel_; }
  std::vector<uint8_t>& Data() { return data_; }

  // An event at delta 0 before everything else; it does not count as the track's last event.
  void Immediate(std::initializer_list<uint8_t> bytes) {
    data_.push_back(0);
    data_.insert(data_.end(), bytes);
  }

  void Start(int64_t row, int note, int velocity) { Message(row, KindStart, 0x90, {uint8_t(note), uint8_t(velocity)}); }
  // forceStatus: the releases of an order-position note-off always carry their status byte.
  void Release(int64_t row, int note, bool forceStatus = false) {
    Message(row, KindRelease, 0x80, {uint8_t(note), 0}, forceStatus);
  }
  void Controller(int64_t row, int control, int value) {
    Message(row, KindController, 0xB0, {uint8_t(control), uint8_t(value)});
  }
  void Program(int64_t row, int program) { Message(row, KindController, 0xC0, {uint8_t(program)}); }
  void PitchWheel(int64_t row, int value) { Message(row, KindController, 0xE0, {0, uint8_t(value)}); }
  // NRPN (first = 99) or RPN (first = 101): the last message runs on the status of the second.
  void Parameter(int64_t row, int first, int parameter, int value) {
    if (!HasChannel()) return;
    Controller(row, first, parameter / 128);
    Immediate({uint8_t(0xB0 + channel_), uint8_t(first - 1), uint8_t(parameter % 128)});
    Immediate({6, uint8_t(value)});
  }
  void Tempo(int64_t row, uint32_t microseconds) {
    Delta(row, KindTempo);
    data_.insert(data_.end(),
                 {0xFF, 0x51, 0x03, uint8_t(microseconds >> 16), uint8_t(microseconds >> 8), uint8_t(microseconds)});
  }
  void End() { data_.insert(data_.end(), {0x00, 0xFF, 0x2F, 0x00}); }

 private:
  static int64_t Tick(int64_t row, int kind) { return row * ExportTicksPerRow - (kind == KindRelease ? 4 : 0); }

  // Writes the delta from the previous event (from tick 0 for the first) and makes this event the
  // last one.
  void Delta(int64_t row, int kind) {
    const int64_t delta = Tick(row, kind) - (lastRow_ < 0 ? 0 : Tick(lastRow_, lastKind_));
    if (delta < 0 || delta > int64_t(MaxVariableLength)) throw TooLong();
    AppendVariableLength(data_, uint32_t(delta));
    lastRow_ = row;
    lastKind_ = kind;
  }

  // Note starts and releases run on the status of the same kind of event in the same row.
  void Message(int64_t row, int kind, uint8_t status, std::initializer_list<uint8_t> bytes, bool forceStatus = false) {
    if (!HasChannel()) return;
    const bool running =
        !forceStatus && (kind == KindStart || kind == KindRelease) && lastRow_ == row && lastKind_ == kind;
    Delta(row, kind);
    if (!running) data_.push_back(uint8_t(status + channel_));
    data_.insert(data_.end(), bytes);
  }

  int channel_ = 0;
  std::vector<uint8_t> data_;
  int64_t lastRow_ = -1;
  int lastKind_ = KindNone;
};

class Exporter {
 public:
  Exporter(const TVNSong& song, bool wholeSong, const ExportProgress& progress)
      : s_(song), whole_(wholeSong), progress_(progress) {}

  std::vector<uint8_t> Run() {
    const int channels = s_.ChannelsCount();
    tracksOf_.resize(size_t(channels));
    for (int t = 0; t < s_.TracksCount(); ++t)
      if (s_.TrackChannel(t) < channels) tracksOf_[s_.TrackChannel(t)].push_back(t);
    lastNote_.assign(size_t(s_.TracksCount()), NoNote);
    held_.assign(size_t(s_.TracksCount()), HeldNotes{});
    for (int i = 0; i < channels; ++i) {
      files_.emplace_back(s_.ChannelParams(i, TVNSong::ParamMidiChannel));
      Preamble(files_.back());
    }

    const int positions = whole_ ? s_.OrderLength() : 1;
    for (int position = 0; position < positions; ++position) {
      if (progress_) progress_(row_);
      if (whole_) OrderNoteOffs(position);
      const int lastRow = LastRowAt(position);
      for (int row = 0; row <= lastRow; ++row, ++row_) Row(position, row, false);
      if (position == positions - 1) Row(position, 0, true);
    }
    return Assemble();
  }

 private:
  int PatternOf(int channel, int position) const {
    return whole_ ? s_.Order(channel, position) : int(s_.CurrentPattern);
  }
  bool Exists(int pattern) const { return pattern >= 0 && pattern < s_.PatternsCount(); }

  // A whole-song position lasts as long as the shortest pattern any channel names there, muted
  // channels included.
  int LastRowAt(int position) const {
    int last = 255;
    for (int i = 0; i < s_.ChannelsCount(); ++i) {
      const int p = PatternOf(i, position);
      if (Exists(p)) last = std::min<int>(last, s_.LastRow(p));
      if (!whole_) break;
    }
    return last;
  }

  void Preamble(FileTrack& file) {
    if (!file.HasChannel()) return;
    const int c = file.Channel();
    const uint8_t b = uint8_t(0xB0 + c);
    const int msb = s_.BankSelect(c, 0), lsb = s_.BankSelect(c, 1);
    if (msb < 128 || lsb < 128) {
      file.Immediate({b, 0, uint8_t(msb < 128 ? msb : 0)});
      file.Immediate({b, 32, uint8_t(lsb < 128 ? lsb : 0)});
    }
    // A stored program above 127 cannot be sent; playback skips it too.
    const int program = s_.MidiChannelParams(c, 0);
    if (program < 128) file.Immediate({uint8_t(0xC0 + c), uint8_t(program)});
    for (int type = 1; type <= PresetCount; ++type) {
      const int preset = s_.MidiChannelParams(c, type);
      if (preset < 128) file.Immediate({b, uint8_t(EventControllers[type]), uint8_t(preset)});
    }
  }

  void OrderNoteOffs(int position) {
    if (row_ == 0) return;
    for (int i = 0; i < s_.ChannelsCount(); ++i) {
      if (s_.Order(i, position) != OrderNoteOff) continue;
      for (int t : tracksOf_[i])
        if (s_.TrackType(t) == ttNote && lastNote_[t] != NoNote) ReleaseTrack(files_[i], t, true);
    }
  }

  // As playback: a track of a "d/a releases" channel releases every note it started since its last
  // release; otherwise the note it started last.
  void ReleaseTrack(FileTrack& file, int t, bool forceStatus = false) {
    if (held_[t].Empty()) {
      file.Release(row_, lastNote_[t], forceStatus);
      return;
    }
    held_[t].Release([&](int, int note) { file.Release(row_, note, forceStatus); });
  }

  // One row of every channel; the final row releases every note still held.
  void Row(int position, int row, bool final) {
    for (int i = 0; i < s_.ChannelsCount(); ++i) {
      if (!s_.ChannelOn(i)) continue;
      const int p = PatternOf(i, position);
      if (!Exists(p)) continue;
      FileTrack& file = files_[i];
      const bool holds = s_.ChannelParams(i, TVNSong::ParamReleaseMode) == 255;
      for (int t : tracksOf_[i]) {
        if (s_.TrackType(t) != ttNote || lastNote_[t] == NoNote) continue;
        if (final) {
          ReleaseTrack(file, t);
          continue;
        }
        const int32_t c = s_.CellData(p, t, row);
        if (row_ > 0 && ((c >= 0 && c < 128 && !holds) || c == CellNoteOff)) ReleaseTrack(file, t);
      }
      if (final) continue;
      for (int t : tracksOf_[i]) Cell(file, i, p, t, row);
    }
  }

  void Cell(FileTrack& file, int channel, int p, int t, int row) {
    const int type = s_.TrackType(t);
    const int32_t c = s_.CellData(p, t, row);
    if (type == ttNote) {
      if (c < 0 || c >= 128) return;
      int velocity = std::min<int>(s_.ChannelParams(channel, TVNSong::ParamVelocity), 127);
      if (t + 1 < s_.TracksCount() && s_.TrackType(t + 1) == ttVelocity) {
        const int32_t v = s_.CellData(p, t + 1, row);
        if (v >= 0 && v < 128) velocity = v;
      }
      const int note = c + s_.GetTranspose(channel);
      if (note < 0 || note > 127) return;  // transposed out of the MIDI range: playback sends nothing
      file.Start(row_, note, velocity);
      lastNote_[t] = note;
      if (s_.ChannelParams(channel, TVNSong::ParamReleaseMode) == 255) held_[t].Add(file.Channel(), note);
    } else if (type == ttTempo) {
      if (c > 0 && c < 255) file.Tempo(row_, ExportTempo(c, s_.SPD));
    } else if (type >= ttPan && type < ttTempo && c >= 0 && c < 128) {
      const int event = type - 3, param = s_.TrackParam(t);
      if (event <= PresetCount) {
        file.Controller(row_, EventControllers[event], c);
      } else if (event == EventPitchWheel) {
        file.PitchWheel(row_, c);
      } else if (event == EventControlChange) {
        if (param >= 0 && param <= 127) file.Controller(row_, param, c);
      } else if (event == EventNRPN || event == EventRPN) {
        if (param >= 0 && param <= 16383) file.Parameter(row_, event == EventNRPN ? 99 : 101, param, c);
      } else if (event == EventProgram) {
        file.Program(row_, c);
      }
    }
  }

  std::vector<uint8_t> Assemble() {
    FileTrack tempo;
    tempo.Tempo(0, ExportTempo(s_.BPM, s_.SPD));
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    const size_t count = files_.size() + 1;
    out.insert(out.end(), {uint8_t(count >> 8), uint8_t(count), ExportDivision >> 8, ExportDivision & 0xFF});
    auto chunk = [&](FileTrack& file) {
      file.End();
      const std::vector<uint8_t>& data = file.Data();
      if (data.size() > 0xFFFFFFFFu) throw TooLong();
      const auto n = uint32_t(data.size());
      out.insert(out.end(), {'M', 'T', 'r', 'k', uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
      out.insert(out.end(), data.begin(), data.end());
      file.Data() = {};
    };
    chunk(tempo);
    for (FileTrack& file : files_) chunk(file);
    return out;
  }

  const TVNSong& s_;
  const bool whole_;
  const ExportProgress& progress_;
  std::vector<std::vector<int>> tracksOf_;  // the tracks of each song channel, in track order
  std::vector<int> lastNote_;               // per track: the note it last started, NoNote before
  std::vector<HeldNotes> held_;             // per track of a "d/a releases" channel: notes not yet released
  std::vector<FileTrack> files_;            // per song channel
  int64_t row_ = 0;                         // global row
};

}  // namespace

void AppendVariableLength(std::vector<uint8_t>& out, uint32_t value) {
  value &= MaxVariableLength;
  int shift = 21;
  while (shift > 0 && (value >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7) out.push_back(uint8_t(0x80 | ((value >> shift) & 0x7F)));
  out.push_back(uint8_t(value & 0x7F));
}

uint32_t ExportTempo(int bpm, int spd) {
  const uint32_t microseconds = 240'000'000u / uint32_t(std::max(bpm, 1)) / uint32_t(std::max(spd, 1));
  return std::min<uint32_t>(microseconds, 0xFFFFFF);
}

std::vector<uint8_t> EncodeMidiFile(const TVNSong& song, bool wholeSong, const ExportProgress& progress) {
  try {
    return Exporter(song, wholeSong, progress).Run();
  } catch (const std::exception&) {  // too long for the format, or out of memory
    return {};
  }
}

bool ExportMidi(TVNSong& song, const std::string& fileName, bool wholeSong) {
  Reporter& report = song.Report();
  const std::vector<uint8_t> bytes = EncodeMidiFile(song, wholeSong, [&](int64_t row) {
    report.Status("Generating file " + fileName + " Row:" + std::to_string(row), 0);
  });
  if (!bytes.empty()) {
    report.Status("Saving file " + fileName, 0);
    if (WriteFileAtomically(fileName, bytes)) {
      report.Status("Done.", 0);
      return true;
    }
  }
  report.Message("Error saving .mid");
  return false;
}

}  // namespace varnel
