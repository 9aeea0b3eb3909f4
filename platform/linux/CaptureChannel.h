#pragma once
// The channel between the program and its capture helper: a stream socket
// pair, inherited by the helper as descriptor 3 (never a named socket, so
// only the program that started the helper can talk to it). It carries
// records, each a header (kind, payload length) and the payload, in this
// machine's byte order.
//
// The program asks once: kOpen with the local address. The helper answers
// kOpened or kError (code and text), then sends kPacket records in batches,
// kDropped when the kernel's drop count grew and kError when a read failed,
// until the program closes its end.

#include <sys/time.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvina::channel {

constexpr int kHelperFd = 3;
constexpr const char* kHelperName = "corvina-capture";

enum TKind : std::uint32_t { kOpen = 1, kOpened, kError, kPacket, kDropped };

struct TRecord {
  TKind Kind;
  const std::uint8_t* Payload;
  std::uint32_t Length;
};

// Collects records into one batch that goes out in one write.
class TWriter {
 public:
  void Open(const std::string& localAddress);
  void Opened();
  void Error(int code, const std::string& text);
  void Packet(const std::uint8_t* packet, int length, const timeval& stamp);
  void Dropped(std::uint64_t count);

  std::size_t Size() const { return bytes_.size(); }
  // Writes the batch, waiting while the channel is full, and starts the
  // next. False when the other end is gone.
  bool Send(int fd);

 private:
  void Header(TKind kind, std::size_t length);
  void Append(const void* data, std::size_t length);

  std::vector<std::uint8_t> bytes_;
};

// Takes what arrives on the channel and hands out whole records.
class TReader {
 public:
  // Reads what the channel holds now, without waiting: the bytes read, 0 at
  // the end of the stream (also after a record no peer of ours would send),
  // or -1 with errno (EAGAIN when nothing was ready).
  ssize_t ReadFrom(int fd);
  // The next whole record, valid until Pop or ReadFrom; false when none is.
  bool Next(TRecord& record);
  void Pop();

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool broken_ = false;
};

// The payloads; each answers false when the record is not of its form.
bool ParseOpen(const TRecord& record, std::string& localAddress);
bool ParseError(const TRecord& record, int& code, std::string& text);
bool ParsePacket(const TRecord& record, const std::uint8_t*& packet, int& length, timeval& stamp);
bool ParseDropped(const TRecord& record, std::uint64_t& count);

}  // namespace corvina::channel
