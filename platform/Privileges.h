#pragma once
// Rights a process holds beyond those of the user who started it. Only the
// capture helper may hold one, the capability to capture; the program holds
// none, since it loads code that its environment names.

#include <cstdint>

namespace corvina {

// The real and effective user is root, who holds every right anyway.
bool RunsAsRoot();

// True when the process runs set-user-ID or set-group-ID, or (unless it
// runs as root) holds an effective or permitted capability outside allowed,
// a mask of capability numbers (bit n for capability n).
bool HoldsPrivilegesBeyond(std::uint64_t allowed);

// Gives up for good every capability and a set-ID identity. False when the
// system refused.
bool DropPrivileges();

}  // namespace corvina
