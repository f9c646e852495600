// Program entry: finding and reading the data files, opening the archive, the fatal error path.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "assets/archive.h"
#include "assets/data_error.h"
#include "assets/data_files.h"

namespace ot {

// How a fatal start-up error is shown: chosen by the program front.
enum class FatalStyle { Console, MessageBox, Silent };

struct LoadedData {
  std::filesystem::path data_directory;
  ResourceArchive archive;
  std::vector<std::uint8_t> executable;  // TOBELUND.SCR; read and released by start-up
};

// Steps of load_data that can be run without ending the process.
struct LoadFailure {
  DataError error;
  bool from_data_files = false;
};
std::expected<LoadedData, LoadFailure> try_load_data(
    std::span<const std::filesystem::path> candidates);

// Finds and reads the data files and opens the archive; on failure ends through fail_startup.
LoadedData load_data(ProgramKind program, FatalStyle style);

// The text of the screensaver's error box; for missing data files with APPDATA set, creates
// "OpenTobelund" there and adds the advice where to copy the files.
std::string error_box_text(const DataError& error, bool from_data_files);

[[noreturn]] void fail_startup(FatalStyle style, const DataError& error, bool from_data_files);
// For errors that are not data errors (the event loop's): shown by their own text, no hint.
[[noreturn]] void fail_startup(FatalStyle style, std::string_view display_text);

inline constexpr int kExitNormal = 0;
inline constexpr int kExitStartupError = 1;
inline constexpr int kExitUsage = 2;

}  // namespace ot
