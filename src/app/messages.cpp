#include "app/messages.h"

#include <cstdio>
#include <string>

namespace ot {

namespace {

// One write per line, so that lines from different sources never interleave mid-line.
void write_line(std::FILE* stream, std::string_view prefix, std::string_view text) {
  std::string line;
  line.reserve(prefix.size() + text.size() + 1);
  line.append(prefix).append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace

void print_error(std::string_view text) {
  write_line(stderr, "error: ", text);
}
void print_warning(std::string_view text) {
  write_line(stderr, "warning: ", text);
}
void print_line(std::string_view text) {
  write_line(stderr, "", text);
}

void write_stdout(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace ot
