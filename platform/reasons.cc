// Reasons that read the same whatever the system underneath.
#include <string>

#include "platform/errors.h"

namespace tallyrun::platform {

std::string LockedByOtherReason(int seconds_waited) {
  return "ほかのプログラムがこのファイルをロックしたままです（" + std::to_string(seconds_waited) +
         " 秒待ちました）";
}

std::string KeptRecordsNote(std::size_t records) {
  return "（取り消せなかったため、書き込めた " + std::to_string(records) +
         " 件はログに残りました）";
}

}  // namespace tallyrun::platform
