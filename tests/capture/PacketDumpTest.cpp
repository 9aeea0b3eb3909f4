// The dump record layout and the dump file: nothing while off, appended per
// delivered packet while on, a failed write loses only that record and
// leaves no part of it behind.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "capture/CaptureFixture.h"
#include "capture/PacketDump.h"
#include "platform/System.h"
#include "support/TempFolder.h"

using namespace corvina;
using namespace corvina::test;
namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kLocal[4] = {192, 168, 0, 2};
constexpr std::uint8_t kRemote[4] = {192, 168, 0, 5};

std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(PacketDump, RecordOfA21ByteEchoRequest) {
  auto p = MakePacket(21, 1, kRemote, kLocal);
  p[20] = 8;
  TSnifferProtocolData data;
  ASSERT_TRUE(DecodePacket(p.data(), 21, RangeTextToAddr("192.168.0.2"), {}, data));
  data.ipDumpString = BuildDumpString(p.data(), 21);
  TFormatSettings settings = TFormatSettings::Russian();
  settings.TimeSeparator = "-";
  const TDateTime time = EncodeDate(2024, 2, 9) + EncodeTime(7, 5, 3, 0);
  EXPECT_EQ(FormatPacketDumpRecord(data, time, settings),
            "ipDateTime: 09.02.2024 07-05-03\r\n"
            "ipType: sptICMP\r\n"
            "ipDirection: sdtIncoming\r\n"
            "ipSource: 192.168.0.5\r\n"
            "ipDestination: 192.168.0.2\r\n"
            "ipPacketSize: 21\r\n"
            "ipDumpString:\r\n"
            "000000 45 00 00 15 00 00 00 00 | 40 01 00 00 C0 A8 00 05     E.......@.......\r\n"
            "000010 C0 A8 00 02 08 " +
                std::string(39, ' ') +
                ".....\r\n"
                "\r\n"
                "\r\n"
                "------------------------------------------------------------------\r\n"
                "\r\n");
}

class PacketDumpFile : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMainThread();
    folder = fs::temp_directory_path() / ("corvina-dump-" + std::to_string(getpid()));
    fs::create_directories(folder);
    SetExecutablePath((folder / "corvina").string());
    adapters.Set("192.168.0.2");
    stat = std::make_unique<TSnifferStat>();
    feed = UseMemoryFeed(*stat);
    stat->OnTraffic = [this](TSnifferStat*, const TSnifferHostData&, const TSnifferStatCounters&) {
      ++traffic;
    };
    stat->StartCapture();
    ASSERT_TRUE(PumpUntil([&] { return stat->Capturing(); }));
  }
  void TearDown() override {
    stat.reset();
    SetExecutablePath("");
    fs::remove_all(folder);
  }
  void Deliver(int count) {
    const int until = traffic + count;
    for (int i = 0; i < count; ++i) feed->Push(MakePacket(40 + i, i % 2 ? 17 : 6, kRemote, kLocal));
    ASSERT_TRUE(PumpUntil([&] { return traffic == until; }));
  }

  fs::path folder;
  TFakeAdapters adapters;
  std::unique_ptr<TSnifferStat> stat;
  std::shared_ptr<TMemoryFeed> feed;
  int traffic = 0;
};

TEST_F(PacketDumpFile, NothingIsWrittenWhileOffThenOneRecordPerDeliveredPacket) {
  EXPECT_EQ(stat->DumpFileName(), (folder / "corvina.dump").string());
  Deliver(3);
  EXPECT_FALSE(fs::exists(stat->DumpFileName()));

  { std::ofstream(stat->DumpFileName(), std::ios::binary) << "earlier run\r\n"; }
  stat->SetDumpEnabled(true);
  Deliver(4);  // TCP and UDP alternate; only TCP is counted, all are written
  const std::string text = ReadFileBytes(stat->DumpFileName());
  EXPECT_EQ(text.rfind("earlier run\r\nipDateTime: ", 0), 0u);
  EXPECT_EQ(CountOf(text, "ipDateTime: "), 4u);
  EXPECT_EQ(CountOf(text, "ipType: sptUDP\r\n"), 2u);
  EXPECT_EQ(CountOf(text, "\r\n\r\n\r\n" + std::string(66, '-') + "\r\n\r\n"), 4u);

  stat->SetDumpEnabled(false);
  Deliver(2);
  EXPECT_EQ(ReadFileBytes(stat->DumpFileName()), text);
}

TEST_F(PacketDumpFile, AFailedWriteLosesTheRecordButThePacketIsCounted) {
  fs::create_directories(stat->DumpFileName());  // a folder where the file should be
  stat->SetDumpEnabled(true);
  Deliver(1);
  EXPECT_EQ(stat->Counters().TcpIn, 40);
  fs::remove(stat->DumpFileName());
  Deliver(1);
  EXPECT_EQ(CountOf(ReadFileBytes(stat->DumpFileName()), "ipDateTime: "), 1u);
}

TEST(AppendToFile, AWriteCutShortByAFullDiskLeavesNoHalfRecord) {
  TTempFolder folder;
  const std::string file = folder.File("corvina.dump");
  WriteFileBytes(file, "earlier record\r\n");
  // The file size limit stands in for a full disk: the write stops part-way.
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 16 + 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool written = AppendToFile(file, std::string(1000, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFileBytes(file), "earlier record\r\n");
  EXPECT_TRUE(AppendToFile(file, "next record\r\n"));
  EXPECT_EQ(ReadFileBytes(file), "earlier record\r\nnext record\r\n");
}

TEST(AppendToFile, APipeWithoutAReaderInTheFilesPlaceLosesTheRecordAtOnce) {
  TTempFolder folder;
  const std::string fifo = folder.File("corvina.dump");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(AppendToFile(fifo, "record\r\n"));  // instead of waiting for a reader for ever
}

TEST(AppendToFile, AWriteInterruptedByASignalGoesOn) {
  // A pipe in place of the file: while it is full the write waits, and the
  // signals sent meanwhile interrupt it before it wrote anything.
  TTempFolder folder;
  const std::string fifo = folder.File("corvina.dump");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  const int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_GE(filler, 0);
  const std::string chunk(4096, 'f');
  std::size_t filled = 0;
  for (ssize_t n; (n = write(filler, chunk.data(), chunk.size())) > 0;) filled += std::size_t(n);

  struct sigaction interrupt {
  }, saved{};
  interrupt.sa_handler = [](int) {};  // no SA_RESTART: a blocked write returns EINTR
  sigaction(SIGUSR1, &interrupt, &saved);
  const pthread_t writer = pthread_self();
  std::atomic<bool> finished{false};
  std::string drained;
  std::thread drain([&] {
    for (int i = 0; i < 20; ++i) {
      pthread_kill(writer, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(reader, buffer, sizeof buffer);
      if (n > 0)
        drained.append(buffer, std::size_t(n));
      else if (finished)
        break;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const std::string record(1000, 'r');
  const bool written = AppendToFile(fifo, record);
  finished = true;
  drain.join();
  sigaction(SIGUSR1, &saved, nullptr);
  close(filler);
  close(reader);
  EXPECT_TRUE(written);
  EXPECT_EQ(drained.size(), filled + record.size());
  EXPECT_TRUE(drained.ends_with(record));
}
