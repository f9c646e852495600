// A fresh directory under the system's temporary directory, removed with everything in it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace ot::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void write_file(const std::filesystem::path& path, std::string_view text);
std::vector<std::uint8_t> read_file(const std::filesystem::path& path);

}  // namespace ot::test
