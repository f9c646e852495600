// Subcommand over the script resources: disasm.
#include <string>

#include "app/messages.h"
#include "assets/decompress.h"
#include "authoring/script_assembler.h"
#include "tool/common.h"

namespace ot::tool {

int disasm(std::string_view dir, std::string_view name) {
  auto archive = open_directory(dir);
  if (!archive) return fail(archive.error());
  auto chunks = read_chunks(*archive, name);
  if (!chunks) return fail(chunks.error());

  // A TTM has "PAG:" and "TT3:", an ADS "RES:" and "SCR:"; the first is stored as is, the
  // second is unpacked.
  const bool ttm = chunks->find("PAG:") && chunks->find("TT3:");
  const bool ads = !ttm && chunks->find("RES:") && chunks->find("SCR:");
  if (!ttm && !ads) return fail(std::string(name) + " is not a script");
  auto stored = get_chunk(*chunks, name, ttm ? "PAG:" : "RES:");
  if (!stored) return fail(stored.error());
  auto packed = get_chunk(*chunks, name, ttm ? "TT3:" : "SCR:");
  if (!packed) return fail(packed.error());
  auto unpacked = decompress_chunk(*packed);
  if (!unpacked) return fail(unpacked.error());
  write_stdout(ttm ? authoring::disassemble_ttm(*stored, *unpacked)
                   : authoring::disassemble_ads(*stored, *unpacked));
  return 0;
}

}  // namespace ot::tool
