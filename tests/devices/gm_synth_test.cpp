// The embedded synth: where it finds its SoundFont, what it renders, and how it fails.
#include "devices/gm_synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "devices/device_results.h"
#include "devices/system_midi_backend.h"
#include "song/reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

// Sets (or with nullopt removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "not really a SoundFont";
}

// The search environment pointed at an empty temporary tree.
struct IsolatedSearch {
  fs::path root = test::TempPath("search");
  ScopedEnv home{"XDG_DATA_HOME", (root / "home").string()};
  ScopedEnv dirs{"XDG_DATA_DIRS", (root / "a").string() + ":" + (root / "b").string()};
  ScopedEnv variable{"VARNEL_SOUNDFONT", std::nullopt};
};

TEST(SoundFontSearch, Candidates_AllSources_ComeInTheDocumentedOrder) {
  IsolatedSearch search;
  ScopedEnv variable("VARNEL_SOUNDFONT", "/env/gm.sf2");
  const std::string home = (search.root / "home").string(), a = (search.root / "a").string(),
                    b = (search.root / "b").string();
  const std::vector<std::string> expected = {
      "/set/gm.sf2", "/env/gm.sf2",
      home + "/sounds/sf2/default-GM.sf2", a + "/sounds/sf2/default-GM.sf2", b + "/sounds/sf2/default-GM.sf2",
      home + "/sounds/sf2/TimGM6mb.sf2", a + "/sounds/sf2/TimGM6mb.sf2", b + "/sounds/sf2/TimGM6mb.sf2",
      home + "/sounds/sf2/FluidR3_GM.sf2", a + "/sounds/sf2/FluidR3_GM.sf2", b + "/sounds/sf2/FluidR3_GM.sf2"};
  EXPECT_EQ(SoundFontCandidates("/set/gm.sf2"), expected);
}

TEST(SoundFontSearch, Candidates_NoXdgVariables_UseTheStandardDataDirs) {
  ScopedEnv home("XDG_DATA_HOME", std::nullopt), dirs("XDG_DATA_DIRS", std::nullopt),
      user("HOME", "/home/someone"), variable("VARNEL_SOUNDFONT", "");
  const auto candidates = SoundFontCandidates("");
  ASSERT_EQ(candidates.size(), 9u);
  EXPECT_EQ(candidates[0], "/home/someone/.local/share/sounds/sf2/default-GM.sf2");
  EXPECT_EQ(candidates[1], "/usr/local/share/sounds/sf2/default-GM.sf2");
  EXPECT_EQ(candidates[2], "/usr/share/sounds/sf2/default-GM.sf2");
  EXPECT_EQ(candidates[5], "/usr/share/sounds/sf2/TimGM6mb.sf2");
  EXPECT_EQ(candidates[8], "/usr/share/sounds/sf2/FluidR3_GM.sf2");
}

