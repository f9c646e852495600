// The presenter: the shown layer in colour, dedithered on request, scaled into a window.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "assets/images.h"

namespace ot {

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;
inline constexpr std::size_t kFramePixels = 640 * 480;

// Scratch memory of the presenter, kept between redraws so that presenting allocates nothing.
struct PresentScratch;

class Presenter {
 public:
  Presenter();
  ~Presenter();
  Presenter(Presenter&&) noexcept;
  Presenter& operator=(Presenter&&) noexcept;

  // 640 x 480 palette indices -> 640 x 480 pixels 0x00RRGGBB; the dedither filter when asked.
  // Only the first 640 x 480 entries of either span are used; if either is shorter the image is
  // filled black.
  void to_colour(std::span<const std::uint8_t> layer, const Palette& palette, bool dedither,
                 std::span<std::uint32_t> image);

  // The colour image fitted into a width x height window buffer (0x00RRGGBB), aspect kept, with
  // black bars. The buffer is the first width x height pixels of `window`. With a width or height
  // that is not positive, a window span too short for width x height, or an image shorter than
  // 640 x 480, there is nothing to draw: every pixel of `window` is set black.
  void scale_into(std::span<const std::uint32_t> image, std::span<std::uint32_t> window, int width,
                  int height);

 private:
  PresentScratch& scratch();

  std::unique_ptr<PresentScratch> scratch_;
};

// Convenience forms that allocate their result.
std::vector<std::uint32_t> to_colour(std::span<const std::uint8_t> layer, const Palette& palette,
                                     bool dedither);

}  // namespace ot
