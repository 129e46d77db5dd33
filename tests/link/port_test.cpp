// Opening, searching and closing ports, the time-out switches and the delay.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "link_fixture.h"
#include "posix_serial_port.h"

namespace kordal::testing {
namespace {

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    libraryState().reset();
    libraryState().setClock(&clock_);
    // Every port the search may reach points at a device that does not exist.
    for (int port = 1; port <= 9; ++port) {
      setenv(("KORDAL_COM" + std::to_string(port)).c_str(), "/nonexistent/kordal-tty", 1);
    }
  }
  void TearDown() override {
    libraryState().reset();
    for (int port = 1; port <= 9; ++port) {
      unsetenv(("KORDAL_COM" + std::to_string(port)).c_str());
    }
  }

  FixedClock clock_{kFixedSecond};
};

TEST_F(PortTest, DeviceOfAPortNumber) {
  unsetenv("KORDAL_COM4");
  EXPECT_EQ(devicePathFor(4), "/dev/ttyS3");
  setenv("KORDAL_COM4", "", 1);
  EXPECT_EQ(devicePathFor(4), "/dev/ttyS3");
  setenv("KORDAL_COM4", "/dev/pts/77", 1);
  EXPECT_EQ(devicePathFor(4), "/dev/pts/77");
}

TEST_F(PortTest, SearchSkipsMissingPortsAndLeavesTheFoundOneReady) {
  PrinterPeer peer;
  peer.attachAs(3);
  // Line noise waiting before the open must be gone afterwards.
  peer.inject({0x55, 0x01, 0x02});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));

  ASSERT_GT(peer.pendingInput(), 0);

  EXPECT_EQ(InitializeazaSeriala(), 3);
  EXPECT_FALSE(libraryState().isOpen(1));
  EXPECT_FALSE(libraryState().isOpen(2));
  // Checked before any command, which would discard the queue on its own.
  EXPECT_EQ(peer.pendingInput(), 0);

  const termios line = peer.slaveSettings();
  EXPECT_EQ(cfgetospeed(&line), B9600);
  EXPECT_EQ(cfgetispeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_NE(line.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u);

  CallerBuffers buffers;
  EXPECT_EQ(TrimiteTelegrama(3, "", 0x21, buffers.data, buffers.status), KORDAL_OK);
  EXPECT_EQ(InchidePort(3), 0);
}

TEST_F(PortTest, OpenMakesACookedLineRaw) {
  // A terminal as the system leaves it: line editing, echo, signal and
  // flow-control characters, CR/NL translation. Every byte below would be
  // changed, held back or eaten on such a line.
  PrinterPeer peer;
  peer.attachAs(5);
  termios cooked = peer.slaveSettings();
  cooked.c_iflag |= ICRNL | IXON | ISTRIP;
  cooked.c_oflag |= OPOST | ONLCR;
  cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
  cooked.c_cc[VINTR] = 0x03;
  cooked.c_cc[VEOF] = 0x04;
  cooked.c_cc[VSTART] = 0x11;
  cooked.c_cc[VSTOP] = 0x13;
  peer.setSlaveSettings(cooked);

  ASSERT_EQ(InitializeazaSerialaNr(5), 5);
  libraryState().port(5).setTimeoutSeconds(1);
  const Bytes awkward{0x0D, 0x0A, 0x03, 0x04, 0x11, 0x13, 0x7F, 0xFF, 0x00};
  Answer answer;
  answer.data = awkward;
  peer.script({answer});
  Bytes block{static_cast<std::uint8_t>(awkward.size())};
  block.insert(block.end(), awkward.begin(), awkward.end());
  CallerBuffers buffers;
  ASSERT_EQ(TrimiteTelegramaL(5, block.data(), 0x21, buffers.counted(), buffers.status),
            KORDAL_OK);
  EXPECT_EQ(peer.requests().at(0), requestFrame(0, 0x21, awkward));
  EXPECT_EQ(Bytes(buffers.data + 1, buffers.data + 1 + awkward.size()), awkward);
  peer.waitIdle();
}

TEST_F(PortTest, SearchReachesPortNineWhichTheNumberedFunctionsRefuse) {
  PrinterPeer peer;
  peer.attachAs(9);
  EXPECT_EQ(InitializeazaSeriala(), 9);
  EXPECT_EQ(InchidePort(9), KORDAL_PORT_OUT_OF_RANGE);
  // Still open: commands reach the printer.
  CallerBuffers buffers;
  EXPECT_EQ(TrimiteTelegrama(9, "", 0x21, buffers.data, buffers.status), KORDAL_OK);
}

TEST_F(PortTest, SearchWithoutAnyPortGivesMinusOne) {
  EXPECT_EQ(InitializeazaSeriala(), KORDAL_PORT_NONE_FOUND);
}

TEST_F(PortTest, NumberedFunctionsCheckTheRangeBeforeTouchingAnything) {
  PrinterPeer peer;
  peer.attachAs(9);
  for (std::int32_t port : {0, 9, -1, std::numeric_limits<std::int32_t>::min()}) {
    SCOPED_TRACE(port);
    EXPECT_EQ(InitializeazaSerialaNr(port), KORDAL_PORT_OUT_OF_RANGE);
    EXPECT_EQ(InchidePort(port), KORDAL_PORT_OUT_OF_RANGE);
  }
  EXPECT_FALSE(libraryState().isOpen(9));
}

TEST_F(PortTest, FailedOpenAndCloseGiveSerialLayerCodes) {
  const std::int32_t opened = InitializeazaSerialaNr(2);
  EXPECT_LT(opened, 0);
  EXPECT_NE(opened, KORDAL_PORT_NONE_FOUND);
  EXPECT_NE(opened, KORDAL_PORT_OUT_OF_RANGE);
  EXPECT_FALSE(libraryState().isOpen(2));

  const std::int32_t closed = InchidePort(2);
  EXPECT_LT(closed, 0);
  EXPECT_NE(closed, KORDAL_PORT_OUT_OF_RANGE);
}

TEST_F(PortTest, CloseRestoresTheLineAsFoundAndTheNumberCanOpenAgain) {
  PrinterPeer peer;
  peer.attachAs(4);
  termios before = peer.slaveSettings();
  before.c_lflag |= ICANON | ECHO;
  cfsetospeed(&before, B19200);
  peer.setSlaveSettings(before);

  ASSERT_EQ(InitializeazaSerialaNr(4), 4);
  ASSERT_EQ(InitializeazaSerialaNr(4), 4);  // a second open replaces the first
  EXPECT_EQ(InchidePort(4), 0);
  const termios after = peer.slaveSettings();
  EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
  EXPECT_EQ(cfgetospeed(&after), B19200);
  EXPECT_LT(InchidePort(4), 0);
}

TEST_F(PortTest, TimeOutSwitchesAlwaysAnswerZero) {
  for (std::int32_t port : {1, 8, 9, 0, -7, 1000}) {
    EXPECT_EQ(TimeOut6(port), 0);
    EXPECT_EQ(TimeOut60(port), 0);
  }
}

TEST_F(PortTest, DelayWaitsAndAlwaysAnswersOne) {
  libraryState().setClock(nullptr);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Intarziere(0.5f), 1);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(490));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));

  const auto quick = std::chrono::steady_clock::now();
  EXPECT_EQ(Intarziere(0.0f), 1);
  EXPECT_EQ(Intarziere(-3.0f), 1);
  EXPECT_EQ(Intarziere(std::nanf("")), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - quick, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace kordal::testing
