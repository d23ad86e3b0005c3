// A small streaming JSON writer for the command-line tool. Objects put one member per line;
// arrays of plain values stay on one line, arrays of arrays or objects put one element per line,
// so a song dump stays readable and diffable without a pretty-printer.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace varnel::cli {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}
  ~JsonWriter() { Flush(); }
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view name);
  JsonWriter& Int(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  // UTF-8 text; bytes that are not valid UTF-8 are written as U+FFFD so the document stays valid.
  JsonWriter& String(std::string_view utf8);

  // Convenience: a key followed by a value.
  template <class T>
    requires std::is_integral_v<T>
  JsonWriter& Member(std::string_view name, T value) {
    if constexpr (std::is_same_v<T, bool>)
      return Key(name).Bool(value);
    else
      return Key(name).Int(int64_t(value));
  }
  JsonWriter& Member(std::string_view name, std::string_view utf8) { return Key(name).String(utf8); }

  // Ends the document with a line break and hands the text to the stream.
  void Finish();
  void Flush();

 private:
  struct Level {
    bool isObject;
    int count = 0;
    bool broken = false;  // elements on their own lines
  };
  void BeforeValue(bool isContainer);
  void NewLine(size_t depth);
  void Close(char bracket);

  std::ostream& out_;
  std::string buffer_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
};

// Appends s to out as the body of a JSON string (no quotes), escaping what JSON requires.
void AppendJsonEscaped(std::string& out, std::string_view utf8);

}  // namespace varnel::cli
