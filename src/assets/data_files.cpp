#include "assets/data_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "assets/text.h"

namespace fs = std::filesystem;

#ifdef _WIN32
extern "C" __declspec(dllimport) unsigned long __stdcall GetModuleFileNameW(void*, wchar_t*,
                                                                            unsigned long);
#endif

namespace ot {

namespace {

std::string entry_name_text(const fs::path& name) {
#ifdef _WIN32
  const std::wstring& w = name.native();
  return utf16_to_text(std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size()));
#else
  return to_text(std::string_view(name.native()));
#endif
}

// The first entry of `directory` whose name equals `name` without regard to ASCII case. An
// error part-way through the listing ends the scan. nullopt: the directory cannot be listed.
std::optional<std::optional<fs::path>> find_entry(const fs::path& directory, std::string_view name,
                                                  std::error_code& ec) {
  fs::directory_iterator it(directory, ec);
  if (ec) return std::nullopt;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path filename = it->path().filename();
    const std::string text = entry_name_text(filename);
    if (text == "." || text == "..") continue;
    if (ascii_iequal(text, name)) return std::optional<fs::path>(it->path());
    if (ec) break;
  }
  return std::optional<fs::path>();
}

std::string error_text(const std::error_code& ec) {
  return ec.message();
}

}  // namespace

fs::path executable_directory() {
  fs::path exe;
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const unsigned long n =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<unsigned long>(buffer.size()));
  if (n > 0 && n < buffer.size()) exe = fs::path(buffer.substr(0, n));
#else
  std::error_code ec;
  exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe.clear();
#endif
  fs::path dir = exe.parent_path();
  if (dir.empty()) return fs::path(".");
  return dir;
}

std::vector<fs::path> candidate_directories(ProgramKind program) {
  std::vector<fs::path> dirs{executable_directory()};
  if (program == ProgramKind::Screensaver) {
#ifdef _WIN32
    if (const wchar_t* appdata = _wgetenv(L"APPDATA"))
      dirs.push_back(fs::path(appdata) / "OpenTobelund");
#else
    if (const char* appdata = std::getenv("APPDATA"))
      dirs.push_back(fs::path(appdata) / "OpenTobelund");
#endif
  }
  return dirs;
}

std::string display_path(const fs::path& path) {
  return entry_name_text(path);
}

Result<fs::path> find_data_directory(std::span<const fs::path> candidates) {
  for (const fs::path& dir : candidates) {
    std::error_code ec;
    auto found = find_entry(dir, kExecutableFile, ec);
    if (found && *found) return dir;
  }
  std::string joined;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (i > 0) joined += " or ";
    joined += display_path(candidates[i]);
  }
  return missing(std::string(kExecutableFile) + " in " + joined);
}

Result<std::vector<std::uint8_t>> read_data_file(const fs::path& directory, std::string_view name) {
  std::error_code ec;
  auto found = find_entry(directory, name, ec);
  if (!found) {
    return missing("screensaver directory " + display_path(directory) + " (" + error_text(ec) +
                   ")");
  }
  if (!*found) return missing(std::string(name) + " in " + display_path(directory));
  const fs::path& path = **found;

  const fs::file_status status = fs::status(path, ec);
  if (ec) return std::unexpected(DataError::io(error_text(ec)));
  const auto implausible = [&] {
    return invalid(std::string(name) + " is not a regular file of a plausible size");
  };
  if (!fs::is_regular_file(status)) return implausible();
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return std::unexpected(DataError::io(error_text(ec)));
  if (size > kMaxDataFileSize) return implausible();

#ifdef _WIN32
  std::FILE* file = _wfopen(path.c_str(), L"rb");
#else
  std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
  if (file == nullptr) {
    return std::unexpected(
        DataError::io(error_text(std::error_code(errno, std::generic_category()))));
  }
  // Read to the end, not just `size` bytes: the file may change under us. One byte past the cap
  // is enough to know it has grown too large.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 1);
  std::size_t total = 0;
  for (;;) {
    if (total == bytes.size()) {
      if (bytes.size() > kMaxDataFileSize) break;
      bytes.resize(std::min(bytes.size() * 2, kMaxDataFileSize + 1));
    }
    const std::size_t n = std::fread(bytes.data() + total, 1, bytes.size() - total, file);
    total += n;
    if (n == 0) break;
  }
  const bool failed = std::ferror(file) != 0;
  const int read_errno = errno;
  std::fclose(file);
  if (failed) {
    return std::unexpected(DataError::io(
        error_text(std::error_code(read_errno ? read_errno : EIO, std::generic_category()))));
  }
  if (total > kMaxDataFileSize) return implausible();
  bytes.resize(total);
  return bytes;
}

Result<LoadedFiles> load_data_files(std::span<const fs::path> candidates) {
  auto dir = find_data_directory(candidates);
  if (!dir) return std::unexpected(std::move(dir.error()));
  LoadedFiles loaded{*dir, {}};
  for (auto [name, target] :
       {std::pair{kExecutableFile, &loaded.files.executable},
        std::pair{kMapFile, &loaded.files.map}, std::pair{kArchiveFile, &loaded.files.archive}}) {
    auto bytes = read_data_file(loaded.data_directory, name);
    if (!bytes) return std::unexpected(std::move(bytes.error()));
    *target = std::move(*bytes);
  }
  if (loaded.files.archive.size() < kMinArchiveSize) {
    return invalid("RESOURCE.001 is the installer placeholder; install the screensaver first");
  }
  return loaded;
}

Result<LoadedFiles> load_data_files(ProgramKind program) {
  const std::vector<fs::path> candidates = candidate_directories(program);
  return load_data_files(candidates);
}

}  // namespace ot
