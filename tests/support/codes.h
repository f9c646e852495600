// Hand-made LZW code streams: codes of given widths packed least-significant bit first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ot::test {

class Codes {
 public:
  Codes& put(std::uint32_t code, unsigned width) {
    for (unsigned i = 0; i < width; ++i) bits_.push_back(i < 32 ? (code >> i) & 1 : 0);
    return *this;
  }
  std::vector<std::uint8_t> bytes(std::size_t min_bytes = 0) const {
    std::vector<std::uint8_t> out(std::max((bits_.size() + 7) / 8, min_bytes), 0);
    for (std::size_t i = 0; i < bits_.size(); ++i) {
      out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | (bits_[i] << (i % 8)));
    }
    return out;
  }

 private:
  std::vector<unsigned> bits_;
};

}  // namespace ot::test
