// vellum-cli: the program's commands from a terminal.
#include <iostream>
#include <new>
#include <stdexcept>
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
  out << "使い方: vellum-cli drives [IMAGE...]\n"
         "        vellum-cli info SOURCE [--partition N]\n"
         "        vellum-cli search SOURCE [--partition N] [OPTIONS] [--free-scan] [--range FIRST-LAST] [-o FILE]\n"
         "        vellum-cli full-scan SOURCE [--partition N] [OPTIONS] --yes [--range FIRST-LAST] [-o FILE]\n"
         "        vellum-cli restore SOURCE [--partition N] --to DIR [--results FILE [--rows LIST]] [--folder RECORD]\n"
         "        vellum-cli wipe SOURCE [--partition N] [--thorough] --yes\n"
         "        vellum-cli help COMMAND | COMMAND --help | --version\n"
         "  drives    検索できるドライブと、IMAGE ごとの行 (ディスク全体のイメージはパーティションごとに\n"
         "            1 行) を表示します: 番号、ルート、種類、名前、ソース\n"
         "  info      SOURCE (イメージファイルかデバイス) のファイルシステムと形状を表示します。\n"
         "            パーティションテーブルのあるディスクには --partition N (`drives` の番号) が要ります\n"
         "  search    SOURCE の削除されたファイルとフォルダを一覧にします (FILE か標準出力へ)\n"
         "  full-scan 範囲のすべてのクラスタ (使用中のものも) をファイル情報を探して読みます\n"
         "  restore   削除されたファイルとフォルダを、フォルダと時刻ごと DIR にコピーします: 検索結果\n"
         "            ファイルの行 (すべてか --rows 1,4-9)、または検索でたどれる削除エントリのすべて\n"
         "  wipe      削除されたファイルのディレクトリエントリを上書きします (FAT、exFAT。SOURCE に書き込みます)\n"
         "OPTIONS: --filter TEXT  名前に TEXT を含むものだけ (大文字にして比べます)\n"
         "         --in-use       先頭クラスタが再使用されているファイルも\n"
         "         --zero-size    サイズ 0 のファイルも\n"
         "         --no-analyse   クラスタスキャンでクラスタの内容を解析しません\n"
         "         --thorough     (search、restore、wipe) 削除されていない exFAT フォルダの中と、削除された\n"
         "                        FAT フォルダの 2 クラスタ目以降の削除エントリ、空きクラスタに残った\n"
         "                        フォルダの中身も\n"
         "         --map MAPFILE  (search、full-scan、restore) ddrescue のマップファイルで救出済みでない部分を\n"
         "                        読めないセクタとして扱います\n"
         "詳しくは vellum-cli help COMMAND か man vellum-cli を見てください。\n";
  return status;
}

int UsageError(const std::string& message) {
  std::cerr << "vellum-cli: " << message << '\n';
  return Usage(std::cerr, kExitUsage);
}

// help COMMAND, COMMAND --help: the command's options and an example.
int Help(const std::string& name) {
  const vellum::cli::CommandLine* command = vellum::cli::FindCommand(name);
  if (!command) return UsageError("help: '" + name + "' というコマンドはありません。");
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

int RunCommand(const std::vector<std::string>& args) {
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
  std::cerr << "vellum-cli: '" << args[0] << "' というコマンドはありません。\n";
  return Usage(std::cerr, kExitUsage);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = vellum::platform::StartProgram(argc, argv);
  if (args.empty()) return Usage(std::cerr, kExitUsage);
  // Memory that runs out (a hostile list, a volume that claims too much) ends
  // the command with a message, never with an abort: what was being written
  // is removed as the command unwinds.
  try {
    return RunCommand(args);
  } catch (const std::bad_alloc&) {
    std::cerr << "vellum-cli: メモリが足りないため、処理を中止しました。\n";
  } catch (const std::length_error&) {
    std::cerr << "vellum-cli: メモリが足りないため、処理を中止しました。\n";
  }
  return 1;  // stopped on an error it reported
}
