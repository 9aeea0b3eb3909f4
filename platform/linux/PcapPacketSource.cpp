// Packet sources on libpcap: live capture on the interface that holds the
// local address, and replay of a capture file through the same link-layer
// handling.

#include <pcap/pcap.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/AdapterQuery.h"
#include "platform/LinkLayer.h"
#include "platform/PacketSource.h"
#include "platform/System.h"

namespace corvina {
namespace {

// Room for the largest IPv4 packet behind any link-layer header we strip.
constexpr int kSnapLength = 65536 + 64;
constexpr int kKernelBufferBytes = 32 * 1024 * 1024;
constexpr int kBlockTimeoutMilliseconds = 20;
// A blocked receive wakes at least this often, so a lost wake-up costs little.
constexpr int kPollMilliseconds = 250;

class TPcapSource : public IPacketSource {
 public:
  TPcapSource()
      : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), wakeError_(wake_ < 0 ? errno : 0) {}
  ~TPcapSource() override {
    if (pcap_) pcap_close(pcap_);
    if (wake_ >= 0) close(wake_);
  }

  int Startup() override {
    char errbuf[PCAP_ERRBUF_SIZE] = "";
    if (pcap_init(PCAP_CHAR_ENC_LOCAL, errbuf) != 0) return Fail(EINVAL, errbuf);
    // errno of the thread that made the source, not of this one.
    if (wake_ < 0) return Fail(wakeError_, SystemErrorText(wakeError_));
    return 0;
  }
  std::string ErrorText() const override { return errorText_; }

  int Receive(const TPacketSink& sink, int maxPackets) override {
    if (closed_ || !pcap_) return 0;
    UpdateStats();
    TDispatch dispatch{this, &sink, pcap_datalink(pcap_), 0, true};
    int rc = Dispatch(dispatch, maxPackets);
    if (rc == 0 && !ReadsFile() && PollWith(handle_, kPollMilliseconds))
      rc = Dispatch(dispatch, maxPackets);
    if (rc == 0 && ReadsFile()) {
      // The end of a capture file: wait like a silent interface.
      PollWith(-1, kPollMilliseconds);
      return 0;
    }
    if (closed_) return 0;
    if (rc == PCAP_ERROR) {
      // A vanished interface fails at once on every call; don't spin on it.
      Pause();
      return -1;
    }
    return dispatch.given;
  }

  void Close() override {
    closed_ = true;
    const std::uint64_t one = 1;
    if (wake_ >= 0 && write(wake_, &one, sizeof one) < 0) {
      // The counter is already non-zero: the wake-up is pending anyway.
    }
  }

  int Handle() const override { return handle_; }
  std::uint64_t KernelDropped() const override { return dropped_; }

 protected:
  // A read that gives nothing is the end of a capture file, not a quiet interface.
  virtual bool ReadsFile() const { return false; }

  int Fail(int code, const std::string& text) {
    errorText_ = text.empty() ? SystemErrorText(code) : text;
    return code;
  }
  int FailPcap(int code) { return Fail(code, pcap_ ? pcap_geterr(pcap_) : ""); }

  bool PollWith(int fd, int timeout) {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {fd, POLLIN, 0}};
    const int rc = poll(fds, fd >= 0 ? 2 : 1, timeout);
    return rc > 0 && !closed_ && fds[1].revents != 0;
  }
  void Pause() { PollWith(-1, 100); }

