#include "cli/map_arg.h"

#include "app/map_file.h"

namespace vellum::cli {

int LoadMapFile(const std::string& mapPath, const std::string& sourcePath, std::vector<volume::ByteRange>& areas,
                std::ostream& err) {
  std::string error;
  if (app::ReadMapFile(mapPath, sourcePath, areas, error)) return 0;
  err << "vellum-cli: " << error << '\n';
  return 1;
}

}  // namespace vellum::cli
