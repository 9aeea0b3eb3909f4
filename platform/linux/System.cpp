#include "platform/System.h"

#include <fcntl.h>
#include <malloc.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "netinfo/sysutil.h"

namespace corvina {
namespace {

std::mutex& PathMutex() {
  static std::mutex m;
  return m;
}
std::string& PathOverride() {
  static std::string path;
  return path;
}

}  // namespace

std::string ExecutablePath() {
  {
    std::lock_guard lock(PathMutex());
    if (!PathOverride().empty()) return PathOverride();
  }
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

void SetExecutablePath(const std::string& path) {
  std::lock_guard lock(PathMutex());
  PathOverride() = path;
}

std::uint64_t TotalPhysicalMemory() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
}

TOsVersion QueryOsVersion() {
  TOsVersion v;
  std::ifstream in("/etc/os-release");
  if (!in) in.open("/usr/lib/os-release");
  std::stringstream text;
  text << in.rdbuf();
  v.PrettyName = ParseOsReleasePrettyName(text.str());
  struct utsname u {};
  if (uname(&u) == 0) {
    v.Release = u.release;
    v.Machine = u.machine;
  }
  return v;
}

std::optional<std::string> AutostartFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/autostart";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
    home = h;
  } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
    home = pw->pw_dir;
  } else {
    return std::nullopt;
  }
  return home + "/.config/autostart";
}

int ReplaceFileContents(const std::string& fileName, std::string_view data) {
  const std::filesystem::path target(fileName);
  std::string tmp =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmp.data());
  if (fd < 0) return errno;
  struct stat old {};
  const mode_t mode = stat(fileName.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  int error = 0;
  for (std::size_t done = 0; done < data.size() && !error;) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n >= 0)
      done += static_cast<std::size_t>(n);
    else if (errno != EINTR)
      error = errno;
  }
  if (!error && fchmod(fd, mode) != 0) error = errno;
  if (!error && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && !error) error = errno;
  if (!error && rename(tmp.c_str(), fileName.c_str()) != 0) error = errno;
  if (error) unlink(tmp.c_str());
  return error;
}

void ReturnFreeMemory() { malloc_trim(0); }

std::string SystemErrorText(int code) {
  char buf[256];
  // The GNU strerror_r returns the text, which may not live in buf.
  return strerror_r(code, buf, sizeof buf);
}

bool LockUntilExit(const std::string& fileName, const std::string& fallback) {
  int fd = open(fileName.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) fd = open(fallback.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open: the lock lives with it
  const bool heldElsewhere = errno == EWOULDBLOCK;
  close(fd);
  return !heldElsewhere;
}

}  // namespace corvina
