#include "platform/linux/PcapCapture.h"

#include <pcap/pcap.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "platform/AdapterQuery.h"
#include "platform/LinkLayer.h"

namespace corvina {
namespace {

// Room for the largest IPv4 packet behind any link-layer header we strip.
constexpr int kSnapLength = 65536 + 64;
constexpr int kKernelBufferBytes = 32 * 1024 * 1024;
constexpr int kBlockTimeoutMilliseconds = 20;

struct TDispatch {
  const TPcapCapture::TSink* sink;
  int linkType;
  int given;
  bool room;
};

void OnFrame(u_char* user, const pcap_pkthdr* header, const u_char* frame) {
  auto& d = *reinterpret_cast<TDispatch*>(user);
  const int length = int(header->caplen);
  const int offset = IPv4Offset(d.linkType, frame, length);
  if (offset < 0) return;
  ++d.given;
  // The kernel's time stamp when capturing, the recorded one when replaying.
  d.room = (*d.sink)(frame + offset, IPv4Length(frame, length, offset), header->ts);
}

std::string DeviceHolding(const std::string& address) {
  for (const TAdapterRecord& adapter : QueryAdapters())
    for (const TAdapterIPv4& a : adapter.Addresses)
      if (a.Address == address) return adapter.Name;
  return {};
}

}  // namespace

TPcapCapture::~TPcapCapture() {
  if (pcap_) pcap_close(pcap_);
}

int TPcapCapture::Startup(std::string& errorText) {
  char errbuf[PCAP_ERRBUF_SIZE] = "";
  if (pcap_init(PCAP_CHAR_ENC_LOCAL, errbuf) == 0) return 0;
  errorText = errbuf;
  return EINVAL;
}

int TPcapCapture::OpenLive(const std::string& localAddress) {
  const std::string device = DeviceHolding(localAddress);
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

  const int status = pcap_activate(pcap_);
  if (status == PCAP_ERROR_PERM_DENIED) return Fail(EPERM, "");
  if (status == PCAP_ERROR_NO_SUCH_DEVICE) return FailPcap(ENODEV);
  if (status == PCAP_ERROR_IFACE_NOT_UP) return FailPcap(ENETDOWN);
  if (status < 0) return FailPcap(EIO);
  bpf_program program;
  const std::string filter = "ip host " + localAddress;
  if (pcap_compile(pcap_, &program, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0)
    return FailPcap(EINVAL);
  const int set = pcap_setfilter(pcap_, &program);
  pcap_freecode(&program);
  if (set != 0) return FailPcap(EINVAL);
  const int one = 1;
  if (setsockopt(pcap_fileno(pcap_), SOL_SOCKET, SO_LOCK_FILTER, &one, sizeof one) != 0)
    return Fail(errno, "");
  if (pcap_setnonblock(pcap_, 1, errbuf) != 0) return Fail(EIO, errbuf);
  return 0;
}

int TPcapCapture::OpenFile(const std::string& fileName) {
  char errbuf[PCAP_ERRBUF_SIZE] = "";
  pcap_ = pcap_open_offline(fileName.c_str(), errbuf);
  return pcap_ ? 0 : Fail(ENOENT, errbuf);
}

int TPcapCapture::SelectableFd() const { return pcap_ ? pcap_get_selectable_fd(pcap_) : -1; }

int TPcapCapture::Dispatch(const TSink& sink, int maxPackets, int& given) {
  // Small steps, so that a full sink is heeded soon.
  constexpr int kStep = 32;
  TDispatch dispatch{&sink, pcap_datalink(pcap_), 0, true};
  int read = 0;
  while (dispatch.room && dispatch.given < maxPackets) {
    const int step = std::min(kStep, maxPackets - dispatch.given);
    const int rc = pcap_dispatch(pcap_, step, OnFrame, reinterpret_cast<u_char*>(&dispatch));
    if (rc < 0) {
      if (read == 0) read = -1;
      break;
    }
    read += rc;
    if (rc < step) break;  // nothing more is ready, or the file has ended
  }
  given = dispatch.given;
  return read;
}

bool TPcapCapture::KernelDropped(std::uint64_t& dropped) {
  pcap_stat stats{};
  if (pcap_stats(pcap_, &stats) != 0) return false;
  dropped = stats.ps_drop;
  return true;
}

int TPcapCapture::Fail(int code, const std::string& text) {
  errorText_ = text;
  return code;
}

int TPcapCapture::FailPcap(int code) { return Fail(code, pcap_geterr(pcap_)); }

}  // namespace corvina
