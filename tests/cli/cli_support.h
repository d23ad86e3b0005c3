// Running the built varnel-cli from tests, and a strict little JSON reader for its output.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <sys/wait.h>

#include "support/song_builders.h"

namespace varnel::test {

struct CliResult {
  int exit = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuoted(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string FileText(const std::string& path) {
  const auto bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

inline CliResult RunCli(const std::vector<std::string>& args) {
  static int runs = 0;
  const std::string out = TempPath("stdout" + std::to_string(runs)), err = TempPath("stderr" + std::to_string(runs));
  ++runs;
  std::string command = ShellQuoted(VARNEL_CLI);
  for (const auto& arg : args) command += ' ' + ShellQuoted(arg);
  command += " >" + ShellQuoted(out) + " 2>" + ShellQuoted(err) + " </dev/null";
  const int status = std::system(command.c_str());
  CliResult result;
  result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  result.out = FileText(out);
  result.err = FileText(err);
  return result;
}

// A parsed JSON value. Numbers are kept as integers: the tool writes no others.
struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool boolean = false;
  int64_t number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  bool Has(const std::string& key) const {
    for (const auto& m : members)
      if (m.first == key) return true;
    return false;
  }
  const Json& operator[](const std::string& key) const {
    for (const auto& m : members)
      if (m.first == key) return m.second;
    throw std::runtime_error("no member " + key);
  }
  const Json& operator[](size_t i) const { return items.at(i); }
  size_t size() const { return kind == Object ? members.size() : items.size(); }
  std::vector<int64_t> Ints() const {
    std::vector<int64_t> values;
    for (const auto& item : items) values.push_back(item.number);
    return values;
  }
};

// Throws std::runtime_error on anything RFC 8259 does not allow, including invalid UTF-8.
class JsonReader {
 public:
  static Json Parse(const std::string& text) {
    JsonReader reader(text);
    Json value = reader.Value();
    reader.Space();
    if (reader.at_ != text.size()) reader.Fail("text after the document");
    return value;
  }

 private:
  explicit JsonReader(const std::string& text) : s_(text) {}
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at byte " + std::to_string(at_));
  }
  void Space() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ < s_.size() && s_[at_] == c) return ++at_, true;
    return false;
  }
  void Expect(char c) {
    if (!Take(c)) Fail(std::string("expected ") + c);
  }
  bool Word(const char* word) {
    const std::string w(word);
    if (s_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  Json Value() {
    Space();
    Json v;
    if (at_ >= s_.size()) Fail("unexpected end");
    const char c = s_[at_];
    if (c == '{') {
      v.kind = Json::Object;
      ++at_;
      if (Take('}')) return v;
      do {
        Space();
        std::string key = Str();
        Expect(':');
        v.members.emplace_back(std::move(key), Value());
      } while (Take(','));
      Expect('}');
    } else if (c == '[') {
      v.kind = Json::Array;
      ++at_;
      if (Take(']')) return v;
      do v.items.push_back(Value());
      while (Take(','));
      Expect(']');
    } else if (c == '"') {
      v.kind = Json::String;
      v.text = Str();
    } else if (Word("true")) {
      v.kind = Json::Bool;
      v.boolean = true;
    } else if (Word("false")) {
      v.kind = Json::Bool;
    } else if (Word("null")) {
      v.kind = Json::Null;
    } else {
      v.kind = Json::Number;
      size_t start = at_;
      if (s_[at_] == '-') ++at_;
      if (at_ >= s_.size() || s_[at_] < '0' || s_[at_] > '9') Fail("bad value");
      if (s_[at_] == '0' && at_ + 1 < s_.size() && s_[at_ + 1] >= '0' && s_[at_ + 1] <= '9') Fail("leading zero");
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
      v.number = std::stoll(s_.substr(start, at_ - start));
    }
    return v;
  }
  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6)), out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | (cp >> 12)), out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | (cp >> 18)), out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
    }
  }
  uint32_t Hex4() {
    if (at_ + 4 > s_.size()) Fail("short \\u escape");
    uint32_t cp = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[at_++];
      int digit = -1;
      if (h >= '0' && h <= '9') digit = h - '0';
      if (h >= 'a' && h <= 'f') digit = h - 'a' + 10;
      if (h >= 'A' && h <= 'F') digit = h - 'A' + 10;
      if (digit < 0) Fail("bad hex digit");
      cp = cp * 16 + uint32_t(digit);
    }
    return cp;
  }
  std::string Str() {
    if (at_ >= s_.size() || s_[at_] != '"') Fail("expected a string");
    ++at_;
    std::string out;
    while (true) {
      if (at_ >= s_.size()) Fail("unterminated string");
      const auto c = static_cast<unsigned char>(s_[at_]);
      if (c == '"') return ++at_, out;
      if (c < 0x20) Fail("raw control character in a string");
      if (c == '\\') {
        if (++at_ >= s_.size()) Fail("unterminated escape");
        const char e = s_[at_++];
        switch (e) {
          case '"': case '\\': case '/': out += e; break;
          case 'b': out += '\b'; break;
          case 'f': out += '\f'; break;
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case 'u': {
            uint32_t cp = Hex4();
            if (cp >= 0xD800 && cp <= 0xDBFF) {
              if (!Word("\\u")) Fail("lone surrogate");
              const uint32_t low = Hex4();
              if (low < 0xDC00 || low > 0xDFFF) Fail("bad surrogate pair");
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
              Fail("lone surrogate");
            }
            AppendUtf8(out, cp);
            break;
          }
          default: Fail("bad escape");
        }
        continue;
      }
      const size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
      if (length == 0 || at_ + length > s_.size()) Fail("invalid UTF-8");
      for (size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(s_[at_ + k]) & 0xC0) != 0x80) Fail("invalid UTF-8");
      const auto b1 = static_cast<unsigned char>(s_[at_ + 1 < s_.size() ? at_ + 1 : at_]);
      if ((c == 0xE0 && b1 < 0xA0) || (c == 0xED && b1 > 0x9F) || (c == 0xF0 && b1 < 0x90) || (c == 0xF4 && b1 > 0x8F))
        Fail("invalid UTF-8");
      out.append(s_, at_, length);
      at_ += length;
    }
  }

  const std::string& s_;
  size_t at_ = 0;
};

}  // namespace varnel::test
