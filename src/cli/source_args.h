// The SOURCE [--partition N] part every volume command shares.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/args.h"

namespace vellum::cli {

struct SourceArgs {
  std::string source;
  uint32_t partition = 0;          // 0 when not given
  std::vector<std::string> rest;   // everything else, in order, for the command to judge
  std::vector<std::string> biosDisks;  // --bios-disk: the legacy path's units, in order
};

// Takes the first operand as SOURCE and `--partition N` (or `--partition=N`,
// N from 1) wherever it stands. False with a message on bad usage.
bool ParseSourceArgs(const std::vector<std::string>& args, SourceArgs& out, std::string& error);

// The raw volume a drive letter names on Windows: "\\\\.\\C:" for "C:", "c:",
// "C:\\" and "C:/"; empty for any other text.
std::string LetterDriveVolume(std::string_view text);

// SOURCE and its partition from a command line parsed by its command table:
// `--partition N`, or SOURCE written as `card.img#N` the way `drives` shows
// it (when no file of that very name exists).
bool SourceOf(const ParsedArgs& parsed, SourceArgs& out, std::string& error);

}  // namespace vellum::cli
