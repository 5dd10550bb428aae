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
    {"--filter", "TEXT", "名前に TEXT を含むものだけ (ウィンドウの入力欄と同じく大文字にして比べます)"},
    {"--in-use", "", "先頭クラスタが再使用されているファイルも表示します"},
    {"--zero-size", "", "サイズ 0 のファイルも表示します"},
    {"--no-analyse", "", "クラスタスキャンでクラスタの内容を解析しません"},
};

OptionInfo Thorough() {
  return {"--thorough", "", "削除されていない exFAT フォルダの中と、削除された FAT フォルダの 2 クラスタ目以降、空きクラスタに残ったフォルダの中身も検索します"};
}

OptionInfo Map() {
  return {"--map", "MAPFILE",
          "SOURCE を ddrescue で救出したイメージとし、その MAPFILE で救出済み (+) でない部分を読めないセクタとして扱います"};
}

OptionInfo Partition() { return {"--partition", "N", "ディスク全体のパーティション N (SOURCE#N とも書けます)"}; }

OptionInfo BiosDisk() {
  return {"--bios-disk", "DISK",
          "ディスク BIOS を通して読み書きします。DISK (ディスク全体のイメージかデバイス、FILE[:HxS][:chs]) "
          "を次のユニットにします。FILE:fd はフロッピーディスクのユニット (A:、B: の 0、1) です。何回でも指定できます",
          true};
}

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
    if (option->repeatable) out.lists[name].push_back(value);
    if (out.values.count(name) && !option->repeatable) return error = command.name + ": " + name + " が 2 回指定されています。", false;
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
  std::string text = "使い方: vellum-cli " + command.synopsis + "\n" + command.summary + "\n";
  if (!command.options.empty()) text += "\nオプション:\n";
  size_t width = 0;
  for (const OptionInfo& o : command.options)
    width = std::max(width, o.name.size() + (o.valueName.empty() ? 0 : o.valueName.size() + 1));
  for (const OptionInfo& o : command.options) {
    std::string left = o.name + (o.valueName.empty() ? "" : " " + o.valueName);
    left.resize(width, ' ');
    text += "  " + left + "  " + o.help + "\n";
  }
  if (!command.examples.empty()) text += "\n例:\n";
  for (const std::string& e : command.examples) text += "  " + e + "\n";
  return text;
}

