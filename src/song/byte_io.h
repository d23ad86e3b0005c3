// Big-endian byte streams for the song file and the MIDI file code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnel {

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  void u8(unsigned v) { out_.push_back(uint8_t(v)); }
  void u16(unsigned v) {
    out_.push_back(uint8_t(v >> 8));
    out_.push_back(uint8_t(v));
  }
  void u32(uint32_t v) {
    u16(v >> 16);
    u16(v & 0xFFFF);
  }
  void bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
  }
  void text(const std::string& s) { bytes(s.data(), s.size()); }

 private:
  std::vector<uint8_t>& out_;
};

// Reads from a byte span; any read past the end throws ByteReader::PastEnd.
class ByteReader {
 public:
  struct PastEnd {};

  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  size_t position() const { return pos_; }
  size_t remaining() const { return data_.size() - pos_; }
  bool atEnd() const { return pos_ >= data_.size(); }

  uint8_t u8() {
    need(1);
    return data_[pos_++];
  }
  uint16_t u16() {
    need(2);
    const uint16_t v = uint16_t(data_[pos_] << 8 | data_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  uint32_t u32() {
    const uint32_t high = u16();
    return high << 16 | u16();
  }
  std::span<const uint8_t> bytes(size_t count) {
    need(count);
    auto s = data_.subspan(pos_, count);
    pos_ += count;
    return s;
  }
  std::string text(size_t count) {
    auto s = bytes(count);
    return std::string(s.begin(), s.end());
  }
  void skip(size_t count) { bytes(count); }

 private:
  void need(size_t count) const {
    if (count > remaining()) throw PastEnd{};
  }
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

}  // namespace varnel
