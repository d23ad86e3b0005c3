#include "song/durable_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace varnel {

namespace {

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const unsigned long pid = static_cast<unsigned long>(_getpid());
#else
  const unsigned long pid = static_cast<unsigned long>(::getpid());
#endif
  return path + ".tmp" + std::to_string(pid) + "-" + std::to_string(counter++);
}

#ifdef _WIN32
int OpenNew(const std::string& path, int) {
  return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const uint8_t* data, size_t size) { return _write(fd, data, unsigned(std::min<size_t>(size, 1 << 30))); }
bool Flush(int fd) { return _commit(fd) == 0; }
int Close(int fd) { return _close(fd); }
void SyncFolderOf(const std::string&) {}
#else
int OpenNew(const std::string& path, int mode) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode));
}
long WriteSome(int fd, const uint8_t* data, size_t size) { return long(::write(fd, data, size)); }
bool Flush(int fd) { return ::fsync(fd) == 0; }
int Close(int fd) { return ::close(fd); }
// The rename itself is only durable once the folder is.
void SyncFolderOf(const std::string& path) {
  const auto folder = std::filesystem::path(path).parent_path();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
#endif

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)), temporary_(TemporaryName(path_)) {
  int mode = 0666;
  std::error_code error;
  const auto status = std::filesystem::status(path_, error);
  if (!error && std::filesystem::exists(status)) {
    // Only a file is replaced, and it keeps its permissions.
    if (!std::filesystem::is_regular_file(status)) {
      failed_ = true;
      error_ = "it is not a file";
      return;
    }
    mode = int(status.permissions() & std::filesystem::perms::mask);
  }
  fd_ = OpenNew(temporary_, mode);
  failed_ = fd_ < 0;
  if (failed_) error_ = std::strerror(errno);
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    Close(fd_);
    fd_ = -1;
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
  }
  failed_ = true;
}

bool AtomicFileWriter::Write(std::span<const uint8_t> data) {
  size_t done = 0;
  while (!failed_ && done < data.size()) {
    const long n = WriteSome(fd_, data.data() + done, data.size() - done);
    if (n <= 0) {
      error_ = n < 0 ? std::strerror(errno) : "the disk is full";
      Discard();
    } else {
      done += size_t(n);
    }
  }
  return !failed_;
}

bool AtomicFileWriter::Commit() {
  if (failed_) return false;
  const bool flushed = Flush(fd_);
  if (!flushed) error_ = std::strerror(errno);
  const bool closed = Close(fd_) == 0;
  if (flushed && !closed) error_ = std::strerror(errno);
  fd_ = -1;
  std::error_code error;
  if (flushed && closed) std::filesystem::rename(temporary_, path_, error);
  if (error) error_ = error.message();
  if (!flushed || !closed || error) {
    std::filesystem::remove(temporary_, error);
    failed_ = true;
    return false;
  }
  SyncFolderOf(path_);
  failed_ = true;  // committed: nothing more to write or remove
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  AtomicFileWriter file(path);
  return file.Write(data) && file.Commit();
}

bool ReadFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string* why) {
  out.clear();
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (why && errno != 0) *why = std::strerror(errno);
    return false;
  }
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  // One read of the whole file; a file that grows meanwhile is read to the size it had.
  out.resize(error ? 0 : size_t(std::min<uintmax_t>(size, maxBytes)));
  in.read(reinterpret_cast<char*>(out.data()), std::streamsize(out.size()));
  if (size_t(in.gcount()) != out.size()) return false;
  if (error) {
    // No size known (a pipe, say): read in pieces.
    char piece[1 << 16];
    while (out.size() < maxBytes && in.read(piece, sizeof piece).gcount() > 0)
      out.insert(out.end(), piece, piece + std::min<size_t>(size_t(in.gcount()), maxBytes - out.size()));
    return in.eof();
  }
  return true;
}

}  // namespace varnel
