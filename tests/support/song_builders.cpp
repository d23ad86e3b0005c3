#include "support/song_builders.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>
#include <unistd.h>

namespace varnel::test {

void MakeSong(TVNSong& song, int channels, int rows) { song.Reset(channels, rows, true); }

void LoadTracklessChannels(TVNSong& s) {
  s.AddTrack(s.TracksCount() - 1, ttNote, -1, -1);
  std::vector<uint8_t> bytes = s.EncodeFile();
  const int c = s.ChannelsCount(), t = s.TracksCount() - 1;
  const size_t trackChannel = 19 + 16 * 10 + c * 4 + s.PatternsCount() * 2 + c * s.OrderLength() * 2 + t * 2 + 1;
  ASSERT_EQ(bytes.at(trackChannel), c - 1);
  bytes[trackChannel] = 5;
  ASSERT_TRUE(s.LoadFromBytes(bytes, "trackless.vnl"));
  ASSERT_EQ(s.ChannelsCount(), 6);
}

Bytes& Bytes::u8(int v) {
  data.push_back(uint8_t(v));
  return *this;
}
Bytes& Bytes::u16(int v) {
  data.push_back(uint8_t(v >> 8));
  data.push_back(uint8_t(v));
  return *this;
}
Bytes& Bytes::text(const std::string& s) {
  data.insert(data.end(), s.begin(), s.end());
  return *this;
}
Bytes& Bytes::shortString(const std::string& s) { return u8(int(s.size())).text(s); }
Bytes& Bytes::longString(const std::string& s) { return u16(int(s.size())).text(s); }
Bytes& Bytes::fill(size_t count, int v) {
  data.insert(data.end(), count, uint8_t(v));
  return *this;
}

std::string TempPath(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
  auto dir = std::filesystem::temp_directory_path() / ("varnel-tests-" + std::to_string(::getpid())) / test;
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace varnel::test
