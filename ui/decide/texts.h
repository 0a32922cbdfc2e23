// The windows' fixed texts, word for word, in one place for every toolkit.
#pragma once

namespace tallyrun::ui::text {

inline constexpr char kForm1Title[] = "ファイルログ作成ツール";
inline constexpr char kForm1Label1[] = "● ログファイル保存場所（ファイル名）";
inline constexpr char kForm1Label3[] = "● 書き込まれたログ（一番上が最新）";
inline constexpr char kForm1Label2[] =
    "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆ドロップしてください。";
inline constexpr char kForm1Command1[] = "選択";
inline constexpr char kForm1Command2[] = "？";
inline constexpr char kForm1Command3[] = "終了";

inline constexpr char kNotFound[] = "ファイル／フォルダが存在しないようです。";
inline constexpr char kNotFoundTitle[] = "ウィンドウオープン中断";

inline constexpr char kForm2Title[] = "トレースログファイル選択";
inline constexpr char kForm2Label1[] = "ドライブ名";
inline constexpr char kForm2Label2[] = "フォルダ名";
inline constexpr char kForm2Label3[] = "ファイル名";
inline constexpr char kForm2Label4[] = "ファイルを選択して「ファイル選択」ボタンを押してください。";
inline constexpr char kForm2Command1[] = "ファイル選択";
inline constexpr char kForm2Command2[] = "戻る";
inline constexpr char kDriveFailure[] = "指定したドライブは現在使用できません。";
inline constexpr char kDriveFailureTitle[] = "ドライブ情報取得失敗";
inline constexpr char kTooManyDropped[] =
    "２個以上のオブジェクトを\rドラッグ＆ドロップしないで下さい。";
inline constexpr char kTooManyDroppedTitle[] = "Ｄ＆Ｄキャンセル";

inline constexpr char kForm3Title[] = "バージョン情報";
inline constexpr char kForm3Command1[] = "戻る";
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
