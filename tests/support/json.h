// A small JSON reader for checking the tool's output.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ot::test {

struct Json {
  using Array = std::vector<Json>;
  using Object = std::map<std::string, Json>;
  std::variant<std::nullptr_t, bool, double, std::string, Array, Object> value;

  const Json& operator[](std::string_view key) const {
    return std::get<Object>(value).at(std::string(key));
  }
  const Json& operator[](std::size_t i) const { return std::get<Array>(value).at(i); }
  const Array& array() const { return std::get<Array>(value); }
  const Object& object() const { return std::get<Object>(value); }
  double number() const { return std::get<double>(value); }
  const std::string& string() const { return std::get<std::string>(value); }
  bool boolean() const { return std::get<bool>(value); }
};

// nullopt when `text` is not one whole JSON document.
std::optional<Json> parse_json(std::string_view text);

}  // namespace ot::test
