// Turning the operating system's error numbers into reasons a user can read.
// The one place where errno becomes words.
#pragma once

#include <cstddef>
#include <string>

namespace tallyrun::platform {

std::string ReasonFromErrno(int error_number);

inline constexpr char kReasonEmptyPath[] = "ファイル名が指定されていません";
inline constexpr char kReasonNotRegularFile[] = "通常のファイルではありません";
inline constexpr char kReasonNulInPath[] = "パスに NUL 文字が含まれています";
inline constexpr char kReasonFolderMissing[] = "フォルダが見つかりません";

// Another program kept the file locked all the while we waited.
std::string LockedByOtherReason(int seconds_waited);

// Said after the reason when part of a batch got in and could not be taken
// back: how many of its records the log keeps.
std::string KeptRecordsNote(std::size_t records);

}  // namespace tallyrun::platform
