// The songs the build writes into Songs/: the templates as File > Templates offers them, and the
// demo song's arrangement, key and sound, rendered through the embedded synth.
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <set>

#include "devices/device_results.h"
#include "devices/gm_synth.h"
#include "exchange/song_render.h"
#include "song/song.h"

using namespace varnel;

namespace {

QString SongPath(const char* name) { return QStringLiteral(VARNEL_BUILT_SONGS "/") + QLatin1String(name); }

bool Load(TVNSong& song, const char* name) { return song.LoadFromFile(SongPath(name).toStdString()); }

// The 16-bit samples of a PCM WAV file (both channels interleaved), from its "data" chunk.
std::vector<int16_t> Samples(const QString& path, int& rate) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
  rate = int(u32(24));
  for (qsizetype at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4)) {
    if (bytes.mid(at, 4) != "data") continue;
    const qsizetype size = std::min<qsizetype>(u32(at + 4), bytes.size() - at - 8);
    std::vector<int16_t> samples(size_t(size / 2));
    std::memcpy(samples.data(), bytes.constData() + at + 8, samples.size() * 2);
    return samples;
  }
  return {};
}

}  // namespace

class ShippedSongsTest : public QObject {
  Q_OBJECT

 private slots:
  void templates_loadWithTheirLayout_data();
  void templates_loadWithTheirLayout();
  void demo_arrangement_showsWhatVarnelDoes();
  void demo_pitchedNotes_stayInAMinor();
  void demo_render_soundsThroughout();
};

void ShippedSongsTest::templates_loadWithTheirLayout_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("channels");
  QTest::addColumn<int>("tracks");
  QTest::addColumn<int>("bpm");
  QTest::newRow("00 Blank") << "template00.vnl" << 16 << 16 << 120;
  QTest::newRow("01 16 channel + volume") << "template01.vnl" << 16 << 32 << 120;
  QTest::newRow("02 Orchestra") << "template02.vnl" << 16 << 32 << 96;
  QTest::newRow("03 Trance") << "template03.vnl" << 7 << 26 << 138;
  QTest::newRow("04 Studio") << "template04.vnl" << 9 << 53 << 110;
}

void ShippedSongsTest::templates_loadWithTheirLayout() {
  QFETCH(QString, name);
  QFETCH(int, channels);
  QFETCH(int, tracks);
  QFETCH(int, bpm);
  TVNSong song;
  QVERIFY(Load(song, name.toLatin1().constData()));
  QCOMPARE(song.ChannelsCount(), channels);
  QCOMPARE(song.TracksCount(), tracks);
  QCOMPARE(int(song.BPM), bpm);
  QCOMPARE(song.PatternsCount(), 1);
  QCOMPARE(int(song.LastRow(0)), 63);
  // Templates are empty: every cell holds its track's empty value.
  for (int t = 0; t < song.TracksCount(); ++t) QVERIFY(song.IsTrackEmpty(0, t));
  // Every channel has a track, the first a note track; velocity tracks follow note tracks.
  for (int c = 0; c < song.ChannelsCount(); ++c) {
    int first = 0, end = 0;
    song.ChannelTracks(c, first, end);
    QVERIFY(first < end);
    QCOMPARE(song.GetTrackType(first), int(ttNote));
  }
  for (int t = 0; t < song.TracksCount(); ++t)
    if (song.GetTrackType(t) == ttVelocity) QCOMPARE(song.GetTrackType(t - 1), int(ttNote));
}

