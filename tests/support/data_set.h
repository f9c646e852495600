// A complete small data set (executable and archive) for tests that run the programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "authoring/archive_writer.h"
#include "authoring/executable_writer.h"
#include "authoring/image_writer.h"

namespace ot::test {

struct DataSet {
  authoring::ExecutableSpec executable = authoring::default_executable_spec();
  std::vector<authoring::ArchiveResource> resources;  // the start-up resources by default

  DataSet();
  // Drops the resource of that name (upper case).
  DataSet& without(const std::string& name);
  authoring::ArchiveFiles archive() const;
};

// The 16 colours of the test palette as 6-bit values; the other entries are black.
std::vector<std::array<std::uint8_t, 3>> test_palette();

// Writes TOBELUND.SCR, RESOURCE.MAP and RESOURCE.001 into `dir`.
void write_data_set(const std::filesystem::path& dir, const DataSet& set = {});

}  // namespace ot::test
