#pragma once
// The text record that the packet dump file gets for each delivered packet.

#include <string>

#include "capture/PacketDecoder.h"
#include "framework/FormatSettings.h"

namespace corvina {

// One record: the header lines, the byte dump, the separator and an empty
// line, all with CR LF line ends. time is when the record is written.
std::string FormatPacketDumpRecord(const TSnifferProtocolData& Data, TDateTime time,
                                   const TFormatSettings& fs);

// Appends text to fileName with one write (resumed after a signal), creating
// the file when missing. Answers false when the file cannot be opened or
// written; a write cut short leaves the file as it was before.
bool AppendToFile(const std::string& fileName, const std::string& text);

}  // namespace corvina
