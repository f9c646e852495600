#include "app/settings.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/messages.h"
#include "assets/text.h"

namespace fs = std::filesystem;

namespace ot {

namespace {

constexpr std::string_view kSettingsFile = "TOBELUND.INI";
constexpr std::string_view kSection = "[ScreenSaver.Driftrevel]";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kMaxSettingsSize = 4096;

// The twelve stored keys in the order they are written. Exactly one of `flag` and `number` is
// set. Read values outside [low, high] make the file unusable.
struct Field {
  std::string_view key;  // as written; matched without regard to ASCII case
  std::int32_t low;
  std::int32_t high;
  bool Settings::*flag;
  std::int32_t Settings::*number;
};

constexpr Field kFields[] = {
    {"Background", 0, 1, &Settings::background, nullptr},
    {"Clouds", 0, 1, &Settings::clouds, nullptr},
    {"Waves", 0, 1, &Settings::waves, nullptr},
    {"Sounds", 0, 1, &Settings::sounds, nullptr},
    {"Dedither", 0, 1, &Settings::dedither, nullptr},
    {"SoftAudio", 0, 1, &Settings::soft_audio, nullptr},
    {"NumDays", 0, 11, nullptr, &Settings::calendar_day_count},
    {"Introduction", 0, 12, nullptr, &Settings::story_day},
    {"CurrentYear", 0, 9999, nullptr, &Settings::stored_year},
    {"CurrentMonth", 0, 12, nullptr, &Settings::stored_month},
    {"CurrentDay", 0, 31, nullptr, &Settings::stored_day},
    {"StartTime", 0, 2359, nullptr, &Settings::start_time},
};

bool accepts(const Field& field, std::int32_t value) {
  if (value < field.low || value > field.high) return false;
  // hhmm: the minutes must be a real minute.
  return field.number != &Settings::start_time || value % 100 < 60;
}

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool is_valid_utf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    // The decoder gives U+FFFD for a bad sequence; a U+FFFD actually stored is fine.
    if (next_scalar(text, pos) == 0xFFFD && text.substr(start, pos - start) != "\xEF\xBF\xBD") {
      return false;
    }
  }
  return true;
}

// `text` must be valid UTF-8.
std::string_view trim(std::string_view text) {
  std::size_t begin = std::string_view::npos;
  std::size_t end = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    if (!is_white_space(next_scalar(text, pos))) {
      if (begin == std::string_view::npos) begin = start;
      end = pos;
    }
  }
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, end - begin);
}

// Optional sign, then at least one decimal digit and nothing else, within 32 bits.
std::optional<std::int32_t> parse_int32(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const std::int64_t limit = negative ? 2147483648 : 2147483647;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

// The record the text holds, or nullopt when the file is unusable and must be replaced.
std::optional<Settings> parse_settings(std::string_view text) {
  if (!is_valid_utf8(text)) return std::nullopt;
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());

  Settings settings;
  bool in_section = false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t newline = text.find('\n', start);
    const std::size_t stop = newline == std::string_view::npos ? text.size() : newline;
    std::string_view line = text.substr(start, stop - start);
    start = stop + 1;
    if (newline != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    line = trim(line);
    if (line.empty()) continue;

    if (line.front() == '[') {
      in_section = ascii_iequal(line, kSection);
      continue;
    }
    if (!in_section) continue;

    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = trim(line.substr(0, equals));
    if (key.empty()) continue;
    const Field* field = nullptr;
    for (const Field& f : kFields) {
      if (ascii_iequal(key, f.key)) field = &f;
    }
    if (field == nullptr) continue;  // not ours: kept out of the record, whatever it says
    const std::optional<std::int32_t> value = parse_int32(trim(line.substr(equals + 1)));
    if (!value || !accepts(*field, *value)) return std::nullopt;
    if (field->flag != nullptr) {
      settings.*field->flag = *value != 0;
    } else {
      settings.*field->number = *value;
    }
  }
  return settings;
}

