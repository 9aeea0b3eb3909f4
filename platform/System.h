#pragma once
// Facts about the running system and process, one small function each.
// Implemented per platform (linux/ now).

#include <cstdint>
#include <optional>
#include <string>

namespace corvina {

// Full path of the running executable. Tests may set another path, so the
// files named after the executable land in a folder of their own.
std::string ExecutablePath();
void SetExecutablePath(const std::string& path);

// Total physical memory in bytes.
std::uint64_t TotalPhysicalMemory();

struct TOsVersion {
  std::string PrettyName;  // e.g. "Debian GNU/Linux 12 (bookworm)"
  std::string Release;     // kernel release, e.g. "6.1.0-18-amd64"
  std::string Machine;     // e.g. "x86_64"
};
TOsVersion QueryOsVersion();

// The per-user folder of log-on autostart entries; nullopt when the user's
// home cannot be found.
std::optional<std::string> AutostartFolder();

// The system's message text for an errno-style code.
std::string SystemErrorText(int code);

}  // namespace corvina
