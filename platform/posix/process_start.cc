#include "platform/process_start.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace tallyrun::platform {
namespace {

std::vector<char*> ArgumentPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

bool StartDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<char*> pointers = ArgumentPointers(argv);
  // Fork twice so the started program is adopted by init and never left as
  // a zombie of ours.
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::execvp(pointers[0], pointers.data());
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ReplaceProcess(const std::string& program, const std::vector<std::string>& argv) {
  std::vector<char*> pointers = ArgumentPointers(argv);
  ::execv(program.c_str(), pointers.data());
  return ReasonFromErrno(errno);
}

}  // namespace tallyrun::platform