std::FILE* open_file(const fs::path& path, bool write) {
#ifdef _WIN32
  return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

std::error_code errno_code(int error) {
  return std::error_code(error != 0 ? error : EIO, std::generic_category());
}

// The whole file, or nullopt when it is missing, not a regular file, too long or unreadable.
std::optional<std::string> read_small_file(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::is_regular_file(status)) return std::nullopt;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxSettingsSize) return std::nullopt;

  std::FILE* file = open_file(path, false);
  if (file == nullptr) return std::nullopt;
  // One byte more than allowed tells a file that grew since its size was taken.
  std::string bytes(kMaxSettingsSize + 1, '\0');
  std::size_t total = 0;
  while (total < bytes.size()) {
    const std::size_t n = std::fread(bytes.data() + total, 1, bytes.size() - total, file);
    if (n == 0) break;
    total += n;
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || total > kMaxSettingsSize) return std::nullopt;
  bytes.resize(total);
  return bytes;
}

// Writes all of `text`, makes it durable and closes the file whatever happens.
std::error_code write_and_close(std::FILE* file, std::string_view text) {
  errno = 0;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
#ifdef _WIN32
  ok = ok && _commit(_fileno(file)) == 0;
#else
  ok = ok && fsync(fileno(file)) == 0;
#endif
  int error = ok ? 0 : errno;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  return ok ? std::error_code() : errno_code(error);
}

}  // namespace

bool same_stored_state(const Settings& a, const Settings& b) {
  return a.calendar_day_count == b.calendar_day_count && a.story_day == b.story_day &&
         a.story_day_mark == b.story_day_mark && a.stored_year == b.stored_year &&
         a.stored_month == b.stored_month && a.stored_day == b.stored_day &&
         a.start_time == b.start_time;
}

const fs::path& settings_path(ProgramKind program) {
  // Initialised once, by whichever thread asks first; later arguments do not matter.
  static const fs::path path = [program] {
    const std::vector<fs::path> candidates = candidate_directories(program);
    const Result<fs::path> data_directory = find_data_directory(candidates);
    return (data_directory ? *data_directory : executable_directory()) / kSettingsFile;
  }();
  return path;
}

Settings read_settings(const fs::path& path) {
  if (const std::optional<std::string> text = read_small_file(path)) {
    if (std::optional<Settings> settings = parse_settings(*text)) return *settings;
  }
  const Settings defaults;
  if (auto written = write_settings(defaults, path); !written) {
    print_warning("cannot write " + display_path(path) + ": " + written.error().message());
  }
  return defaults;
}

std::string settings_text(const Settings& settings) {
  std::string text(kSection);
  text += '\n';
  for (const Field& field : kFields) {
    std::int32_t value = 0;
    if (field.flag != nullptr) {
      value = settings.*field.flag ? 1 : 0;
    } else if (field.number == &Settings::story_day && settings.story_day_mark != 0) {
      value = settings.story_day_mark;
    } else {
      value = settings.*field.number;
    }
    text.append(field.key).append("=").append(std::to_string(value)).append("\n");
  }
  return text;
}

std::expected<void, std::error_code> write_settings(const Settings& settings,
                                                    const fs::path& path) {
  const std::string text = settings_text(settings);
  std::error_code ec;
  if (const fs::path directory = path.parent_path(); !directory.empty()) {
    fs::create_directories(directory, ec);
    if (ec) return std::unexpected(ec);
  }

  // "TOBELUND.INI" -> "TOBELUND.INI.tmp", beside it.
  fs::path temp = path;
  temp += ".tmp";
  // A leftover temporary file is unlinked, not truncated: it may be a link to a file we must not
  // change, the settings file itself included. A directory of that name is left alone; opening
  // it then fails.
  std::error_code status_error;
  const fs::file_status leftover = fs::symlink_status(temp, status_error);
  if (!status_error && !fs::is_directory(leftover)) {
    fs::remove(temp, ec);
    if (ec) return std::unexpected(ec);
  }
  std::FILE* file = open_file(temp, true);
  if (file == nullptr) return std::unexpected(errno_code(errno));

  ec = write_and_close(file, text);
  if (!ec) fs::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return std::unexpected(ec);
  }
  return {};
}

}  // namespace ot
