#pragma once
// Excluded remote address ranges: a growable array of address pairs and the
// octet-wise range test the capture thread applies to every packet.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace corvina {

class EExceptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Addresses hold their four octets in network byte order (first octet first in memory).
struct TSnifferIPRange {
  std::uint32_t StartAddr = 0;
  std::uint32_t EndAddr = 0;
  bool operator==(const TSnifferIPRange&) const = default;
};

// True when every octet of Address lies between the same octets of the bounds.
bool IPInRange(std::uint32_t Address, std::uint32_t StartAddr, std::uint32_t EndAddr);

// Reads "a.b.c.d" with decimal groups 0..255 (leading zeros allowed); any other
// text gives all bits set.
std::uint32_t RangeTextToAddr(const std::string& text);

// Not locked: its owner keeps readers and writers apart.
class TSnifferIPRangeList {
 public:
  static constexpr int MaxListSize = 0xFFFFFFF;

  TSnifferIPRangeList() = default;
  virtual ~TSnifferIPRangeList() = default;
  TSnifferIPRangeList(const TSnifferIPRangeList&) = delete;
  TSnifferIPRangeList& operator=(const TSnifferIPRangeList&) = delete;

  int Add(const TSnifferIPRange& Range);
  int AddRange(const std::string& StartText, const std::string& EndText);
  TSnifferIPRange Get(int Index) const;
  void Delete(int Index);
  virtual void Clear();

  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  void SetCount(int NewCount);
  void SetCapacity(int NewCapacity);

  // Raises EExceptionError with Message's "%d" replaced by Value.
  [[noreturn]] static void Error(const std::string& Message, int Value);

 protected:
  virtual void Grow();

 private:
  std::unique_ptr<TSnifferIPRange[]> items_;
  int count_ = 0;
  int capacity_ = 0;
};

}  // namespace corvina
