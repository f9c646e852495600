#include "support/json.h"

#include <cstdlib>

namespace ot::test {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<Json> document() {
    auto v = value();
    skip_space();
    if (!v || pos_ != text_.size()) return std::nullopt;
    return v;
  }

 private:
  void skip_space() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\t' || text_[pos_] == '\r'))
      ++pos_;
  }
  bool eat(char c) {
    skip_space();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<std::string> string() {
    if (!eat('"')) return std::nullopt;
    std::string out;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (c == '\\') {
        if (pos_ >= text_.size()) return std::nullopt;
        c = text_[pos_++];
        if (c == 'u') {
          if (pos_ + 4 > text_.size()) return std::nullopt;
          const long code = std::strtol(std::string(text_.substr(pos_, 4)).c_str(), nullptr, 16);
          pos_ += 4;
          if (code >= 0x80) return std::nullopt;  // only control escapes are expected here
          out += static_cast<char>(code);
          continue;
        }
        if (c == 'n') c = '\n';
        if (c == 't') c = '\t';
      }
      out += c;
    }
    if (pos_ >= text_.size()) return std::nullopt;
    ++pos_;
    return out;
  }

  std::optional<Json> value() {
    skip_space();
    if (pos_ >= text_.size()) return std::nullopt;
    const char c = text_[pos_];
    if (c == '{') {
      ++pos_;
      Json::Object object;
      if (eat('}')) return Json{object};
      do {
        auto key = string();
        if (!key || !eat(':')) return std::nullopt;
        auto v = value();
        if (!v) return std::nullopt;
        object[*key] = std::move(*v);
      } while (eat(','));
      if (!eat('}')) return std::nullopt;
      return Json{object};
    }
    if (c == '[') {
      ++pos_;
      Json::Array array;
      if (eat(']')) return Json{array};
      do {
        auto v = value();
        if (!v) return std::nullopt;
        array.push_back(std::move(*v));
      } while (eat(','));
      if (!eat(']')) return std::nullopt;
      return Json{array};
    }
    if (c == '"') {
      auto s = string();
      if (!s) return std::nullopt;
      return Json{*s};
    }
    if (literal("true")) return Json{true};
    if (literal("false")) return Json{false};
    if (literal("null")) return Json{nullptr};
    char* end = nullptr;
    const std::string copy(text_.substr(pos_, 32));
    const double d = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str()) return std::nullopt;
    pos_ += static_cast<std::size_t>(end - copy.c_str());
    return Json{d};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<Json> parse_json(std::string_view text) {
  return Parser(text).document();
}

}  // namespace ot::test
