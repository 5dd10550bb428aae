// The main window's own texts, the same in the Qt window and the Win32 one.
#pragma once

namespace vellum::app {

inline constexpr const char* kMainCaption = "Vellum Version 13.3.10";
inline constexpr const char* kSelectRowsMessage = "復元するファイルまたはフォルダを選択してください。";
inline constexpr const char* kOfferThoroughQuestion =
    "exFAT では使用中のフォルダの中を検索していません。\n\n徹底検索で検索し直しますか。";
// The line under the list after a command that stopped early or left
// something out.
inline constexpr const char* kScanCancelledStatus =
    "検索を中止しました。一覧には中止するまでに見つかったファイルだけが表示されています。";
inline constexpr const char* kLiveFoldersStatus =
    "exFAT の使用中のフォルダの中は検索していません。徹底検索では、その中の削除ファイルも探します。";
inline constexpr const char* kFatFreeFoldersStatus =
    "見つかりませんでした。徹底検索では、空きクラスタの中のフォルダも読みます (フォーマットしたカードなど)。";
inline constexpr const char* kThoroughAgainAction = "徹底検索で検索し直す(&R)";
inline constexpr const char* kExitQuestion = "弊社サイトの「Vellum」ページを表示しますか？";
// The folder picker's prompt when restoring.
inline constexpr const char* kRestoreFolderPrompt = "復元先のフォルダを選択";

}  // namespace vellum::app