  // pcap_stats is not safe beside the receive, so the receiving thread reads
  // it now and then. A file has no statistics and keeps 0.
  void UpdateStats() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastStats_ < std::chrono::milliseconds(200)) return;
    lastStats_ = now;
    pcap_stat stats{};
    if (pcap_stats(pcap_, &stats) == 0) dropped_ = stats.ps_drop;
  }

  pcap_t* pcap_ = nullptr;
  std::atomic<int> handle_{-1};
  std::atomic<bool> closed_{false};
  std::atomic<std::uint64_t> dropped_{0};

 private:
  struct TDispatch {
    TPcapSource* source;
    const TPacketSink* sink;
    int linkType;
    int given;
    bool room;
  };

  static void OnFrame(u_char* user, const pcap_pkthdr* header, const u_char* frame) {
    auto& d = *reinterpret_cast<TDispatch*>(user);
    const int length = int(header->caplen);
    const int offset = IPv4Offset(d.linkType, frame, length);
    if (offset < 0) return;
    ++d.given;
    // The kernel's time stamp when capturing, the recorded one when replaying.
    const TDateTime time = UnixToLocalDateTime(header->ts.tv_sec, int(header->ts.tv_usec / 1000));
    d.room = (*d.sink)(frame + offset, IPv4Length(frame, length, offset), time);
  }

  // Every frame that is ready, up to maxPackets, in small steps so that a
  // full sink is heeded soon. Answers the frames read, 0 when none was ready,
  // or PCAP_ERROR.
  int Dispatch(TDispatch& dispatch, int maxPackets) {
    constexpr int kStep = 32;
    int read = 0;
    while (dispatch.room && dispatch.given < maxPackets) {
      const int step = std::min(kStep, maxPackets - dispatch.given);
      const int rc = pcap_dispatch(pcap_, step, OnFrame, reinterpret_cast<u_char*>(&dispatch));
      if (rc < 0) return read > 0 ? read : rc;
      read += rc;
      if (rc < step) break;  // nothing more is ready, or the file has ended
    }
    return read;
  }

  std::chrono::steady_clock::time_point lastStats_{};
  int wake_;
  int wakeError_;
  std::string errorText_;
};

class TLivePcapSource : public TPcapSource {
 public:
  int Open() override { return 0; }

  int Bind(const std::string& localAddress) override {
    address_ = localAddress;
    std::string device;
    for (const TAdapterRecord& adapter : QueryAdapters())
      for (const TAdapterIPv4& a : adapter.Addresses)
        if (a.Address == localAddress && device.empty()) device = adapter.Name;
    if (device.empty()) return Fail(EADDRNOTAVAIL, "");
    char errbuf[PCAP_ERRBUF_SIZE] = "";
    pcap_ = pcap_create(device.c_str(), errbuf);
    if (!pcap_) return Fail(ENODEV, errbuf);
    pcap_set_snaplen(pcap_, kSnapLength);
    pcap_set_promisc(pcap_, 0);
    // Immediate mode would give every packet a ring slot of the full snap
    // length, so a burst of small packets overflows at once; blocks packed
    // densely and handed over after a short time-out hold far more.
    pcap_set_timeout(pcap_, kBlockTimeoutMilliseconds);
    pcap_set_buffer_size(pcap_, kKernelBufferBytes);
    return 0;
  }

  int Activate() override {
    const int status = pcap_activate(pcap_);
    if (status == PCAP_ERROR_PERM_DENIED) return Fail(EPERM, "");
    if (status == PCAP_ERROR_NO_SUCH_DEVICE) return FailPcap(ENODEV);
    if (status == PCAP_ERROR_IFACE_NOT_UP) return FailPcap(ENETDOWN);
    if (status < 0) return FailPcap(EIO);
    bpf_program program;
    const std::string filter = "ip host " + address_;
    if (pcap_compile(pcap_, &program, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0)
      return FailPcap(EINVAL);
    const int set = pcap_setfilter(pcap_, &program);
    pcap_freecode(&program);
    if (set != 0) return FailPcap(EINVAL);
    char errbuf[PCAP_ERRBUF_SIZE] = "";
    if (pcap_setnonblock(pcap_, 1, errbuf) != 0) return Fail(EIO, errbuf);
    handle_ = pcap_get_selectable_fd(pcap_);
    return 0;
  }

 private:
  std::string address_;
};

class TFilePcapSource : public TPcapSource {
 public:
  explicit TFilePcapSource(std::string fileName) : fileName_(std::move(fileName)) {}

  int Open() override {
    char errbuf[PCAP_ERRBUF_SIZE] = "";
    pcap_ = pcap_open_offline(fileName_.c_str(), errbuf);
    return pcap_ ? 0 : Fail(ENOENT, errbuf);
  }
  int Bind(const std::string&) override { return 0; }
  int Activate() override { return 0; }

 protected:
  bool ReadsFile() const override { return true; }

 private:
  std::string fileName_;
};

}  // namespace

std::unique_ptr<IPacketSource> CreateLivePacketSource() {
  return std::make_unique<TLivePcapSource>();
}

std::unique_ptr<IPacketSource> CreateFilePacketSource(const std::string& fileName) {
  return std::make_unique<TFilePcapSource>(fileName);
}

}  // namespace corvina
