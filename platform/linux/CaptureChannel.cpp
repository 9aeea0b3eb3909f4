#include "platform/linux/CaptureChannel.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace corvina::channel {
namespace {

struct THeader {
  std::uint32_t Kind;
  std::uint32_t Length;
};
// A packet's time stamp, ahead of its bytes.
constexpr std::size_t kStampBytes = sizeof(std::int64_t) + sizeof(std::int32_t);
// The largest record a peer of ours sends: a packet of the snap length.
constexpr std::uint32_t kMaxPayload = kStampBytes + 65536 + 64;
// Reads go into at least this much room.
constexpr std::size_t kReadBytes = 256 * 1024;

template <typename T>
T Load(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

void TWriter::Header(TKind kind, std::size_t length) {
  const THeader header{kind, std::uint32_t(length)};
  Append(&header, sizeof header);
}

void TWriter::Append(const void* data, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  bytes_.insert(bytes_.end(), bytes, bytes + length);
}

void TWriter::Open(const std::string& localAddress) {
  Header(kOpen, localAddress.size());
  Append(localAddress.data(), localAddress.size());
}

void TWriter::Opened() { Header(kOpened, 0); }

void TWriter::Error(int code, const std::string& text) {
  const std::int32_t value = code;
  Header(kError, sizeof value + text.size());
  Append(&value, sizeof value);
  Append(text.data(), text.size());
}

void TWriter::Packet(const std::uint8_t* packet, int length, const timeval& stamp) {
  const std::int64_t seconds = stamp.tv_sec;
  const std::int32_t microseconds = std::int32_t(stamp.tv_usec);
  Header(kPacket, kStampBytes + std::size_t(length));
  Append(&seconds, sizeof seconds);
  Append(&microseconds, sizeof microseconds);
  Append(packet, std::size_t(length));
}

void TWriter::Dropped(std::uint64_t count) {
  Header(kDropped, sizeof count);
  Append(&count, sizeof count);
}

bool TWriter::Send(int fd) {
  std::size_t done = 0;
  while (done < bytes_.size()) {
    const ssize_t n = send(fd, bytes_.data() + done, bytes_.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += std::size_t(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd out{fd, POLLOUT, 0};
      poll(&out, 1, -1);
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  bytes_.clear();
  return true;
}

ssize_t TReader::ReadFrom(int fd) {
  if (broken_) return 0;
  if (buffer_.size() - end_ < kReadBytes) {
    // Move the unread rest to the front, or grow when that is not enough.
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (buffer_.size() - end_ < kReadBytes) buffer_.resize(end_ + kReadBytes);
  }
  const ssize_t n = recv(fd, buffer_.data() + end_, buffer_.size() - end_, MSG_DONTWAIT);
  if (n > 0) end_ += std::size_t(n);
  return n;
}

bool TReader::Next(TRecord& record) {
  if (broken_ || end_ - begin_ < sizeof(THeader)) return false;
  const auto header = Load<THeader>(buffer_.data() + begin_);
  if (header.Length > kMaxPayload) {
    broken_ = true;
    return false;
  }
  if (end_ - begin_ < sizeof(THeader) + header.Length) return false;
  record = {TKind(header.Kind), buffer_.data() + begin_ + sizeof(THeader), header.Length};
  return true;
}

void TReader::Pop() {
  TRecord record;
  if (Next(record)) begin_ += sizeof(THeader) + record.Length;
}

bool ParseOpen(const TRecord& record, std::string& localAddress) {
  // Dotted IPv4 text and nothing longer.
  if (record.Kind != kOpen || record.Length > 15) return false;
  localAddress.assign(reinterpret_cast<const char*>(record.Payload), record.Length);
  return true;
}

bool ParseError(const TRecord& record, int& code, std::string& text) {
  if (record.Kind != kError || record.Length < sizeof(std::int32_t)) return false;
  code = Load<std::int32_t>(record.Payload);
  text.assign(reinterpret_cast<const char*>(record.Payload) + sizeof(std::int32_t),
              record.Length - sizeof(std::int32_t));
  return true;
}

bool ParsePacket(const TRecord& record, const std::uint8_t*& packet, int& length, timeval& stamp) {
  if (record.Kind != kPacket || record.Length < kStampBytes) return false;
  stamp.tv_sec = time_t(Load<std::int64_t>(record.Payload));
  stamp.tv_usec = suseconds_t(Load<std::int32_t>(record.Payload + sizeof(std::int64_t)));
  packet = record.Payload + kStampBytes;
  length = int(record.Length - kStampBytes);
  return true;
}

bool ParseDropped(const TRecord& record, std::uint64_t& count) {
  if (record.Kind != kDropped || record.Length != sizeof count) return false;
  count = Load<std::uint64_t>(record.Payload);
  return true;
}

}  // namespace corvina::channel
