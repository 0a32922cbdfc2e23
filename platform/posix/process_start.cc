#include "platform/process_start.h"

#include <fcntl.h>
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

int WaitFor(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

bool EndedWell(int status) { return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// In the detached process: every command but the last is waited for.
[[noreturn]] void RunInTurn(std::vector<std::vector<char*>>& commands) {
  for (std::size_t i = 0; i + 1 < commands.size(); ++i) {
    const pid_t attempt = ::fork();
    if (attempt == 0) {
      const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
      if (quiet >= 0) {
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
      }
      ::execvp(commands[i][0], commands[i].data());
      ::_exit(127);
    }
    if (attempt > 0 && EndedWell(WaitFor(attempt))) ::_exit(0);
  }
  ::execvp(commands.back()[0], commands.back().data());
  ::_exit(127);
}

}  // namespace

bool StartDetached(const std::vector<std::vector<std::string>>& commands) {
  if (commands.empty()) return false;
  std::vector<std::vector<char*>> pointers;
  for (const std::vector<std::string>& argv : commands) {
    if (argv.empty()) return false;
    pointers.push_back(ArgumentPointers(argv));
  }
  // Fork twice so the started programs are adopted by init and never left
  // as zombies of ours.
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) RunInTurn(pointers);
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  return EndedWell(WaitFor(child));
}

std::string ReplaceProcess(const std::string& program, const std::vector<std::string>& argv) {
  std::vector<char*> pointers = ArgumentPointers(argv);
  ::execv(program.c_str(), pointers.data());
  return ReasonFromErrno(errno);
}

}  // namespace tallyrun::platform
