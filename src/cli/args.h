// The command line's conventions, in one place for every command: options
// anywhere on the line, `--opt value` and `--opt=value`, `--` ending the
// options, `--help`, and a help text with every option and an example.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vellum::cli {

struct OptionInfo {
  std::string name;       // "--filter", or a short form such as "-o"
  std::string valueName;  // empty for a flag
  std::string help;
  bool repeatable = false;  // may be given more than once; every value is kept
};

struct CommandLine {
  std::string name;
  std::string synopsis;  // the line after "usage: vellum-cli "
  std::string summary;
  std::vector<OptionInfo> options;
  std::vector<std::string> examples;
  size_t minOperands = 0, maxOperands = 0;
};

struct ParsedArgs {
  std::vector<std::string> operands;
  std::map<std::string, std::string> values;  // options that take a value, by name
  std::set<std::string> flags;
  std::map<std::string, std::vector<std::string>> lists;  // every value of a repeatable option, in order
  bool help = false;

  bool Has(const std::string& name) const { return flags.count(name) || values.count(name); }
  std::optional<std::string> Value(const std::string& name) const;
};

// False with a message naming the argument on bad usage.
bool ParseArgs(const CommandLine& command, const std::vector<std::string>& args, ParsedArgs& out, std::string& error);

std::string HelpText(const CommandLine& command);

// The specifications of every command, for help and parsing alike.
const std::vector<CommandLine>& Commands();
const CommandLine* FindCommand(const std::string& name);

}  // namespace vellum::cli
