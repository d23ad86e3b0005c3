// The system backend where no MIDI system can be reached: it must list what it can, refuse what it
// cannot, and keep quiet about the missing system.
#include "devices/system_midi_backend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "devices/device_results.h"
#include "song/reporter.h"

namespace varnel {
namespace {

// Points JACK clients at a server that does not exist, whatever runs on the machine.
class NoJackServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("JACK_DEFAULT_SERVER")) old_ = old;
    setenv("JACK_DEFAULT_SERVER", ("varnel-absent-" + std::to_string(::getpid())).c_str(), 1);
  }
  void TearDown() override {
    if (old_.empty()) unsetenv("JACK_DEFAULT_SERVER");
    else setenv("JACK_DEFAULT_SERVER", old_.c_str(), 1);
  }
  static bool HasAlsaSequencer() { return std::filesystem::exists("/dev/snd/seq"); }

 private:
  std::string old_;
};

TEST_F(NoJackServer, Listing_NoMidiSystem_IsShortUniqueAndQuiet) {
  ::testing::internal::CaptureStderr();
  std::vector<std::string> outputs, inputs;
  {
    SystemMidiBackend backend;
    outputs = backend.OutputNames();
    inputs = backend.InputNames();
  }
  const std::string printed = ::testing::internal::GetCapturedStderr();
  if (!TraceEnabled()) {
    EXPECT_EQ(printed, "");
  }
  for (const auto* list : {&outputs, &inputs}) {
    EXPECT_EQ(std::set<std::string>(list->begin(), list->end()).size(), list->size());
    EXPECT_TRUE(std::none_of(list->begin(), list->end(), [](const std::string& name) { return name.empty(); }));
  }
  if (!HasAlsaSequencer()) {
    // Nothing could host the virtual port either, so it is not offered.
    EXPECT_EQ(outputs, std::vector<std::string>{});
    EXPECT_EQ(inputs, std::vector<std::string>{});
  }
}

TEST_F(NoJackServer, Open_IdOutsideTheListing_FailsWithBadDeviceId) {
  SystemMidiBackend backend;
  const int outputs = int(backend.OutputNames().size()), inputs = int(backend.InputNames().size());
  for (int id : {outputs, outputs + 7, -2, -100}) {
    int result = 0;
    EXPECT_EQ(backend.OpenOutput(id, result), nullptr) << id;
    EXPECT_EQ(result, DeviceBadId) << id;
  }
  for (int id : {inputs, inputs + 1, -1}) {
    int result = 0;
    EXPECT_EQ(backend.OpenInput(id, [](const ShortMessage&) {}, result), nullptr) << id;
    EXPECT_EQ(result, DeviceBadId) << id;
  }
}

}  // namespace
}  // namespace varnel
