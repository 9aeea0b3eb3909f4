#pragma once
// Network namespaces for integration tests. Traffic only ever flows inside
// the namespaces a test makes itself.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace corvina::test {

// Runs a shell command; returns its exit status.
inline int Shell(const std::string& command) {
  const int rc = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Why namespaces cannot be made here, or empty when they can.
inline std::string NetnsUnavailableReason() {
  if (geteuid() != 0) return "network namespace tests need root";
  if (Shell("command -v ip") != 0) return "the ip command (iproute2) is missing";
  const std::string probe = "corvina-probe-" + std::to_string(getpid());
  if (Shell("ip netns add " + probe) != 0)
    return "ip netns add failed: namespaces cannot be made here";
  Shell("ip netns del " + probe);
  return {};
}

// A named namespace that lives as long as the object.
class TNetns {
 public:
  explicit TNetns(const std::string& tag)
      : name_("corvina-" + tag + "-" + std::to_string(getpid())) {
    Shell("ip netns del " + name_);
    if (Shell("ip netns add " + name_) != 0)
      throw std::runtime_error("cannot create namespace " + name_);
    Run("ip link set lo up");
  }
  ~TNetns() {
    Leave();
    Shell("ip netns del " + name_);
  }
  TNetns(const TNetns&) = delete;
  TNetns& operator=(const TNetns&) = delete;

  const std::string& Name() const { return name_; }
  // Runs a command inside the namespace; throws when it fails.
  void Run(const std::string& command) const {
    if (Shell("ip netns exec " + name_ + " " + command) != 0)
      throw std::runtime_error("in " + name_ + ": " + command + " failed");
  }
  int TryRun(const std::string& command) const {
    return Shell("ip netns exec " + name_ + " " + command);
  }
  std::string Exec(const std::string& command) const {
    return "ip netns exec " + name_ + " " + command;
  }
  // Waits until the link counts as running: the kernel sets that a moment
  // after `ip link set up` (up to a second), not at once.
  void WaitForCarrier(const std::string& device) const {
    for (int i = 0; i < 150; ++i) {
      if (TryRun("grep -qxE 'up|unknown' /sys/class/net/" + device + "/operstate") == 0) return;
      usleep(20000);
    }
    throw std::runtime_error("in " + name_ + ": " + device + " did not come up");
  }

  // Moves the calling thread into the namespace (threads it starts later follow).
  void Enter() {
    if (original_ < 0) original_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int fd = open(("/var/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
      if (fd >= 0) close(fd);
      throw std::runtime_error("cannot enter namespace " + name_);
    }
    close(fd);
  }
  void Leave() {
    if (original_ < 0) return;
    setns(original_, CLONE_NEWNET);
    close(original_);
    original_ = -1;
  }

 private:
  std::string name_;
  int original_ = -1;
};

}  // namespace corvina::test
