// The real reply time-outs, 6 and 60 seconds. Slow by nature: one test.
#include <gtest/gtest.h>

#include "link_fixture.h"

namespace kordal::testing {
namespace {

class TimeoutTest : public LinkTest {};

TEST_F(TimeoutTest, ReplyLaterThanSixSecondsIsLostUnlessTheLongTimeOutIsOn) {
  Answer late;
  late.delay = std::chrono::seconds(7);

  peer_->script({late});
  CallerBuffers missed;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(TrimiteTelegrama(kPrinterPort, "", 0x21, missed.data, missed.status),
            KORDAL_ERR_NO_REPLY);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(5900));
  EXPECT_LT(waited, std::chrono::milliseconds(6900));
  EXPECT_TRUE(missed.untouched());
  // The late reply lands in the input queue; the next exchange discards it.
  peer_->waitIdle();

  EXPECT_EQ(TimeOut60(kPrinterPort), 0);
  peer_->script({late});
  CallerBuffers received;
  EXPECT_EQ(TrimiteTelegrama(kPrinterPort, "", 0x21, received.data, received.status), KORDAL_OK);
  EXPECT_EQ(received.statusBytes(), late.status);

  // Back to the short time-out: the same late reply is lost again.
  EXPECT_EQ(TimeOut6(kPrinterPort), 0);
  peer_->script({late});
  CallerBuffers missed_again;
  const auto again = std::chrono::steady_clock::now();
  EXPECT_EQ(TrimiteTelegrama(kPrinterPort, "", 0x21, missed_again.data, missed_again.status),
            KORDAL_ERR_NO_REPLY);
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(6900));
  EXPECT_TRUE(missed_again.untouched());
  peer_->waitIdle();
}

}  // namespace
}  // namespace kordal::testing
