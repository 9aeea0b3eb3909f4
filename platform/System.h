#pragma once
// Facts about the running system and process, one small function each.
// Implemented per platform (linux/ now).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// Writes data to a temporary file in fileName's folder, flushes it to disk and
// renames it over fileName, so a failed write never leaves a partial file.
// Returns 0, or the errno of the step that failed (the temporary file is then
// removed). An existing file keeps its permission bits; a new one gets 0644.
int ReplaceFileContents(const std::string& fileName, std::string_view data);

// Holds an exclusive lock on fileName (created when missing) until the
// process ends, however it ends: the system drops it with the process.
// False when another process holds it. Where fileName can be neither opened
// nor created (a read-only folder) the lock is taken on fallback instead; a
// lock that cannot be taken at all counts as held.
bool LockUntilExit(const std::string& fileName, const std::string& fallback);

// Gives the heap's free pages back to the system. For when a capture ends:
// the threads that come and go leave free room in the allocator's pools,
// which it would otherwise keep for the rest of the day.
void ReturnFreeMemory();

// The system's message text for an errno-style code.
std::string SystemErrorText(int code);

}  // namespace corvina
