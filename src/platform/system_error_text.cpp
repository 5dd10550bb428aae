#include "platform/system_error_text.h"

#include <cerrno>
#include <cstring>

namespace vellum::platform {

namespace {

const char* OwnWordsFor(int code) {
  switch (code) {
    case ENOENT: return "ファイルまたはフォルダが見つかりません";
    case EACCES: return "アクセスが拒否されました (権限がありません)";
    case EPERM: return "この操作は許可されていません";
    case EISDIR: return "フォルダです (ファイルではありません)";
    case ENOTDIR: return "パスの途中にフォルダではないものがあります";
    case ENOSPC: return "ディスクの空き領域が足りません";
#ifdef EDQUOT
    case EDQUOT: return "ディスクの使用量の上限 (クォータ) を超えました";
#endif
    case EROFS: return "読み取り専用のファイルシステムです";
    case EIO: return "入出力エラーです (ディスクを読み書きできません)";
    case EEXIST: return "同じ名前のものが既にあります";
    case ENODEV: return "ディスクでもイメージファイルでもありません";
    case ENXIO: return "デバイスが見つかりません (取り外されたか、電源が切れています)";
    case EBUSY: return "使用中です";
    case ENAMETOOLONG: return "名前が長すぎます";
    case EFBIG: return "ファイルが大きすぎます (保存先のファイルシステムの上限を超えています)";
    case ENOMEM: return "メモリが足りません";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎます";
#ifdef ELOOP
    case ELOOP: return "シンボリックリンクをたどりきれません";
#endif
    case EINVAL: return "引数が正しくありません";
    default: return nullptr;
  }
}

}  // namespace

std::string SystemErrorText(int code) {
  if (const char* words = OwnWordsFor(code)) return words;
  return std::strerror(code);
}

}  // namespace vellum::platform
