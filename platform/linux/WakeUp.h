#pragma once
// One thread waits on a descriptor, another ends the wait at once and for
// good: how a packet source's Close wakes a blocked Receive.

namespace corvina {

class TWakeUp {
 public:
  TWakeUp();
  ~TWakeUp();
  TWakeUp(const TWakeUp&) = delete;
  TWakeUp& operator=(const TWakeUp&) = delete;

  // The errno of making it, 0 when it works.
  int Error() const { return error_; }
  // Any thread: the current wait ends, and every later one at once.
  void Signal();
  // Waits up to timeout milliseconds for fd (none when -1) to be readable or
  // closed by its peer. False on time-out or after Signal.
  bool Wait(int fd, int timeout);

 private:
  int fd_;
  int error_;
};

}  // namespace corvina
