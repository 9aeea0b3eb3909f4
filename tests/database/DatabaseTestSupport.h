#pragma once
// Helpers shared by the database tests: a folder of their own, whole-file
// reads, a lock held by another process, and root giving up its power to
// ignore file permissions.

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TempFolder.h"

namespace corvina::dbtest {

namespace fs = std::filesystem;

using test::ReadFileBytes;
using test::TTempFolder;
using test::WriteFileBytes;

// A child process holds a POSIX write lock on the whole file, as another
// program would; locks of our own process would not stop our own SQLite.
class TLockedElsewhere {
 public:
  explicit TLockedElsewhere(const fs::path& path) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      close(ready[0]);
      close(release[1]);
      const int fd = open(path.c_str(), O_RDWR);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      const char ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      char byte;
      while (read(release[0], &byte, 1) > 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    releaseFd_ = release[1];
    char ok = '0';
    locked_ = read(ready[0], &ok, 1) == 1 && ok == '1';
    close(ready[0]);
  }
  ~TLockedElsewhere() { Release(); }
  bool Locked() const { return locked_; }
  void Release() {
    if (child_ <= 0) return;
    close(releaseFd_);
    waitpid(child_, nullptr, 0);
    child_ = -1;
  }

 private:
  pid_t child_ = -1;
  int releaseFd_ = -1;
  bool locked_ = false;
};

// Root reads and writes any file whatever its mode bits. While this lives
// the calling thread (which is the one SQLite runs on) obeys them.
class TObeyFileModes {
 public:
  TObeyFileModes() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    active_ = syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~TObeyFileModes() {
    if (active_) syscall(SYS_capset, &header_, saved_);
  }
  bool Active() const { return active_; }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
};

}  // namespace corvina::dbtest
