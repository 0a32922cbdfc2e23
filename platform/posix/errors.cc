#include "platform/errors.h"

#include <cerrno>
#include <cstring>

namespace tallyrun::platform {

std::string ReasonFromErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
      return "ファイルまたはフォルダが見つかりません";
    case EACCES:
    case EPERM:
      return "アクセスが拒否されました";
    case EISDIR:
      return "フォルダです";
    case ENOTDIR:
      return "フォルダでないものがフォルダとして指定されています";
    case EROFS:
      return "読み取り専用のファイルシステムです";
    case ENOSPC:
    case EDQUOT:
      return "ディスクの空き容量が足りません";
    case ENAMETOOLONG:
      return "パスが長すぎます";
    case ELOOP:
      return "シンボリックリンクが循環しています";
    case ENXIO:
    case ENODEV:
      return kReasonNotRegularFile;
    case EIO:
      return "入出力エラーが発生しました";
    case EFBIG:
      return "ファイルが大きすぎます";
    case EMFILE:
    case ENFILE:
      return "開いているファイルが多すぎます";
    case EINVAL:
    case EOPNOTSUPP:
      return "この操作はここではできません";
    case ETXTBSY:
    case EBUSY:
      return "ほかのプログラムが使用中です";
    case EAGAIN:
      return "いまは使用できません";
    case ENOLCK:
      return "ファイルをロックできません";
    case ENOMEM:
      return "メモリが足りません";
    case EXDEV:
      return "ドライブをまたいで移動できません";
    case ESTALE:
      return "ネットワーク上のファイルが見つからなくなりました";
    default:
      // Whatever else the system says, the user still hears it in Japanese,
      // with the system's own words for whoever helps them.
      return "エラーが発生しました（" + std::string(std::strerror(error_number)) + "）";
  }
}

std::string KeptRecordsNote(std::size_t records) {
  return "（取り消せなかったため、書き込めた " + std::to_string(records) +
         " 件はログに残りました）";
}

}  // namespace tallyrun::platform