TEST(SoundFontSearch, Find_FilesPresent_TakesTheFirstExistingCandidate) {
  struct Case {
    const char* name;
    std::vector<std::string> files;  // relative to the temporary root
    bool setting, variable;          // point the setting / $VARNEL_SOUNDFONT at set.sf2 / env.sf2
    std::string expected;            // relative; empty: nothing found
  };
  const Case cases[] = {
      {"setting wins", {"set.sf2", "env.sf2", "b/sounds/sf2/default-GM.sf2"}, true, true, "set.sf2"},
      {"missing setting falls through", {"env.sf2"}, true, true, "env.sf2"},
      {"variable before data dirs", {"env.sf2", "home/sounds/sf2/default-GM.sf2"}, false, true, "env.sf2"},
      {"data home before data dirs", {"home/sounds/sf2/default-GM.sf2", "a/sounds/sf2/default-GM.sf2"}, false, false,
       "home/sounds/sf2/default-GM.sf2"},
      {"default link before TimGM6mb", {"a/sounds/sf2/TimGM6mb.sf2", "b/sounds/sf2/default-GM.sf2"}, false, false,
       "b/sounds/sf2/default-GM.sf2"},
      {"TimGM6mb before FluidR3", {"a/sounds/sf2/FluidR3_GM.sf2", "b/sounds/sf2/TimGM6mb.sf2"}, false, false,
       "b/sounds/sf2/TimGM6mb.sf2"},
      {"FluidR3 last", {"b/sounds/sf2/FluidR3_GM.sf2"}, false, false, "b/sounds/sf2/FluidR3_GM.sf2"},
      {"nothing anywhere", {}, true, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IsolatedSearch search;
    fs::remove_all(search.root);
    for (const auto& file : c.files) Touch(search.root / file);
    ScopedEnv variable("VARNEL_SOUNDFONT", c.variable ? std::optional((search.root / "env.sf2").string()) : std::nullopt);
    const std::string found = FindSoundFont(c.setting ? (search.root / "set.sf2").string() : "");
    EXPECT_EQ(found, c.expected.empty() ? "" : (search.root / c.expected).string());
  }
}

TEST(SoundFontSearch, Find_DirectoryWithTheName_IsNotTaken) {
  IsolatedSearch search;
  fs::create_directories(search.root / "a/sounds/sf2/default-GM.sf2");
  Touch(search.root / "b/sounds/sf2/TimGM6mb.sf2");
  EXPECT_EQ(FindSoundFont(""), (search.root / "b/sounds/sf2/TimGM6mb.sf2").string());
}

TEST(GmSynth, Create_OnlyUnloadableFiles_FailsQuietlyWithNoSoundFont) {
  IsolatedSearch search;
  Touch(search.root / "a/sounds/sf2/default-GM.sf2");  // text, not a SoundFont
  const fs::path damaged = search.root / "b/sounds/sf2/TimGM6mb.sf2";
  fs::create_directories(damaged.parent_path());
  std::ofstream(damaged, std::ios::binary) << std::string("RIFF\x20\0\0\0sfbkLIST", 16) << std::string(40, '\x7f');
  ::testing::internal::CaptureStderr();
  int result = 0;
  EXPECT_EQ(GmSynth::Create({}, result), nullptr);
  EXPECT_EQ(result, DeviceNoSoundFont);
  result = 0;
  EXPECT_EQ(EmbeddedSynthOutput::Open({}, result), nullptr);
  // The audio output is started before the SoundFont is loaded: a machine without one says so first.
  EXPECT_TRUE(result == DeviceNoSoundFont || result == DeviceNoAudio) << result;
  const std::string printed = ::testing::internal::GetCapturedStderr();
  if (!TraceEnabled()) {
    EXPECT_EQ(printed, "");
  }
}

template <class Change>
SynthSettings Settings(Change change) {
  SynthSettings settings;
  change(settings);
  return settings;
}

SynthSettings NoSuchDriver() {
  return Settings([](SynthSettings& s) { s.audioDriver = "varnel-no-such-driver"; });
}

// The installed General MIDI SoundFont, or empty.
std::string InstalledSoundFont() {
  ScopedEnv variable("VARNEL_SOUNDFONT", std::nullopt);
  return FindSoundFont("");
}

#define REQUIRE_SOUNDFONT()                                                              \
  const std::string soundFont = InstalledSoundFont();                                   \
  if (soundFont.empty()) GTEST_SKIP() << "no General MIDI SoundFont installed"

TEST(GmSynth, Create_UnloadableSetting_FallsBackToTheInstalledSoundFont) {
  REQUIRE_SOUNDFONT();
  const fs::path bad = test::TempPath("bad.sf2");
  Touch(bad);
  int result = -1;
  auto synth = GmSynth::Create(Settings([&](SynthSettings& s) { s.soundFont = bad.string(); }), result);
  ASSERT_NE(synth, nullptr);
  EXPECT_EQ(result, DeviceOk);
  EXPECT_EQ(synth->SoundFontPath(), soundFont);
}

TEST(GmSynth, Create_SampleRate_IsKeptOrClampedToTheValidRange) {
  REQUIRE_SOUNDFONT();
  for (auto [asked, expected] : {std::pair{48000.0, 48000.0}, {22050.0, 22050.0}, {1e9, 96000.0}, {0.0, 8000.0}}) {
    int result = -1;
    auto synth = GmSynth::Create(Settings([&](SynthSettings& s) { s.sampleRate = asked; }), result);
    ASSERT_NE(synth, nullptr);
    EXPECT_EQ(synth->SampleRate(), expected) << asked;
  }
}

// Renders `seconds` of audio and returns the RMS of both channels.
double RenderRms(GmSynth& synth, double seconds) {
  const int frames = int(seconds * synth.SampleRate());
  std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
  synth.RenderFrames(left.data(), right.data(), frames);
  double sum = 0;
  for (int i = 0; i < frames; ++i) sum += double(left[size_t(i)]) * left[size_t(i)] + double(right[size_t(i)]) * right[size_t(i)];
  return frames ? std::sqrt(sum / (2.0 * frames)) : 0;
}

std::vector<float> Render(GmSynth& synth, int frames) {
  std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
  synth.RenderFrames(left.data(), right.data(), frames);
  left.insert(left.end(), right.begin(), right.end());
  return left;
}

TEST(GmSynth, NoteOnThenOff_SoundsThenFallsSilent) {
  REQUIRE_SOUNDFONT();
  int result = -1;
  auto synth = GmSynth::Create({}, result);
  ASSERT_NE(synth, nullptr);
  EXPECT_LT(RenderRms(*synth, 0.1), 1e-6);
  synth->Send(MakeShortMessage(0xC0, 0, 0), SendNow);
  synth->Send(MakeShortMessage(0x90, 60, 100), SendNow);
  const double held = RenderRms(*synth, 0.5);
  EXPECT_GT(held, 0.005);
  synth->Send(MakeShortMessage(0x80, 60, 0), SendNow);
  RenderRms(*synth, 3.0);  // release and reverb tail
  EXPECT_LT(RenderRms(*synth, 0.1), held / 100);
}

// Each message kind must reach the synth: compared with the plain held note, the sound half a
// second after the note-on changes (or is gone).
TEST(GmSynth, ChannelMessages_ChangeWhatTheNoteSoundsLike) {
  REQUIRE_SOUNDFONT();
  const ShortMessage noteOn = MakeShortMessage(0x92, 64, 110);
  struct Case {
    const char* name;
    std::vector<ShortMessage> messages;  // the note-on is marked by `noteOn`
    bool silent;                         // (nearly) silent, else merely different
  };
  const Case cases[] = {
      {"program change", {MakeShortMessage(0xC2, 73, 0), noteOn}, false},
      {"pitch bend", {MakeShortMessage(0xE2, 0x7F, 0x7F), noteOn}, false},
      {"pan", {MakeShortMessage(0xB2, 10, 0), noteOn}, false},
      {"channel pressure", {noteOn, MakeShortMessage(0xD2, 127, 0)}, false},
      {"volume 0", {MakeShortMessage(0xB2, 7, 0), noteOn}, true},
      {"note-off", {noteOn, MakeShortMessage(0x82, 64, 64)}, true},
      {"note-on velocity 0", {noteOn, MakeShortMessage(0x92, 64, 0)}, true},
      {"all sound off", {noteOn, MakeShortMessage(0xB2, 120, 0)}, true},
      {"system reset", {noteOn, ShortMessage{{0xFF, 0, 0}, 1}}, true},
  };
  auto play = [](const std::vector<ShortMessage>& messages) {
    int result = -1;
    auto synth = GmSynth::Create({}, result);
    for (const auto& message : messages) synth->Send(message, SendNow);
    Render(*synth, int(synth->SampleRate() / 2));
    return Render(*synth, 4096);
  };
  auto energy = [](const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples) sum += double(s) * s;
    return sum;
  };
  const auto plain = play({noteOn});
  ASSERT_GT(energy(plain), 0.01);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto sound = play(c.messages);
    if (c.silent) EXPECT_LT(energy(sound), energy(plain) / 100);
    else EXPECT_NE(sound, plain);
  }
}

