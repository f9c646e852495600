// A modal error box with the caption "Open Tobelund". Until a windowing backend shows a real box,
// the text goes to standard error.
#pragma once

#include <string_view>

namespace ot::platform {

void show_error_box(std::string_view text);

}  // namespace ot::platform
