#pragma once
// Finding the IPv4 packet inside a captured frame: the link-layer header of
// every link type we capture on or replay is skipped, and the frame's padding
// is cut where the IPv4 header says the packet ends.

#include <cstdint>

namespace corvina {

// Offset of the IPv4 header in a frame of the given libpcap link type (DLT_*),
// or -1 when the frame does not carry IPv4.
int IPv4Offset(int linkType, const std::uint8_t* frame, int length);

// The IPv4 packet's length behind offset: the rest of the frame, cut to the
// header's total length when the frame is longer (padding of short frames).
int IPv4Length(const std::uint8_t* frame, int length, int offset);

}  // namespace corvina
