#include "platform/linux/WakeUp.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace corvina {

TWakeUp::TWakeUp() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), error_(fd_ < 0 ? errno : 0) {}

TWakeUp::~TWakeUp() {
  if (fd_ >= 0) close(fd_);
}

void TWakeUp::Signal() {
  const std::uint64_t one = 1;
  if (fd_ >= 0 && write(fd_, &one, sizeof one) < 0) {
    // The counter is already non-zero: the wake-up is pending anyway.
  }
}

bool TWakeUp::Wait(int fd, int timeout) {
  pollfd fds[2] = {{fd_, POLLIN, 0}, {fd, POLLIN, 0}};
  const int rc = poll(fds, fd >= 0 ? 2 : 1, timeout);
  return rc > 0 && fds[0].revents == 0 && fds[1].revents != 0;
}

}  // namespace corvina
