#include "adapters/posix/PosixToolRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <optional>

extern char** environ;

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

// An exit status, -1 when the child was killed by a signal; none while it still runs.
std::optional<int> reap(pid_t pid) {
  int status = 0;
  pid_t r;
  do r = ::waitpid(pid, &status, WNOHANG);
  while (r < 0 && errno == EINTR);
  if (r < 0) {  // not our child any more (SIGCHLD ignored, or reaped elsewhere)
    return -1;
  }
  if (r == 0) return std::nullopt;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int pidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

// Blocks until the child has changed state or the deadline passed.
void waitAWhile(int pidfd, Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return;
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    return;
  }
  timespec ts{0, 5 * 1000 * 1000};
  ::nanosleep(&ts, nullptr);
}

// Waits for the child until the deadline; none if it is still running then.
std::optional<int> waitUntil(pid_t pid, int pidfd, Clock::time_point deadline) {
  for (;;) {
    if (auto s = reap(pid)) return s;
    if (Clock::now() >= deadline) return std::nullopt;
    waitAWhile(pidfd, deadline);
  }
}

struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

int PosixToolRunner::run(const std::string& program, const std::vector<std::string>& args,
                         double timeoutSeconds) {
  if (program.empty()) return -1;
  if (!std::isfinite(timeoutSeconds) || timeoutSeconds <= 0) timeoutSeconds = 30;
  timeoutSeconds = std::min(timeoutSeconds, 24.0 * 3600);

  std::vector<std::string> argvStore;
  argvStore.reserve(args.size() + 1);
  argvStore.push_back(program);
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  SpawnSetup s;
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&s.actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  // A library may have opened a descriptor without close-on-exec: none reaches the tool.
  posix_spawn_file_actions_addclosefrom_np(&s.actions, 3);
  // Its own process group, so a timed-out tool is killed together with what it started; and
  // a clean signal state, whatever the app blocks or ignores.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  posix_spawnattr_setsigmask(&s.attr, &none);
  posix_spawnattr_setsigdefault(&s.attr, &all);
  posix_spawnattr_setpgroup(&s.attr, 0);
  posix_spawnattr_setflags(&s.attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  if (::posix_spawnp(&pid, program.c_str(), &s.actions, &s.attr, argv.data(), environ) != 0)
    return -1;

  const auto deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<long long>(timeoutSeconds * 1000));
  int pidfd = pidfdOpen(pid);
  auto status = waitUntil(pid, pidfd, deadline);
  if (!status) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    // SIGKILL ends it at once unless the kernel holds it; do not wait for that forever.
    waitUntil(pid, pidfd, Clock::now() + std::chrono::seconds(5));
    status = -1;
  }
  if (pidfd >= 0) ::close(pidfd);
  return *status;
}

}  // namespace qm
