// The live packet source against a stand-in for the capture helper: packets
// in order with their stamps across reads and refusals of the sink, the
// helper's errors, a helper that is missing or ends without an answer, and
// nothing handed out after Close.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/PacketSource.h"
#include "platform/System.h"
#include "support/TempFolder.h"

using namespace corvina;
namespace fs = std::filesystem;

namespace {

class HelperPacketSource : public ::testing::Test {
 protected:
  void SetUp() override {
    SetExecutablePath((folder.Path() / "corvina").string());
    fs::create_symlink(FAKE_CAPTURE_HELPER, folder.Path() / "corvina-capture");
  }
  void TearDown() override { SetExecutablePath(""); }

  // Opens the source on address: the step that failed, or 0.
  int OpenOn(const std::string& address) {
    for (int code : {source->Startup(), source->Open(), source->Bind(address)})
      if (code != 0) return code;
    return source->Activate();
  }

  test::TTempFolder folder;
  std::unique_ptr<IPacketSource> source = CreateLivePacketSource();
};

TEST_F(HelperPacketSource, PacketsComeInOrderAndWhatTheSinkLeavesWaits) {
  ASSERT_EQ(OpenOn("10.0.0.1"), 0);
  int next = 0;
  bool intact = true;
  // A sink that is full after every 100th packet; at most 1000 per call.
  const IPacketSource::TPacketSink sink = [&](const std::uint8_t* packet, int n, TDateTime time) {
    intact = intact && n == 20 + next % 1500 && packet[0] == std::uint8_t(next) &&
             packet[n - 1] == std::uint8_t(next) &&
             time == UnixToLocalDateTime(1700000000 + next, 5);
    return ++next % 100 != 0;
  };
  for (int calls = 0; next < 5000 && calls < 1000; ++calls) {
    const int before = next;
    const int given = source->Receive(sink, 1000);
    ASSERT_EQ(given, next - before);
    ASSERT_LE(given, 100);
  }
  EXPECT_EQ(next, 5000);
  EXPECT_TRUE(intact);
  for (int calls = 0; source->KernelDropped() != 7 && calls < 40; ++calls)
    source->Receive(sink, 1000);
  EXPECT_EQ(source->KernelDropped(), 7u);
}

TEST_F(HelperPacketSource, TheHelpersErrorsReachTheProgram) {
  EXPECT_EQ(OpenOn("10.0.0.2"), ENETDOWN);
  EXPECT_EQ(source->ErrorText(), "link down");

  // Ending without an answer is how a helper refuses to run.
  source = CreateLivePacketSource();
  EXPECT_EQ(OpenOn("10.0.0.3"), EPERM);
  EXPECT_EQ(source->ErrorText(), "Operation not permitted");

  fs::remove(folder.Path() / "corvina-capture");
  source = CreateLivePacketSource();
  EXPECT_EQ(OpenOn("10.0.0.1"), EPERM);
  EXPECT_EQ(source->ErrorText(), "Operation not permitted");
}

TEST_F(HelperPacketSource, AfterCloseNothingIsHandedOut) {
  ASSERT_EQ(OpenOn("10.0.0.1"), 0);
  int taken = 0;
  const IPacketSource::TPacketSink sink = [&](const std::uint8_t*, int, TDateTime) {
    ++taken;
    return true;
  };
  while (taken == 0) source->Receive(sink, 10);  // thousands more are on their way
  const int before = taken;
  source->Close();
  EXPECT_EQ(source->Receive(sink, 10), 0);
  EXPECT_EQ(taken, before);
}

}  // namespace
