// Finding the screensaver's data directory and reading its three files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "assets/data_error.h"

namespace ot {

inline constexpr std::string_view kExecutableFile = "TOBELUND.SCR";
inline constexpr std::string_view kMapFile = "RESOURCE.MAP";
inline constexpr std::string_view kArchiveFile = "RESOURCE.001";
inline constexpr std::size_t kMaxDataFileSize = 0x4000000;  // 64 MiB, inclusive
inline constexpr std::size_t kMinArchiveSize = 0x400;  // below this: the installer's placeholder

// Which program is searching: the screensaver also looks in "OpenTobelund" under APPDATA.
enum class ProgramKind { Console, Screensaver };

struct DataFiles {
  std::vector<std::uint8_t> executable;  // TOBELUND.SCR
  std::vector<std::uint8_t> map;         // RESOURCE.MAP
  std::vector<std::uint8_t> archive;     // RESOURCE.001
};

struct LoadedFiles {
  std::filesystem::path data_directory;
  DataFiles files;
};

// The running program's directory, or "." when it cannot be determined.
std::filesystem::path executable_directory();

std::vector<std::filesystem::path> candidate_directories(ProgramKind program);

// A path as text for messages: invalid sequences become U+FFFD.
std::string display_path(const std::filesystem::path& path);

Result<std::filesystem::path> find_data_directory(
    std::span<const std::filesystem::path> candidates);

// Reads `name` from `directory`, matching the directory entry without regard to ASCII case.
Result<std::vector<std::uint8_t>> read_data_file(const std::filesystem::path& directory,
                                                 std::string_view name);

Result<LoadedFiles> load_data_files(std::span<const std::filesystem::path> candidates);
Result<LoadedFiles> load_data_files(ProgramKind program);

}  // namespace ot
