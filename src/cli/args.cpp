#include "cli/args.h"

#include <algorithm>

namespace vellum::cli {

namespace {

const OptionInfo* FindOption(const CommandLine& command, const std::string& name) {
  for (const OptionInfo& o : command.options)
    if (o.name == name) return &o;
  return nullptr;
}

const std::vector<OptionInfo> kSearchOptions = {
    {"--filter", "TEXT", "only names containing TEXT (upper-cased, as the window's box does)"},
    {"--in-use", "", "also files whose first cluster is in use again"},
    {"--zero-size", "", "also files of size 0"},
    {"--no-analyse", "", "do not analyse cluster contents during cluster scans"},
};

OptionInfo Thorough() {
  return {"--thorough", "", "also deleted entries in live exFAT folders and deleted FAT folders past their first cluster"};
}

OptionInfo Partition() { return {"--partition", "N", "partition N of a whole disk (also SOURCE#N)"}; }

std::vector<OptionInfo> Join(std::vector<OptionInfo> a, const std::vector<OptionInfo>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

std::optional<std::string> ParsedArgs::Value(const std::string& name) const {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

bool ParseArgs(const CommandLine& command, const std::vector<std::string>& args, ParsedArgs& out, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a == "-" || !a.starts_with("-")) {
      out.operands.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      out.help = true;
      continue;
    }
    const size_t equals = a.find('=');
    const std::string name = a.substr(0, equals);
    const OptionInfo* option = FindOption(command, name);
    if (!option) return error = command.name + ": '" + name + "' というオプションはありません。", false;
    if (option->valueName.empty()) {
      if (equals != std::string::npos) return error = command.name + ": " + name + " には値を付けられません。", false;
      out.flags.insert(name);
      continue;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = a.substr(equals + 1);
    } else {
      if (i + 1 >= args.size()) return error = command.name + ": " + name + " には " + option->valueName + " を指定してください。", false;
      value = args[++i];
    }
    if (out.values.count(name)) return error = command.name + ": " + name + " が 2 回指定されています。", false;
    out.values[name] = value;
  }
  if (out.help) return true;
  if (out.operands.size() < command.minOperands)
    return error = command.name + ": SOURCE を指定してください。", false;
  if (out.operands.size() > command.maxOperands)
    return error = command.name + ": 余分な引数 '" + out.operands[command.maxOperands] + "' があります。", false;
  return true;
}

std::string HelpText(const CommandLine& command) {
  std::string text = "usage: vellum-cli " + command.synopsis + "\n" + command.summary + "\n";
  if (!command.options.empty()) text += "\noptions:\n";
  size_t width = 0;
  for (const OptionInfo& o : command.options)
    width = std::max(width, o.name.size() + (o.valueName.empty() ? 0 : o.valueName.size() + 1));
  for (const OptionInfo& o : command.options) {
    std::string left = o.name + (o.valueName.empty() ? "" : " " + o.valueName);
    left.resize(width, ' ');
    text += "  " + left + "  " + o.help + "\n";
  }
  if (!command.examples.empty()) text += "\nexamples:\n";
  for (const std::string& e : command.examples) text += "  " + e + "\n";
  return text;
}

const std::vector<CommandLine>& Commands() {
  static const std::vector<CommandLine> commands = {
      {"drives", "drives [IMAGE...]",
       "Lists the drives that can be searched, then each IMAGE (one line per partition of a whole-disk\n"
       "image): index, root text, drive type (2 removable, 3 fixed), display name, source.",
       {{"--all", "", "also what holds no volume to search, with the reason in a ninth column"}},
       {"vellum-cli drives", "vellum-cli drives card.img", "vellum-cli drives --all"}, 0, SIZE_MAX},
      {"info", "info SOURCE [--partition N]",
       "Prints the file system and the geometry of SOURCE (an image file or a device), read-only.",
       {Partition()}, {"vellum-cli info card.img", "vellum-cli info disk.img#2"}, 1, 1},
      {"search", "search SOURCE [--partition N] [OPTIONS] [--free-scan] [--range FIRST-LAST] [-o FILE]",
       "Lists the deleted files and folders of SOURCE. The list goes to FILE or standard output: as a\n"
       "search-results file for files and pipes, as a table on a terminal (see --format).",
       Join({Partition(), Thorough()},
            Join(kSearchOptions,
                 {{"--free-scan", "", "also scan the free clusters (the answer Yes to the question)"},
                  {"--no-free-scan", "", "do not scan the free clusters (the answer No)"},
                  {"--range", "FIRST-LAST", "the clusters the free-cluster scan reads (with --free-scan)"},
                  {"--format", "FORM", "results, table, json (one object per line) or csv"},
                  {"-o", "FILE", "write the list to FILE instead of standard output"}})),
       {"vellum-cli search card.img", "vellum-cli search card.img --free-scan -o found.tsv",
        "vellum-cli search /dev/sdb1 --format json | jq .name"},
       1, 1},
      {"full-scan", "full-scan SOURCE [--partition N] [OPTIONS] --yes [--range FIRST-LAST] [-o FILE]",
       "Scans every cluster of the range, used ones too, for file information, and lists what it finds\n"
       "like search.",
       Join({Partition()}, Join(kSearchOptions, {{"--yes", "", "answer Yes to the question before the scan"},
                                                {"--range", "FIRST-LAST", "the clusters to scan"},
                                                {"--format", "FORM", "results, table, json or csv"},
                                                {"-o", "FILE", "write the list to FILE"}})),
       {"vellum-cli full-scan card.img --yes --range 2-5000 -o all.tsv"}, 1, 1},
      {"restore",
       "restore SOURCE [--partition N] --to DIR [--results FILE [--rows LIST]] [--folder RECORD] [--report FILE]",
       "Copies deleted files and folders into DIR with their folders and times: the rows of a\n"
       "search-results file (all, or --rows), or every deleted entry the walk reaches.",
       Join({Partition(),
             {"--to", "DIR", "the destination folder (made when missing; never on SOURCE)"},
             {"--results", "FILE", "restore the rows of this search-results file"},
             {"--rows", "LIST", "only these rows, as the listing numbers them: 1,4-9"},
             {"--force", "", "also restore rows this volume no longer holds (a list of another volume)"},
             {"--intact-only", "",
              "クラスタがすべて空いている行 (状態 intact) だけを復元します。ほかの行は数えるだけです"},
             {"--folder", "RECORD", "NTFS: the deleted folder record whose contents the walk restores"},
             {"--report", "FILE", "one line per item: row, source, destination, bytes, SHA-256, time, outcome"},
             {"--format", "FORM", "the report as tsv (the default) or json"},
             Thorough()},
            kSearchOptions),
       {"vellum-cli restore card.img --results found.tsv --rows 3,7-9 --to ~/rescued",
        "vellum-cli restore card.img --to ~/rescued --report report.tsv"},
       1, 1},
      {"wipe", "wipe SOURCE [--partition N] [--thorough] [--free-space] --yes",
       "Complete deletion (FAT and exFAT): overwrites the directory entries of deleted files and folders,\n"
       "then with zeros the free clusters those files used, so they cannot be found again by name or by\n"
       "content. Clusters in use are never written. Writes to SOURCE.",
       {Partition(), Thorough(), {"--yes", "", "answer Yes to the question before anything is written"},
        {"--free-space", "", "also overwrite every other free cluster with zeros (files deleted earlier)"}},
       {"vellum-cli wipe card.img --yes", "vellum-cli wipe card.img --free-space --yes"}, 1, 1},
  };
  return commands;
}

const CommandLine* FindCommand(const std::string& name) {
  for (const CommandLine& c : Commands())
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace vellum::cli
