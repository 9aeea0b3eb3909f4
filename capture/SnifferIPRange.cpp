#include "capture/SnifferIPRange.h"

#include <algorithm>
#include <cstring>

namespace corvina {

namespace {

std::uint8_t Octet(std::uint32_t address, int index) {
  std::uint8_t bytes[4];
  std::memcpy(bytes, &address, 4);
  return bytes[index];
}

}  // namespace

bool IPInRange(std::uint32_t Address, std::uint32_t StartAddr, std::uint32_t EndAddr) {
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t a = Octet(Address, i);
    if (a < Octet(StartAddr, i) || a > Octet(EndAddr, i)) return false;
  }
  return true;
}

std::uint32_t RangeTextToAddr(const std::string& text) {
  constexpr std::uint32_t kInvalid = 0xFFFFFFFFu;
  std::uint8_t bytes[4];
  std::size_t pos = 0;
  for (int group = 0; group < 4; ++group) {
    if (group > 0) {
      if (pos >= text.size() || text[pos] != '.') return kInvalid;
      ++pos;
    }
    const std::size_t begin = pos;
    unsigned value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + unsigned(text[pos] - '0');
      if (value > 255) return kInvalid;
      ++pos;
    }
    if (pos == begin) return kInvalid;
    bytes[group] = std::uint8_t(value);
  }
  if (pos != text.size()) return kInvalid;
  std::uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

int TSnifferIPRangeList::Add(const TSnifferIPRange& Range) {
  if (count_ == capacity_) Grow();
  items_[count_] = Range;
  return count_++;
}

int TSnifferIPRangeList::AddRange(const std::string& StartText, const std::string& EndText) {
  return Add({RangeTextToAddr(StartText), RangeTextToAddr(EndText)});
}

TSnifferIPRange TSnifferIPRangeList::Get(int Index) const {
  if (Index < 0 || Index >= count_) Error("List index out of bounds (%d)", Index);
  return items_[Index];
}

void TSnifferIPRangeList::Delete(int Index) {
  if (Index < 0 || Index >= count_) Error("List index out of bounds (%d)", Index);
  std::copy(items_.get() + Index + 1, items_.get() + count_, items_.get() + Index);
  --count_;
}

void TSnifferIPRangeList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TSnifferIPRangeList::SetCount(int NewCount) {
  if (NewCount < 0 || NewCount > MaxListSize) Error("List count out of bounds (%d)", NewCount);
  if (NewCount > capacity_) SetCapacity(NewCount);
  if (NewCount > count_)
    std::fill(items_.get() + count_, items_.get() + NewCount, TSnifferIPRange{});
  count_ = NewCount;
}

void TSnifferIPRangeList::SetCapacity(int NewCapacity) {
  if (NewCapacity < count_ || NewCapacity > MaxListSize)
    Error("List capacity out of bounds (%d)", NewCapacity);
  if (NewCapacity == capacity_) return;
  std::unique_ptr<TSnifferIPRange[]> items;
  if (NewCapacity > 0) {
    items = std::make_unique<TSnifferIPRange[]>(NewCapacity);
    std::copy(items_.get(), items_.get() + count_, items.get());
  }
  items_ = std::move(items);
  capacity_ = NewCapacity;
}

void TSnifferIPRangeList::Grow() {
  int delta = 4;
  if (capacity_ > 64)
    delta = capacity_ / 4;
  else if (capacity_ > 8)
    delta = 16;
  SetCapacity(capacity_ + delta);
}

void TSnifferIPRangeList::Error(const std::string& Message, int Value) {
  std::string text = Message;
  const std::size_t at = text.find("%d");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(Value));
  throw EExceptionError(text);
}

}  // namespace corvina
