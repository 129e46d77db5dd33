// What each export puts on the line, and the argument errors that stop a
// command before anything is sent.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "link_fixture.h"

namespace kordal::testing {
namespace {

using Call = std::function<int(CallerBuffers&)>;

struct FrameCase {
  const char* name;
  Call call;
  Bytes frame;
};

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

const std::string kTenChars = "0123456789";
const unsigned char kDateTime[] = {0x00, 0x14, 0x17, 0x30, 0x06, 0x05, 0xEE};
const unsigned char kReport[] = {0x01, 0x01, 0x05, 0x31, 0x12, 0x05, 'e', 0xEE};
const std::string kHighBytes(200, '\xFF');

class ExportsTest : public LinkTest {};

TEST_F(ExportsTest, EachExportSendsItsFrame) {
  const unsigned char block_with_zero[] = {3, 0x00, 0x01, 0xFF};
  const FrameCase cases[] = {
      {"one-character text", [](CallerBuffers& b) {
         return TrimiteTelegrama(kPrinterPort, "F", 0x21, b.data, b.status); },
       {0x01, 0x03, 0x07, 0x21, 0x46, 0x71, 0x00, 0x03}},
      {"empty text", [](CallerBuffers& b) {
         return TrimiteTelegrama(kPrinterPort, "", 0x30, b.data, b.status); },
       {0x01, 0x02, 0x07, 0x30, 0x39, 0x00, 0x03}},
      {"only the low byte of the command code", [](CallerBuffers& b) {
         return TrimiteTelegrama(kPrinterPort, "F", 0x7721, b.data, b.status); },
       {0x01, 0x03, 0x07, 0x21, 0x46, 0x71, 0x00, 0x03}},
      {"checksum carries into the high byte", [](CallerBuffers& b) {
         return TrimiteTelegrama(kPrinterPort, kHighBytes.c_str(), 0x21, b.data, b.status); },
       concat({{0x01, 0xCA, 0x07, 0x21}, Bytes(200, 0xFF), {0x2A, 0xC8, 0x03}})},
      {"counted block may hold zero bytes", [&](CallerBuffers& b) {
         return TrimiteTelegramaL(kPrinterPort, block_with_zero, 0x4B, b.counted(), b.status); },
       requestFrame(0, 0x4B, {0x00, 0x01, 0xFF})},
      {"sale line", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'A', "1.000", "+250", "          ",
                                    b.data, b.status); },
       requestFrame(7, 0x08, {'P', 'A', 'I', 'N', 'E', 0x09, 'A', 0x09, 0x00, 0x01, 0x00, 0x00,
                              0x00, 0x09, '+', 0x00, 0x00, 0x00, 0xFA})},
      {"subtotal sends low bytes", [](CallerBuffers& b) {
         return Subtotal(kPrinterPort, 0x101, 0x2FF, b.data, b.status); },
       requestFrame(7, 0x09, {0x01, 0xFF})},
      {"total with empty text", [](CallerBuffers& b) {
         return CalculTotal(kPrinterPort, "", "N1500", b.data, b.status); },
       requestFrame(7, 0x0A, {0x09, 'N', 0x00, 0x00, 0x05, 0xDC})},
      {"read VAT rates ignores its rate arguments", [](CallerBuffers& b) {
         return CitesteCoteTVA(kPrinterPort, 1, 2, 3, 4, 5, 6, 7, 8, b.data, b.status); },
       requestFrame(7, 0x0F, {})},
      {"write VAT rates 19, 9, 0, 0", [](CallerBuffers& b) {
         return ScrieCoteTVA(kPrinterPort, 19, 0, 9, 0, 0, 0, 0, 0x100, b.data, b.status); },
       requestFrame(7, 0x04, {0x13, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00})},
      {"date and time block of six bytes, zero included", [](CallerBuffers& b) {
         return ScrieDataOra(kPrinterPort, kDateTime, b.data, b.status); },
       requestFrame(7, 0x26, {0x00, 0x14, 0x17, 0x30, 0x06, 0x05})},
      {"report block of seven bytes", [](CallerBuffers& b) {
         return RaportPeriodic(kPrinterPort, kReport, b.data, b.status); },
       requestFrame(7, 0x1F, {0x01, 0x01, 0x05, 0x31, 0x12, 0x05, 'e'})},
      {"footer line 0", [](CallerBuffers& b) {
         return ScrieHeaderFooter(kPrinterPort, 0, 2, kTenChars.c_str(), b.data, b.status); },
       requestFrame(7, 0x06, concat({{'S', 0x00, ','}, textBytes(kTenChars)}))},
      {"header line 3", [](CallerBuffers& b) {
         return ScrieHeaderFooter(kPrinterPort, 3, 1, "X", b.data, b.status); },
       requestFrame(7, 0x06, {'A', 0x03, ',', 'X'})},
      {"cash in", [](CallerBuffers& b) {
         return InOutSume(kPrinterPort, "+1500", b.data, b.status); },
       requestFrame(7, 0x2A, {'+', 0x00, 0x00, 0x05, 0xDC})},
      {"cash out", [](CallerBuffers& b) {
         return InOutSume(kPrinterPort, "-7", b.data, b.status); },
       requestFrame(7, 0x2A, {'-', 0x00, 0x00, 0x00, 0x07})},
      {"drawer sums only", [](CallerBuffers& b) {
         return InOutSume(kPrinterPort, "", b.data, b.status); },
       requestFrame(7, 0x2A, {})},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    CallerBuffers buffers;
    const std::size_t before = peer_->requests().size();
    EXPECT_EQ(c.call(buffers), KORDAL_OK);
    const std::vector<Bytes> requests = peer_->requests();
    ASSERT_EQ(requests.size(), before + 1);
    EXPECT_EQ(requests.back(), c.frame);
  }
}

