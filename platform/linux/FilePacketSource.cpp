// Replay of a capture file through the same link-layer handling as the live
// capture, in this process: it needs no privilege.

#include <atomic>
#include <cerrno>

#include "platform/PacketSource.h"
#include "platform/System.h"
#include "platform/linux/PcapCapture.h"
#include "platform/linux/WakeUp.h"

namespace corvina {
namespace {

// The wait at the end of the file, so that Close is heard soon.
constexpr int kPollMilliseconds = 250;

class TFilePcapSource : public IPacketSource {
 public:
  explicit TFilePcapSource(std::string fileName) : fileName_(std::move(fileName)) {}

  int Startup() override {
    std::string text;
    if (const int code = TPcapCapture::Startup(text)) return Fail(code, text);
    return wake_.Error() ? Fail(wake_.Error(), "") : 0;
  }
  int Open() override {
    const int code = capture_.OpenFile(fileName_);
    return code ? Fail(code, capture_.ErrorText()) : 0;
  }
  int Bind(const std::string&) override { return 0; }
  int Activate() override { return 0; }
  std::string ErrorText() const override { return errorText_; }

  int Receive(const TPacketSink& sink, int maxPackets) override {
    if (closed_) return 0;
    int given = 0;
    const int read = capture_.Dispatch(
        [&sink](const std::uint8_t* packet, int length, const timeval& stamp) {
          return sink(packet, length, UnixToLocalDateTime(stamp.tv_sec, int(stamp.tv_usec / 1000)));
        },
        maxPackets, given);
    if (read == 0) {
      // The end of the file: wait like a silent interface.
      wake_.Wait(-1, kPollMilliseconds);
      return 0;
    }
    if (closed_) return 0;
    if (read < 0) {
      wake_.Wait(-1, 100);  // a failing file fails at once on every call; don't spin on it
      return -1;
    }
    return given;
  }

  void Close() override {
    closed_ = true;
    wake_.Signal();
  }
  int Handle() const override { return -1; }
  std::uint64_t KernelDropped() const override { return 0; }

 private:
  int Fail(int code, const std::string& text) {
    errorText_ = text.empty() ? SystemErrorText(code) : text;
    return code;
  }

  std::string fileName_;
  TPcapCapture capture_;
  TWakeUp wake_;
  std::atomic<bool> closed_{false};
  std::string errorText_;
};

}  // namespace

std::unique_ptr<IPacketSource> CreateFilePacketSource(const std::string& fileName) {
  return std::make_unique<TFilePcapSource>(fileName);
}

}  // namespace corvina
