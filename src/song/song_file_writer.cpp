// Writing the .vnl song file, always as version "106".
#include <algorithm>

#include "song/byte_io.h"
#include "song/durable_file.h"
#include "song/song.h"
#include "song/text_encoding.h"

namespace varnel {

namespace {

void ShortString(ByteWriter& out, const std::string& s) {
  const std::string cut = CutText(s, 255);
  out.u8(unsigned(cut.size()));
  out.text(cut);
}

}  // namespace

std::vector<uint8_t> TVNSong::EncodeFile() const {
  std::vector<uint8_t> all;
  EncodeFile([&](std::span<const uint8_t> piece) {
    all.insert(all.end(), piece.begin(), piece.end());
    return true;
  });
  return all;
}

bool TVNSong::EncodeFile(const std::function<bool(std::span<const uint8_t>)>& emit) const {
  // The file goes out in pieces of about this size, so a save never holds a second copy of a song.
  constexpr size_t PieceBytes = size_t(1) << 20;
  std::scoped_lock lock(shapeLock_);
  const int patterns = patternsCount_, channels = channelsCount_, tracks = tracksCount_, length = orderLength_;
  std::vector<uint8_t> bytes;
  // A small song asks for what it needs: a fresh MiB per save costs page faults (recovery copies,
  // the fuzzers' round trips).
  const size_t lists = size_t(channels) * (CHANNEL_PARAMS + 2 * size_t(length)) + size_t(patterns) * PATTERN_PARAMS;
  const size_t cells = size_t(patterns) * size_t(tracks) * 257;
  bytes.reserve(std::clamp(lists + cells, size_t(4096), PieceBytes) + size_t(tracks) * 257);
  ByteWriter out(bytes);
  auto flush = [&] {
    const bool ok = emit(bytes);
    bytes.clear();
    return ok;
  };

  out.text("VnlMd106");
  out.u16(unsigned(patterns));
  out.u16(unsigned(channels));
  out.u16(unsigned(tracks));
  out.u16(unsigned(length));
  out.u8(MIDICHANNEL_PARAMS);
  out.u8(CHANNEL_PARAMS);
  out.u8(PATTERN_PARAMS);
  out.bytes(midiChannelParams_.data(), 16 * MIDICHANNEL_PARAMS);

  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < CHANNEL_PARAMS; ++i) out.u8(ChannelParams(c, i));
  for (int p = 0; p < patterns; ++p)
    for (int i = 0; i < PATTERN_PARAMS; ++i) out.u8(PatternParams(p, i));
  for (int c = 0; c < channels; ++c)
    for (int pos = 0; pos < length; ++pos) out.u16(Order(c, pos));
  for (int t = 0; t < tracks; ++t) {
    out.u8(TrackType(t));
    out.u8(TrackChannel(t));
  }

  // Only the UI thread writes cells, and it is the one saving: plain reads are race-free here.
  for (int p = 0; p < patterns; ++p) {
    if (bytes.size() >= PieceBytes && !flush()) return false;
    const int rows = LastRow(p) + 1;
    const size_t start = bytes.size();
    bytes.resize(start + size_t(tracks) * (1 + size_t(rows)));
    uint8_t* at = bytes.data() + start;
    for (int t = 0; t < tracks; ++t) {
      const int32_t* __restrict cells = &cells_[CellIndex(p, t, 0)];
      uint8_t* __restrict stored = at + 1;
      const int32_t fill = FileFillValue(TrackType(t));
      int32_t differs = 0;
      for (int r = 0; r < rows; ++r) {
        stored[r] = uint8_t(cells[r]);
        differs |= cells[r] ^ fill;
      }
      *at = differs == 0 ? 1 : 0;
      at += differs == 0 ? 1 : 1 + size_t(rows);
    }
    bytes.resize(size_t(at - bytes.data()));
  }

  out.u8(BPM);
  out.u8(SPD);
  out.u8(uint8_t(GridAdd));
  out.u8(uint8_t(CurrentPattern));
  out.u8(SongMode ? 1 : 0);
  out.u8(Octave);
  for (int c = 0; c < channels; ++c) out.u8(ChannelOn(c) ? 1 : 0);
  ShortString(out, DeviceName);
  Trace("Device: ", DeviceName);

  ShortString(out, Tag.Title);
  ShortString(out, Tag.Artist);
  ShortString(out, Tag.Album);
  ShortString(out, Tag.Year);
  ShortString(out, Tag.Genre);
  const std::string comments = CutText(Tag.Comments, 65535);
  out.u16(unsigned(comments.size()));
  out.text(comments);
  out.u8(Tag.ShowOnLoad ? 1 : 0);

  for (int loop : {int(PatternLoopStart), int(PatternLoopEnd), int(OrderLoopStart), int(OrderLoopEnd)})
    out.u16(unsigned(loop + 1) & 0xFFFF);
  out.u16(unsigned(KeyTone) & 0xFFFF);
  out.u16(unsigned(KeyType) & 0xFFFF);
  for (int m = 0; m < 16; ++m) {
    out.u8(uint8_t(BankSelect(m, 0) + 1));
    out.u8(uint8_t(BankSelect(m, 1) + 1));
  }
  for (int t = 0; t < tracks; ++t) out.u16(unsigned(TrackParam(t) + 1) & 0xFFFF);

  out.u8(MidiChannelCount);
  out.bytes(midiChannelParams_.data() + 16 * MIDICHANNEL_PARAMS, (MidiChannelCount - 16) * MIDICHANNEL_PARAMS);
  return flush();
}

// The song takes the new name only once the file is written: a failed save leaves it named as it
// was, and says why below the message.
bool TVNSong::SaveToFile(const std::string& path) {
  reporter_->Status("Saving " + path, 0);
  if (DeviceName == LocalizedSynthName) DeviceName = EnglishSynthName;
  AtomicFileWriter file(path);
  if (!EncodeFile([&](std::span<const uint8_t> piece) { return file.Write(piece); }) || !file.Commit()) {
    const std::string why = file.Error().empty() ? "the file could not be written" : file.Error();
    reporter_->Status("Error saving " + path, 0);
    reporter_->Message("Error saving file\n" + path + "\n" + why);
    return false;
  }
  FileName = path;
  reporter_->Status(path + " saved", 0);
  Modified = false;
  return true;
}

}  // namespace varnel
