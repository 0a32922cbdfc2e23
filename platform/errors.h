// Turning the operating system's error numbers into reasons a user can read.
// The one place where errno becomes words.
#pragma once

#include <string>

namespace tallyrun::platform {

std::string ReasonFromErrno(int error_number);

inline constexpr char kReasonEmptyPath[] = "ファイル名が指定されていません";
inline constexpr char kReasonNotRegularFile[] = "通常のファイルではありません";
inline constexpr char kReasonNulInPath[] = "パスに NUL 文字が含まれています";

}  // namespace tallyrun::platform
