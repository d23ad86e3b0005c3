#include "cli/json_writer.h"

#include <charconv>

namespace varnel::cli {

namespace {

constexpr size_t FlushThreshold = 1 << 16;

// Length of the well-formed UTF-8 sequence at s[i], or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;   // overlong
    if (b0 == 0xED) high = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;   // overlong
    if (b0 == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return length;
}

}  // namespace

void AppendJsonEscaped(std::string& out, std::string_view s) {
  static constexpr char hex[] = "0123456789abcdef";
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(s, i);
      if (length == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(s.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += char(c);
        }
    }
    ++i;
  }
}

void JsonWriter::NewLine(size_t depth) {
  buffer_ += '\n';
  buffer_.append(depth * 2, ' ');
}

void JsonWriter::BeforeValue(bool isContainer) {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (level.count == 0) level.broken = isContainer;
  if (level.count > 0) buffer_ += level.broken ? "," : ", ";
  if (level.broken) NewLine(levels_.size());
  ++level.count;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  Level& level = levels_.back();
  if (level.count > 0) buffer_ += ',';
  NewLine(levels_.size());
  ++level.count;
  buffer_ += '"';
  AppendJsonEscaped(buffer_, name);
  buffer_ += "\": ";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue(true);
  buffer_ += '{';
  levels_.push_back({true, 0, true});
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue(true);
  buffer_ += '[';
  levels_.push_back({false});
  return *this;
}

void JsonWriter::Close(char bracket) {
  const Level level = levels_.back();
  levels_.pop_back();
  if (level.broken && level.count > 0) NewLine(levels_.size());
  buffer_ += bracket;
  if (buffer_.size() >= FlushThreshold) Flush();
}

JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
  BeforeValue(false);
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  buffer_.append(digits, result.ptr);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue(false);
  buffer_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue(false);
  buffer_ += "null";
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
  BeforeValue(false);
  buffer_ += '"';
  AppendJsonEscaped(buffer_, utf8);
  buffer_ += '"';
  return *this;
}

void JsonWriter::Finish() {
  buffer_ += '\n';
  Flush();
  out_.flush();
}

void JsonWriter::Flush() {
  out_.write(buffer_.data(), std::streamsize(buffer_.size()));
  buffer_.clear();
}

}  // namespace varnel::cli
