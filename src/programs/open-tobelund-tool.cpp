// The companion tool for data owners, modders and tests.
#include <string_view>
#include <vector>

#include "tool/tool.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return ot::tool::run(args);
}
