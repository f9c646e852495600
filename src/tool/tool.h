// open-tobelund-tool: inspection of data files for owners, modders and tests.
#pragma once

#include <span>
#include <string_view>

namespace ot::tool {

// Runs one subcommand; returns the exit status (0, 1 for an error, 2 for bad usage).
int run(std::span<const std::string_view> args);

}  // namespace ot::tool
