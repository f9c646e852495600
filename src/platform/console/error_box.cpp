#include <cstdio>

#include "platform/error_box.h"

namespace ot::platform {

void show_error_box(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace ot::platform
