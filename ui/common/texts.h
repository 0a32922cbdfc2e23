// The windows' messages and fixed texts, word for word, in one place for
// every toolkit. Each window's captions stand in its table of controls.
#pragma once

namespace tallyrun::ui::text {

inline constexpr char kForm1Label2[] =
    "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆ドロップしてください。";
inline constexpr char kNotFound[] = "ファイル／フォルダが存在しないようです。";
inline constexpr char kNotFoundTitle[] = "ウィンドウオープン中断";
inline constexpr char kDropTitle[] = "ログ書き込み中断";
inline constexpr char kReadTitle[] = "ログ読み込み中断";
inline constexpr char kSaveTitle[] = "設定保存中断";
inline constexpr char kSettingsReadTitle[] = "設定読み込み中断";

inline constexpr char kFindTitle[] = "検索";
inline constexpr char kFoundFromTop[] = "一番下まで検索したので、一番上から続けて検索しました。";
inline constexpr char kFoundFromBottom[] = "一番上まで検索したので、一番下から続けて検索しました。";
inline constexpr char kNotCopied[] =
    "クリップボードがほかのプログラムに使われているため、パスをコピーできませんでした。";
inline constexpr char kCopyTitle[] = "パスのコピー中断";

inline constexpr char kDriveFailure[] = "指定したドライブは現在使用できません。";
inline constexpr char kDriveFailureTitle[] = "ドライブ情報取得失敗";
inline constexpr char kTooManyDropped[] =
    "２個以上のオブジェクトを\rドラッグ＆ドロップしないで下さい。";
inline constexpr char kTooManyDroppedTitle[] = "Ｄ＆Ｄキャンセル";

// "Tallyrun.exe", an ideographic space, then the version line.
inline constexpr char kProgramFileName[] = "Tallyrun.exe\u3000";
inline constexpr char kDescriptionFirst[] = "このプログラムは。";
inline constexpr char kDescriptionSecond[] =
    "\u3000ファイルやフォルダのログを取得するためのものです。"
    "そのファイルやフォルダをウィンドウで表示させることが出来ます。";
inline constexpr char kDescriptionThird[] = "\u3000詳しくは「読んで☆.txt」をご覧下さい。";
// Four short lines: with the tallest Japanese faces they fit without scrolling.
inline constexpr char kCredits[] =
    "【クレジット】\r\n"
    "企画・設計・プログラム：開発チーム\r\n"
    "試用と助言：ログを取ってくださった皆さん\r\n"
    "ご意見やご感想をお待ちしています。\r\n";

}  // namespace tallyrun::ui::text
