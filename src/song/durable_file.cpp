#include "song/durable_file.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace varnel {

namespace {

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const unsigned long pid = 0;
#else
  const unsigned long pid = static_cast<unsigned long>(::getpid());
#endif
  return path + ".tmp" + std::to_string(pid) + "-" + std::to_string(counter++);
}

#ifndef _WIN32
bool WriteAll(int fd, std::span<const uint8_t> data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) return false;
    done += size_t(n);
  }
  return true;
}

void SyncFolderOf(const std::string& path) {
  const auto folder = std::filesystem::path(path).parent_path();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
#endif

}  // namespace

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  const std::string temporary = TemporaryName(path);
#ifdef _WIN32
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
#else
  mode_t mode = 0666;
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    if (!S_ISREG(existing.st_mode)) return false;
    mode = existing.st_mode & 07777;
  }
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, data) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written) {
    ::unlink(temporary.c_str());
    return false;
  }
#endif
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
#ifndef _WIN32
  SyncFolderOf(path);
#endif
  return true;
}

bool ReadFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out) {
  out.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (!error) out.reserve(size_t(std::min<uintmax_t>(size, maxBytes)));
  constexpr size_t chunk = 1 << 20;
  while (out.size() < maxBytes) {
    const size_t want = std::min(chunk, maxBytes - out.size());
    const size_t old = out.size();
    out.resize(old + want);
    in.read(reinterpret_cast<char*>(out.data() + old), std::streamsize(want));
    out.resize(old + size_t(in.gcount()));
    if (in.eof()) return true;
    if (!in) return false;
  }
  return true;
}

}  // namespace varnel