const std::vector<CommandLine>& Commands() {
  static const std::vector<CommandLine> commands = {
      {"drives", "drives [IMAGE...]",
       "検索できるドライブと、IMAGE ごとの行 (ディスク全体のイメージはパーティションごとに 1 行) を\n"
       "表示します: 番号、ルート、ドライブの種類 (2 リムーバブル、3 固定)、表示名、ソース。",
       {{"--all", "", "検索できるボリュームがないものも、理由を 9 列目に付けて表示します"}},
       {"vellum-cli drives", "vellum-cli drives card.img", "vellum-cli drives --all"}, 0, SIZE_MAX},
      {"info", "info SOURCE [--partition N]",
       "SOURCE (イメージファイルかデバイス) のファイルシステムと形状を表示します。読み取るだけです。",
       {Partition()}, {"vellum-cli info card.img", "vellum-cli info disk.img#2"}, 1, 1},
      {"search", "search SOURCE [--partition N] [OPTIONS] [--free-scan] [--range FIRST-LAST] [-o FILE]",
       "SOURCE の削除されたファイルとフォルダを一覧にします。一覧は FILE か標準出力に、ファイルと\n"
       "パイプには検索結果ファイルの形で、端末には表の形で出します (--format を参照)。",
       Join({Partition(), Thorough(), BiosDisk(), Map()},
            Join(kSearchOptions,
                 {{"--free-scan", "", "空きクラスタもスキャンします (質問への Yes の答え)"},
                  {"--no-free-scan", "", "空きクラスタをスキャンしません (No の答え)"},
                  {"--range", "FIRST-LAST", "空きクラスタのスキャンで読むクラスタの範囲 (--free-scan と共に)"},
                  {"--format", "FORM", "results、table、json (1 行に 1 オブジェクト)、csv のどれか"},
                  {"-o", "FILE", "一覧を標準出力でなく FILE に書きます"}})),
       {"vellum-cli search card.img", "vellum-cli search card.img --free-scan -o found.tsv",
        "vellum-cli search /dev/sdb1 --format json | jq .name"},
       1, 1},
      {"full-scan", "full-scan SOURCE [--partition N] [OPTIONS] --yes [--range FIRST-LAST] [-o FILE]",
       "範囲のすべてのクラスタを、使用中のものも含めてファイル情報を探して読み、見つけたものを\n"
       "search と同じように一覧にします。",
       Join({Partition(), BiosDisk(), Map()}, Join(kSearchOptions, {{"--yes", "", "スキャン前の質問に Yes と答えます"},
                                                {"--range", "FIRST-LAST", "スキャンするクラスタの範囲"},
                                                {"--format", "FORM", "results、table、json、csv のどれか"},
                                                {"-o", "FILE", "一覧を FILE に書きます"}})),
       {"vellum-cli full-scan card.img --yes --range 2-5000 -o all.tsv"}, 1, 1},
      {"restore",
       "restore SOURCE [--partition N] --to DIR [--results FILE [--rows LIST]] [--folder RECORD] [--report FILE]",
       "削除されたファイルとフォルダを、フォルダと時刻ごと DIR にコピーします: 検索結果ファイルの行\n"
       "(すべてか --rows)、または検索でたどれる削除エントリのすべて。",
       Join({Partition(),
             {"--to", "DIR", "復元先のフォルダ (なければ作ります。SOURCE の上には置けません)"},
             {"--results", "FILE", "この検索結果ファイルの行を復元します"},
             {"--rows", "LIST", "一覧の番号でこの行だけ: 1,4-9"},
             {"--force", "", "このボリュームにもう見当たらない行 (別のボリュームの一覧) も復元します"},
             {"--intact-only", "",
              "クラスタがすべて空いている行 (状態 intact) だけを復元します。ほかの行は数えるだけです"},
             {"--verified-only", "",
              "中身で見つけたファイルは、検査で確かめられた行 (verified) だけを復元します。名前のある行はいつもどおりです"},
             {"--original-names", "",
              "NTFS: ごみ箱の $R ファイルとフォルダを、$I の記録する元の名前とフォルダに (ドライブ文字を除いて DIR の下に) 復元します"},
             {"--folder", "RECORD", "NTFS: 中身を復元する削除フォルダのレコード番号"},
             {"--report", "FILE", "項目ごとに 1 行: 行、復元元、復元先、バイト数、SHA-256、時刻、結果"},
             {"--format", "FORM", "報告の形式: tsv (既定) か json"},
             Thorough(), BiosDisk(), Map()},
            kSearchOptions),
       {"vellum-cli restore card.img --results found.tsv --rows 3,7-9 --to ~/rescued",
        "vellum-cli restore card.img --to ~/rescued --report report.tsv",
        "vellum-cli restore rescued.img --map rescued.map --to ~/rescued --report report.tsv"},
       1, 1},
      {"wipe", "wipe SOURCE [--partition N] [--thorough] [--free-space] --yes",
       "完全削除 (FAT、exFAT): 削除されたファイルとフォルダのディレクトリエントリを上書きし、それらの\n"
       "ファイルが使っていた空きクラスタを 0 で埋めて、名前でも内容でも見つからないようにします。\n"
       "使用中のクラスタには書き込みません。SOURCE に書き込みます。",
       {Partition(), Thorough(), BiosDisk(), {"--yes", "", "書き込む前の質問に Yes と答えます"},
        {"--free-space", "", "ほかの空きクラスタもすべて 0 で埋めます (以前に削除されたファイルの分)"}},
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
