#include "capture/PacketDump.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvina {

std::string FormatPacketDumpRecord(const TSnifferProtocolData& Data, TDateTime time,
                                   const TFormatSettings& fs) {
  const std::string crlf = "\r\n";
  std::string record;
  record.reserve(Data.ipDumpString.size() + 256);
  record += "ipDateTime: " + FormatDateTime("dd.mm.yyyy hh:nn:ss", time, fs) + crlf;
  record += std::string("ipType: ") + SnifferProtocolTypeNames[Data.ipType] + crlf;
  record += std::string("ipDirection: ") + SnifferDirectionTypeNames[Data.ipDirection] + crlf;
  record += "ipSource: " + Data.ipSource + crlf;
  record += "ipDestination: " + Data.ipDestination + crlf;
  record += "ipPacketSize: " + std::to_string(Data.ipPacketSize) + crlf;
  record += "ipDumpString:" + crlf;
  record += Data.ipDumpString + crlf;
  record += std::string(66, '-') + crlf;
  record += crlf;
  return record;
}

bool AppendToFile(const std::string& fileName, const std::string& text) {
  // Opened without blocking, as a pipe without a reader in the file's place
  // would hold up the main thread; the writes then block as usual.
  const int fd =
      open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  fcntl(fd, F_SETFL, O_APPEND);
  struct stat before {};
  const bool sized = fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += std::size_t(n);
  }
  if (done != text.size() && done > 0 && sized) {
    // A full disk stops the write part-way: half a record would run into the
    // next one, so the file goes back to where this record began.
    [[maybe_unused]] const int cut = ftruncate(fd, before.st_size);
  }
  return close(fd) == 0 && done == text.size();
}

}  // namespace corvina
