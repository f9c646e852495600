// The one place that writes message lines to standard error.
#pragma once

#include <string_view>

namespace ot {

void print_error(std::string_view text);    // "error: {}"
void print_warning(std::string_view text);  // "warning: {}"
void print_line(std::string_view text);     // the line as given, e.g. "saved {}"

// Whole text to standard output, byte for byte.
void write_stdout(std::string_view text);

}  // namespace ot
