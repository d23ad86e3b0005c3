#include "song/reporter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace varnel {

bool TraceEnabled() {
  static const bool enabled = [] {
    const char* v = std::getenv("VARNEL_TRACE");
    return v != nullptr && std::strcmp(v, "1") == 0;
  }();
  return enabled;
}

void TraceLine(const std::string& line) {
  if (TraceEnabled()) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace varnel
