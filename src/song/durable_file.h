// Writing a file so that a failure never destroys the previous version.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnel {

// Writes to a temporary file beside the target; Commit flushes it to the disk and renames it over
// the target. Until then, and whenever anything fails, the target is untouched; an uncommitted
// temporary file is removed.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool Write(std::span<const uint8_t> data);
  bool Commit();
  // Why writing or committing failed, as the system says it ("Permission denied", ...).
  const std::string& Error() const { return error_; }

 private:
  void Discard();

  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  bool failed_ = false;
  std::string error_;
};

// The whole of data through an AtomicFileWriter.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data);

// Reads the file, at most its first maxBytes bytes; false when it cannot be opened or read (with
// the system's reason in `why` when given).
bool ReadFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string* why = nullptr);

}  // namespace varnel
