// Song texts are kept as the bytes the file holds; these helpers show and cut them safely.
#pragma once

#include <cstddef>
#include <string>

namespace varnel {

bool IsValidUtf8(const std::string& bytes);

// UTF-8 for display: the bytes themselves when they are valid UTF-8, else read as Windows-1252.
std::string DisplayText(const std::string& bytes);

// The first maxBytes bytes; valid UTF-8 text is cut before a character that would be split.
std::string CutText(const std::string& bytes, size_t maxBytes);

// The localized name of the system synthesizer, in code page 1251, and the name the file carries for it.
extern const std::string LocalizedSynthName;
extern const std::string EnglishSynthName;

}  // namespace varnel
