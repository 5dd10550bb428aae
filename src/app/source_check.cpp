#include "app/source_check.h"

#include "platform/file_system.h"

namespace vellum::app {

namespace {

const char* WhatItIs(platform::NodeKind kind) {
  switch (kind) {
    case platform::NodeKind::kFifo:
      return "名前付きパイプ (FIFO) です。開くと、ほかのプログラムが書き込むまで待ち続けることになります。";
    case platform::NodeKind::kSocket: return "ソケットです。ディスクの内容は読めません。";
    case platform::NodeKind::kCharDevice: return "キャラクタデバイスです。ボリュームを収めていません。";
    case platform::NodeKind::kDirectory: return "フォルダです。ボリュームを収めたファイルではありません。";
    case platform::NodeKind::kOther: return "ディスクイメージのファイルでもブロックデバイスでもありません。";
    case platform::NodeKind::kMissing:
    case platform::NodeKind::kRegular:
    case platform::NodeKind::kBlockDevice: break;
  }
  return nullptr;
}

}  // namespace

std::string SourceRefusal(const std::string& path) {
  const char* what = WhatItIs(platform::NodeKindOf(path));
  if (!what) return {};
  return path + " は" + what + "\n\n検索できるのは、ディスクイメージのファイルか、ディスクやパーティションのデバイスです。";
}

}  // namespace vellum::app
