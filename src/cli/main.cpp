// vellum-cli: the program's commands from a terminal.
#include <iostream>
#include <string>
#include <vector>

#include "cli/info_command.h"

namespace {

constexpr int kExitUsage = 2;

int Usage(std::ostream& out, int status) {
  out << "usage: vellum-cli info SOURCE\n"
         "  info   print the file system and geometry of SOURCE (an image file or a device)\n";
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage(std::cerr, kExitUsage);
  if (args[0] == "-h" || args[0] == "--help") return Usage(std::cout, 0);
  if (args[0] == "info") {
    if (args.size() != 2 || args[1].starts_with("-")) return Usage(std::cerr, kExitUsage);
    return vellum::cli::RunInfo(args[1], std::cout, std::cerr);
  }
  std::cerr << "vellum-cli: unknown command '" << args[0] << "'\n";
  return Usage(std::cerr, kExitUsage);
}
