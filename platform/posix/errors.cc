#include "platform/errors.h"

#include <cerrno>
#include <cstring>

namespace tallyrun::platform {

namespace {

struct Reason {
  int error_number;
  const char* text;
};

constexpr Reason kReasons[] = {
    {ENOENT, "ファイルまたはフォルダが見つかりません"},
    {EACCES, "アクセスが拒否されました"},
    {EPERM, "アクセスが拒否されました"},
    {EISDIR, "フォルダです"},
    {ENOTDIR, "フォルダでないものがフォルダとして指定されています"},
    {EROFS, "読み取り専用のファイルシステムです"},
    {ENOSPC, "ディスクの空き容量が足りません"},
    {EDQUOT, "ディスクの空き容量が足りません"},
    {ENAMETOOLONG, "パスが長すぎます"},
    {ELOOP, "シンボリックリンクが循環しています"},
    {ENXIO, kReasonNotRegularFile},
    {ENODEV, kReasonNotRegularFile},
    {EIO, "入出力エラーが発生しました"},
    {EFBIG, "ファイルが大きすぎます"},
    {EMFILE, "開いているファイルが多すぎます"},
    {ENFILE, "開いているファイルが多すぎます"},
    {EINVAL, "この操作はここではできません"},
    {EOPNOTSUPP, "この操作はここではできません"},
    {ETXTBSY, "ほかのプログラムが使用中です"},
    {EBUSY, "ほかのプログラムが使用中です"},
    {EAGAIN, "いまは使用できません"},
    {ENOLCK, "ファイルをロックできません"},
    {ENOMEM, "メモリが足りません"},
    {EXDEV, "ドライブをまたいで移動できません"},
    {ESTALE, "ネットワーク上のファイルが見つからなくなりました"},
};

}  // namespace

std::string ReasonFromErrno(int error_number) {
  for (const Reason& reason : kReasons) {
    if (reason.error_number == error_number) return reason.text;
  }
  // Whatever else the system says, the user still hears it in Japanese, with
  // the system's own words for whoever helps them.
  return "エラーが発生しました（" + std::string(std::strerror(error_number)) + "）";
}

}  // namespace tallyrun::platform