TEST_F(ExportsTest, CommandFunctionsDeliverTheReplyLikeTrimiteTelegrama) {
  Answer drawer;
  drawer.data = textBytes("D,120.5,40,10");
  peer_->script({drawer});
  CallerBuffers buffers;
  ASSERT_EQ(InOutSume(kPrinterPort, "", buffers.data, buffers.status), KORDAL_OK);
  EXPECT_STREQ(buffers.data, "D,120.5,40,10");
  EXPECT_EQ(buffers.statusBytes(), drawer.status);
}

struct RefusalCase {
  const char* name;
  Call call;
  int expected;
};

TEST_F(ExportsTest, ArgumentErrorsSendNothingAndTouchNoBuffer) {
  const std::string long_text(254, 'x');
  const std::string long_footer(251, 'x');
  const unsigned char long_block[256] = {254};
  const RefusalCase cases[] = {
      {"empty name", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "", 'A', "1", "+1", "", b.data, b.status); },
       KORDAL_ERR_ARG_MISSING},
      {"empty name checked before the kind", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "", 'E', "1", "+1", "", b.data, b.status); },
       KORDAL_ERR_ARG_MISSING},
      {"kind E", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'E', "1", "+1", "", b.data,
                                    b.status); },
       KORDAL_ERR_ARG_KIND},
      {"quantity 65536", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'A', "65536.0", "+1", "", b.data,
                                    b.status); },
       KORDAL_ERR_ARG_RANGE},
      {"quantity with six whole digits", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'A', "123456", "+1", "", b.data,
                                    b.status); },
       KORDAL_ERR_ARG_RANGE},
      {"price beyond four bytes", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'A', "1", "+4294967296", "", b.data,
                                    b.status); },
       KORDAL_ERR_ARG_RANGE},
      {"price with eleven digits", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'A', "1", "-12345678901", "", b.data,
                                    b.status); },
       KORDAL_ERR_ARG_RANGE},
      {"line value beyond four bytes", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'A', "1", "+1v4294967296", "TOTAL",
                                    b.data, b.status); },
       KORDAL_ERR_ARG_RANGE},
      {"line value without display text", [](CallerBuffers& b) {
         return VanzareAfisareMarfa(kPrinterPort, "PAINE", 'A', "1", "+1v100", "", b.data,
                                    b.status); },
       KORDAL_ERR_ARG_DISPLAY},
      {"payment kind X", [](CallerBuffers& b) {
         return CalculTotal(kPrinterPort, "", "X1500", b.data, b.status); },
       KORDAL_ERR_ARG_MISSING},
      {"empty payment", [](CallerBuffers& b) {
         return CalculTotal(kPrinterPort, "", "", b.data, b.status); },
       KORDAL_ERR_ARG_MISSING},
      {"payment text of 12 characters", [](CallerBuffers& b) {
         return CalculTotal(kPrinterPort, "", "N12345678901", b.data, b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"length checked before the kind", [](CallerBuffers& b) {
         return CalculTotal(kPrinterPort, "", "X12345678901", b.data, b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"payment beyond four bytes", [](CallerBuffers& b) {
         return CalculTotal(kPrinterPort, "", "N4294967296", b.data, b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"cash without sign", [](CallerBuffers& b) {
         return InOutSume(kPrinterPort, "1500", b.data, b.status); },
       KORDAL_ERR_ARG_MISSING},
      {"cash text of 12 characters", [](CallerBuffers& b) {
         return InOutSume(kPrinterPort, "+12345678901", b.data, b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"cash beyond four bytes", [](CallerBuffers& b) {
         return InOutSume(kPrinterPort, "-4294967296", b.data, b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"header kind 3", [](CallerBuffers& b) {
         return ScrieHeaderFooter(kPrinterPort, 1, 3, "X", b.data, b.status); },
       KORDAL_ERR_ARG_KIND},
      {"footer text of 251 characters", [&](CallerBuffers& b) {
         return ScrieHeaderFooter(kPrinterPort, 1, 2, long_footer.c_str(), b.data, b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"text payload of 254 bytes", [&](CallerBuffers& b) {
         return TrimiteTelegrama(kPrinterPort, long_text.c_str(), 0x21, b.data, b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"counted payload of 254 bytes", [&](CallerBuffers& b) {
         return TrimiteTelegramaL(kPrinterPort, long_block, 0x21, b.counted(), b.status); },
       KORDAL_ERR_ARG_TOO_LONG},
      {"no date and time block", [](CallerBuffers& b) {
         return ScrieDataOra(kPrinterPort, nullptr, b.data, b.status); },
       KORDAL_ERR_ARG_MISSING},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    CallerBuffers buffers;
    EXPECT_EQ(c.call(buffers), c.expected);
    EXPECT_TRUE(buffers.untouched());
  }
  EXPECT_TRUE(peer_->requests().empty());
}

TEST_F(ExportsTest, LongestFramablePayloadsAreSent) {
  const std::string text(253, 'x');
  const std::string footer(250, 'y');
  CallerBuffers buffers;
  EXPECT_EQ(TrimiteTelegrama(kPrinterPort, text.c_str(), 0x21, buffers.data, buffers.status),
            KORDAL_OK);
  EXPECT_EQ(ScrieHeaderFooter(kPrinterPort, 1, 1, footer.c_str(), buffers.data, buffers.status),
            KORDAL_OK);
  const std::vector<Bytes> requests = peer_->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0][1], 255);
  EXPECT_EQ(requests[1][1], 255);
  EXPECT_EQ(requests[1].size(), 260u);
}

TEST_F(ExportsTest, RefusedCountedCallDoesNotAdvanceTheSequence) {
  const unsigned char long_block[256] = {254};
  const unsigned char empty_block[] = {0};
  CallerBuffers buffers;
  EXPECT_EQ(TrimiteTelegramaL(kPrinterPort, long_block, 0x21, buffers.counted(), buffers.status),
            KORDAL_ERR_ARG_TOO_LONG);
  EXPECT_EQ(TrimiteTelegramaL(kPrinterPort, empty_block, 0x21, buffers.counted(), buffers.status),
            KORDAL_OK);
  EXPECT_EQ(peer_->requests().at(0)[2], 0);
}

}  // namespace
}  // namespace kordal::testing
