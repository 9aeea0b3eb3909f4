#include "platform/Privileges.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvina {
namespace {

// Through the system call itself: the program needs no capability library.
bool Capabilities(std::uint64_t& effective, std::uint64_t& permitted) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  effective = data[0].effective | std::uint64_t(data[1].effective) << 32;
  permitted = data[0].permitted | std::uint64_t(data[1].permitted) << 32;
  return true;
}

bool SetIdentity() {
  uid_t ruid, euid, suid;
  gid_t rgid, egid, sgid;
  if (getresuid(&ruid, &euid, &suid) != 0 || getresgid(&rgid, &egid, &sgid) != 0) return true;
  return euid != ruid || suid != ruid || egid != rgid || sgid != rgid;
}

}  // namespace

bool RunsAsRoot() { return getuid() == 0 && geteuid() == 0; }

bool HoldsPrivilegesBeyond(std::uint64_t allowed) {
  if (SetIdentity()) return true;
  if (RunsAsRoot()) return false;
  std::uint64_t effective = 0, permitted = 0;
  // Rights that cannot be read are held, to be safe.
  if (!Capabilities(effective, permitted)) return true;
  return ((effective | permitted) & ~allowed) != 0;
}

bool DropPrivileges() {
  const gid_t gid = getgid();
  const uid_t uid = getuid();
  if (setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0) return false;
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  // No permitted capability leaves no ambient one either.
  __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capset, &header, none) != 0) return false;
  std::uint64_t effective = 1, permitted = 1;
  return Capabilities(effective, permitted) && effective == 0 && permitted == 0;
}

}  // namespace corvina
