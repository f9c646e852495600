// The TTM interpreter: every live thread draws its current page, then advances, loops or ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "assets/archive.h"
#include "engine/gfx.h"
#include "engine/rng.h"
#include "engine/scene.h"

namespace ot {

// Receives the text of a "warning: {}" line (without the prefix).
using WarningSink = std::function<void(std::string_view)>;

struct TtmContext {
  AdsScene& scene;
  Layer& frame;
  Layer& background;
  Layer& shown;  // the last finished picture: zone copies may read or write it
  DrawOrigin origin;
  RandomGenerator& rng;
  const ResourceArchive& archive;
  std::shared_ptr<const SpriteSheet> walk_sheet;  // ZEBOWALK.BMP, shared by "zebowalk.bmp" loads
  std::vector<std::int32_t>& sound_requests;
  WarningSink warn;
};

// One pass over every thread in the scene's order list, at the scene's clock.
void run_ttm_pass(TtmContext& context);

}  // namespace ot