TEST(GmSynth, SameInput_RendersTheSameSamples) {
  REQUIRE_SOUNDFONT();
  int result = -1;
  auto first = GmSynth::Create({}, result), second = GmSynth::Create({}, result);
  for (GmSynth* synth : {first.get(), second.get()}) synth->Send(MakeShortMessage(0x90, 67, 90), SendNow);
  EXPECT_EQ(Render(*first, 2048), Render(*second, 2048));
}

TEST(EmbeddedSynthOutput, Open_UnknownAudioDriver_FailsWithNoAudio) {
  REQUIRE_SOUNDFONT();
  int result = 0;
  EXPECT_EQ(EmbeddedSynthOutput::Open(NoSuchDriver(), result), nullptr);
  EXPECT_EQ(result, DeviceNoAudio);
}

TEST(EmbeddedSynthOutput, MidiMapper_ThisMachinesAudio_OpensOrFailsWithACode) {
  SystemMidiBackend backend;
  int result = -1;
  auto output = backend.OpenOutput(-1, result);
  if (output) {
    EXPECT_EQ(result, DeviceOk);
    output->Send(MakeShortMessage(0x90, 60, 1), SendNow);
    output->Send(MakeShortMessage(0x80, 60, 0), SendNow);
  } else {
    EXPECT_TRUE(result == DeviceNoAudio || result == DeviceNoSoundFont) << result;
  }
}

TEST(EmbeddedSynthOutput, MidiMapper_UnknownAudioDriverSetting_ReportsNoAudio) {
  REQUIRE_SOUNDFONT();
  SystemMidiBackend backend(NoSuchDriver());
  int result = 0;
  EXPECT_EQ(backend.OpenOutput(-1, result), nullptr);
  EXPECT_EQ(result, DeviceNoAudio);
}

}  // namespace
}  // namespace varnel
