#include "cli/info_command.h"

#include "cli/json_writer.h"
#include "song/text_encoding.h"

namespace varnel::cli {

int RunInfo(CommandContext& context) {
  const Arguments args = SplitArguments(context.args, {"--json", "--cells"});
  if (args.positional.size() != 1) throw UsageError("info needs exactly one song file");
  const std::string& path = args.positional[0];

  ConsoleReporter reporter(context.err, context.verbose);
  TVNSong song(&reporter);
  if (!LoadSongOrSay(song, reporter, path, context.err)) return ExitFailure;

  if (args.Has("--json"))
    WriteInfoJson(song, args.Has("--cells"), context.out);
  else
    WriteInfoText(song, path, args.Has("--cells"), context.out);
  context.out.flush();
  return context.out ? ExitOk : ExitFailure;
}

namespace {

template <class Get>
void IntList(JsonWriter& json, std::string_view name, int count, Get get) {
  json.Key(name).BeginArray();
  for (int i = 0; i < count; ++i) json.Int(get(i));
  json.EndArray();
}

void WriteTag(JsonWriter& json, const TVNSongTag& tag) {
  json.Key("tag").BeginObject();
  json.Member("title", DisplayText(tag.Title));
  json.Member("artist", DisplayText(tag.Artist));
  json.Member("album", DisplayText(tag.Album));
  json.Member("year", DisplayText(tag.Year));
  json.Member("genre", DisplayText(tag.Genre));
  json.Member("comments", DisplayText(tag.Comments));
  json.Member("show_on_load", bool(tag.ShowOnLoad));
  json.EndObject();
}

void WriteCells(JsonWriter& json, const TVNSong& song) {
  json.Key("cells").BeginArray();
  for (int p = 0; p < song.PatternsCount(); ++p) {
    json.BeginArray();
    for (int t = 0; t < song.TracksCount(); ++t) {
      json.BeginArray();
      for (int r = 0; r <= song.LastRow(p); ++r) json.Int(song.CellData(p, t, r));
      json.EndArray();
    }
    json.EndArray();
  }
  json.EndArray();
}

}  // namespace

void WriteInfoJson(const TVNSong& song, bool withCells, std::ostream& out) {
  JsonWriter json(out);
  const int channels = song.ChannelsCount();
  const int tracks = song.TracksCount();
  json.BeginObject();
  json.Member("patterns", song.PatternsCount());
  json.Member("channels", channels);
  json.Member("tracks", tracks);
  json.Member("order_length", song.OrderLength());
  json.Member("bpm", song.BPM.load());
  json.Member("spd", song.SPD.load());
  json.Member("grid_add", song.GridAdd.load());
  json.Member("current_pattern", song.CurrentPattern.load());
  json.Member("song_mode", song.SongMode.load());
  json.Member("octave", song.Octave.load());
  json.Member("key_tone", song.KeyTone.load());
  json.Member("key_type", song.KeyType.load());
  json.Member("key_known", song.KeyKnown.load());
  json.Key("loops").BeginArray();
  json.Int(song.PatternLoopStart).Int(song.PatternLoopEnd).Int(song.OrderLoopStart).Int(song.OrderLoopEnd);
  json.EndArray();
  // The name as the file holds it: DeviceName may carry the localized synthesizer name instead.
  json.Member("device", DisplayText(song.LoadedDeviceName));
  WriteTag(json, song.Tag);

  json.Key("channel_params").BeginArray();
  for (int c = 0; c < channels; ++c) {
    json.BeginArray();
    for (int i = 0; i < TVNSong::CHANNEL_PARAMS; ++i) json.Int(song.ChannelParams(c, i));
    json.EndArray();
  }
  json.EndArray();
  json.Key("channel_on").BeginArray();
  for (int c = 0; c < channels; ++c) json.Bool(song.ChannelOn(c));
  json.EndArray();
  json.Key("midi_channel_params").BeginArray();
  for (int m = 0; m < MidiChannelCount; ++m) {
    json.BeginArray();
    for (int i = 0; i < TVNSong::MIDICHANNEL_PARAMS; ++i) json.Int(song.MidiChannelParams(m, i));
    json.EndArray();
  }
  json.EndArray();
  json.Key("bank_select").BeginArray();
  for (int m = 0; m < MidiChannelCount; ++m) json.BeginArray().Int(song.BankSelect(m, 0)).Int(song.BankSelect(m, 1)).EndArray();
  json.EndArray();
  json.Key("order").BeginArray();
  for (int c = 0; c < channels; ++c) {
    json.BeginArray();
    for (int pos = 0; pos < song.OrderLength(); ++pos) json.Int(song.Order(c, pos));
    json.EndArray();
  }
  json.EndArray();

  IntList(json, "track_type", tracks, [&](int t) { return song.TrackType(t); });
  IntList(json, "track_channel", tracks, [&](int t) { return song.TrackChannel(t); });
  IntList(json, "track_param", tracks, [&](int t) { return song.TrackParam(t); });
  IntList(json, "last_row", song.PatternsCount(), [&](int p) { return song.LastRow(p); });
  if (withCells) WriteCells(json, song);
  json.EndObject();
  json.Finish();
}

}  // namespace varnel::cli
