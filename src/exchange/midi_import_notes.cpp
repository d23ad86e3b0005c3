#include "exchange/midi_import_notes.h"

#include "song/song.h"

namespace varnel {

ImportNotePlacer::ImportNotePlacer(TVNSong& song, bool experimental) : song_(song), experimental_(experimental) {
  Forget();
}

void ImportNotePlacer::Forget() {
  for (auto& notes : track_) notes.fill(-1);
  users_.fill(0);
}

void ImportNotePlacer::Start(int channel, int row, int note) {
  if (!experimental_) {
    if (song_.InsertNote(channel, row, 255, 0, uint8_t(note)) < 0) ++dropped_;
    return;
  }
  const int pattern = song_.CurrentPattern;
  const int tracks = song_.TracksCount();
  int count = 0, placed = -1;
  bool later = false;  // a track of a higher channel follows the channel's tracks
  for (int t = 0; t < tracks; ++t) {
    const int owner = song_.TrackChannel(t);
    if (owner > channel) {
      // Past the channel's last track: a new one goes in front of the next channel.
      later = true;
      if (AddTrackAt(t, channel)) placed = t;
      break;
    }
    if (owner != channel || song_.TrackType(t) != ttNote) continue;
    ++count;
    const bool inUse = users_[t] > 0;
    const int cell = song_.CellData(pattern, t, row);
    if ((!inUse || count > 15) && (cell == CellEmpty || cell == CellNoteOff)) {
      placed = t;
      break;
    }
  }
  // The song's last channel grows after the song's last track.
  if (placed < 0 && !later && AddTrackAt(tracks, channel)) placed = tracks;
  if (placed < 0) {
    ++dropped_;
    return;
  }
  song_.SetCellData(placed, row, note);
  Assign(channel, note, placed);
}

void ImportNotePlacer::Release(int channel, int row, int note) {
  if (!experimental_) {
    song_.InsertNote(channel, row, 255, 0, uint8_t(CellNoteOff));
    return;
  }
  const int t = track_[channel][note];
  if (t < 0) return;
  // A note starting on this very row keeps its cell.
  if (song_.CellData(song_.CurrentPattern, t, row) < 128) return;
  song_.SetCellData(t, row, CellNoteOff);
  Assign(channel, note, -1);
}

bool ImportNotePlacer::AddTrackAt(int index, int channel) {
  if (!song_.AddTrack(index, ttNote, -1, channel)) return false;
  for (auto& notes : track_)
    for (auto& t : notes)
      if (t >= index) ++t;
  for (int t = int(users_.size()) - 1; t > index; --t) users_[t] = users_[t - 1];
  users_[index] = 0;
  return true;
}

void ImportNotePlacer::Assign(int channel, int note, int track) {
  int16_t& entry = track_[channel][note];
  if (entry >= 0) --users_[entry];
  entry = int16_t(track);
  if (track >= 0) ++users_[track];
}

}  // namespace varnel
