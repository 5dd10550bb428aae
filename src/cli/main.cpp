// vellum-cli: the program's commands from a terminal.
#include <iostream>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/drives_command.h"
#include "cli/info_command.h"
#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "cli/source_args.h"
#include "platform/terminal.h"

namespace {

constexpr int kExitUsage = 2;

int Usage(std::ostream& out, int status) {
  out << "usage: vellum-cli drives [IMAGE...]\n"
         "       vellum-cli info SOURCE [--partition N]\n"
         "       vellum-cli search SOURCE [--partition N] [OPTIONS] [--free-scan] [--range FIRST-LAST] [-o FILE]\n"
         "       vellum-cli full-scan SOURCE [--partition N] [OPTIONS] --yes [--range FIRST-LAST] [-o FILE]\n"
         "       vellum-cli restore SOURCE [--partition N] --to DIR [--results FILE [--rows LIST]] [--folder RECORD]\n"
         "       vellum-cli wipe SOURCE [--partition N] [--thorough] --yes\n"
         "       vellum-cli help COMMAND | COMMAND --help | --version\n"
         "  drives  list the drives that can be searched, then each IMAGE (one line per\n"
         "          partition of a whole-disk image): index, root, type, name, source\n"
         "  info    print the file system and geometry of SOURCE (an image file or a device);\n"
         "          a whole disk with a partition table needs --partition N (1..N as `drives` shows)\n"
         "  search  list the deleted files and folders of SOURCE as a search-results file\n"
         "          (to FILE, or to standard output)\n"
         "  full-scan scan every cluster of a range (used ones too) for file information\n"
         "  restore copy deleted files and folders into DIR with their folders and times: the rows of\n"
         "          a search-results file (all, or --rows 1,4-9), or every deleted entry the walk reaches\n"
         "  wipe    overwrite the directory entries of deleted files (FAT and exFAT; writes to SOURCE)\n"
         "OPTIONS: --filter TEXT  only names containing TEXT (upper-cased)\n"
         "         --in-use       also files whose first cluster is in use again\n"
         "         --zero-size    also files of size 0\n"
         "         --no-analyse   do not analyse cluster contents during cluster scans\n"
         "         --thorough     (search, restore, wipe) also deleted entries in live exFAT folders\n"
         "                        and deleted FAT folders past their first cluster\n";
  return status;
}

int UsageError(const std::string& message) {
  std::cerr << "vellum-cli: " << message << '\n';
  return Usage(std::cerr, kExitUsage);
}

// help COMMAND, COMMAND --help: the command's options and an example.
int Help(const std::string& name) {
  const vellum::cli::CommandLine* command = vellum::cli::FindCommand(name);
  if (!command) return UsageError("help: unknown command '" + name + "'");
  std::cout << vellum::cli::HelpText(*command);
  return 0;
}

int Info(const std::vector<std::string>& args) {
  vellum::cli::ParsedArgs parsed;
  vellum::cli::SourceArgs source;
  std::string error;
  if (!vellum::cli::ParseArgs(*vellum::cli::FindCommand("info"), args, parsed, error)) return UsageError(error);
  if (parsed.help) return Help("info");
  if (!vellum::cli::SourceOf(parsed, source, error)) return UsageError(error);
  return vellum::cli::RunInfo(source.source, source.partition, std::cout, std::cerr);
}

int Drives(const std::vector<std::string>& args) {
  vellum::cli::ParsedArgs parsed;
  std::string error;
  if (!vellum::cli::ParseArgs(*vellum::cli::FindCommand("drives"), args, parsed, error)) return UsageError(error);
  if (parsed.help) return Help("drives");
  return vellum::cli::RunDrives(parsed.operands, parsed.Has("--all"), std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = vellum::platform::StartProgram(argc, argv);
  if (args.empty()) return Usage(std::cerr, kExitUsage);
  if (args[0] == "-h" || args[0] == "--help") return Usage(std::cout, 0);
  if (args[0] == "--version") {
    std::cout << "vellum-cli " << VELLUM_VERSION << '\n';
    return 0;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "help") return rest.empty() ? Usage(std::cout, 0) : Help(rest[0]);
  if (args[0] == "info") return Info(rest);
  if (args[0] == "drives") return Drives(rest);
  if (args[0] == "search") return vellum::cli::RunSearch(rest, std::cout, std::cerr);
  if (args[0] == "full-scan") return vellum::cli::RunFullScan(rest, std::cout, std::cerr);
  if (args[0] == "restore") return vellum::cli::RunRestore(rest, std::cout, std::cerr);
  if (args[0] == "wipe") return vellum::cli::RunWipe(rest, std::cout, std::cerr);
  std::cerr << "vellum-cli: unknown command '" << args[0] << "'\n";
  return Usage(std::cerr, kExitUsage);
}