void ShippedSongsTest::demo_arrangement_showsWhatVarnelDoes() {
  TVNSong song;
  QVERIFY(Load(song, "song73.vnl"));
  QVERIFY(song.SongMode);
  QVERIFY(song.PatternsCount() >= 4);
  QVERIFY(song.ChannelsCount() >= 4);
  QCOMPARE(song.OrderLength(), 8);
  QCOMPARE(int(song.OrderLoopStart), 2);  // positions 1..7, stored as position + 1
  QCOMPARE(int(song.OrderLoopEnd), 8);
  QVERIFY(song.KeyKnown);
  QCOMPARE(int(song.KeyTone), 9);
  QCOMPARE(int(song.KeyType), 1);

  std::set<int> types, midiChannels;
  for (int t = 0; t < song.TracksCount(); ++t) types.insert(song.GetTrackType(t));
  for (int c = 0; c < song.ChannelsCount(); ++c) midiChannels.insert(song.GetMidiChannel(c));
  for (int type : {int(ttNote), int(ttVelocity), int(ttChannelVolume), int(ttPan)}) QVERIFY(types.count(type));
  QVERIFY(midiChannels.count(PercussionMidiChannel));  // drums on MIDI channel 10
  QCOMPARE(midiChannels.size(), size_t(song.ChannelsCount()));

  // The channels do not all follow one order list, and every entry names a pattern or a rest.
  std::set<std::vector<int>> lists;
  for (int c = 0; c < song.ChannelsCount(); ++c) {
    std::vector<int> list;
    for (int p = 0; p < song.OrderLength(); ++p) {
      const int entry = song.GetOrder(c, p);
      QVERIFY(entry < song.PatternsCount() || entry == OrderEmpty || entry == OrderNoteOff);
      list.push_back(entry);
    }
    lists.insert(list);
  }
  QVERIFY(lists.size() >= 4);
  // Every pattern is played by some channel and holds notes for it.
  for (int pattern = 0; pattern < song.PatternsCount(); ++pattern) {
    bool played = false;
    for (int c = 0; c < song.ChannelsCount(); ++c)
      for (int p = 0; p < song.OrderLength(); ++p) played |= song.GetOrder(c, p) == pattern;
    QVERIFY2(played, qPrintable(QStringLiteral("pattern %1").arg(pattern)));
  }
}

void ShippedSongsTest::demo_pitchedNotes_stayInAMinor() {
  TVNSong song;
  QVERIFY(Load(song, "song73.vnl"));
  const std::set<int> scale{9, 11, 0, 2, 4, 5, 7};
  int notes = 0;
  for (int pattern = 0; pattern < song.PatternsCount(); ++pattern)
    for (int t = 0; t < song.TracksCount(); ++t) {
      if (song.GetTrackType(t) != ttNote) continue;
      if (song.GetMidiChannel(song.GetTrackChannel(t)) == PercussionMidiChannel) continue;
      for (int row = 0; row <= song.LastRow(pattern); ++row) {
        const int v = song.CellData(pattern, t, row);
        if (v > 127) continue;
        ++notes;
        QVERIFY2(scale.count(v % 12), qPrintable(QStringLiteral("pattern %1 track %2 row %3: %4")
                                                     .arg(pattern).arg(t).arg(row).arg(v)));
      }
    }
  QVERIFY(notes > 150);
}

void ShippedSongsTest::demo_render_soundsThroughout() {
  TVNSong song;
  QVERIFY(Load(song, "song73.vnl"));
  SynthSettings settings;
  int result = 0;
  auto synth = GmSynth::Create(settings, result);
  if (!synth && result == DeviceNoSoundFont) QSKIP("no General MIDI SoundFont installed");
  QVERIFY(synth);
  GmRenderSynth render(*synth);
  QTemporaryDir dir;
  const QString wav = dir.filePath(QStringLiteral("demo.wav"));
  QVERIFY(RenderSong(song, render, RenderOptions{}, wav.toStdString()));

  int rate = 0;
  const std::vector<int16_t> samples = Samples(wav, rate);
  QCOMPARE(rate, 44100);
  // From the loop start to the end once: 7 positions of 64 rows at 104 BPM, 4 rows per beat.
  const double seconds = double(samples.size()) / 2 / rate;
  QVERIFY2(std::abs(seconds - 7 * 64 * 60.0 / 104 / 4) < 0.5, qPrintable(QString::number(seconds)));
  // Sound in every second, never clipped.
  const size_t window = size_t(rate) * 2;
  for (size_t at = 0; at + window <= samples.size(); at += window) {
    double sum = 0;
    int peak = 0;
    for (size_t i = at; i < at + window; ++i) {
      sum += double(samples[i]) * samples[i];
      peak = std::max(peak, std::abs(int(samples[i])));
    }
    const double dbfs = 20 * std::log10(std::sqrt(sum / double(window)) / 32768 + 1e-12);
    QVERIFY2(dbfs > -45, qPrintable(QStringLiteral("%1 s: %2 dBFS").arg(double(at) / 2 / rate).arg(dbfs)));
    QVERIFY(peak < 32767);
  }
}

QTEST_MAIN(ShippedSongsTest)
#include "shipped_songs_test.moc"
