// Shared pieces of the tool's subcommands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "assets/archive.h"
#include "assets/data_error.h"

namespace ot::tool {

inline constexpr int kFailed = 1;
inline constexpr int kBadUsage = 2;  // the dispatcher prints the usage text

// Prints "error: {}" with the error's display text; returns kFailed.
int fail(const DataError& error);
int fail(std::string_view text);

// DIR's RESOURCE.MAP and RESOURCE.001, found in any letter case.
Result<ResourceArchive> open_directory(std::string_view dir);

// Writes a whole file; on failure prints "error: cannot write {}: {}" and returns false.
bool write_output(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

int list(std::string_view dir);
int chunk(std::string_view dir, std::string_view name, std::string_view tag, bool decompress);
int extract(std::string_view dir, std::string_view name, std::string_view out_dir);
int exe(std::string_view dir);
int sound(std::string_view dir, std::string_view number, std::string_view out_path);
int present(std::span<const std::string_view> args);  // DIR LAYER W H OUT.png [--dedither]
int disasm(std::string_view dir, std::string_view name);

}  // namespace ot::tool
