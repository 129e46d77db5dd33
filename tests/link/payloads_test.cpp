// Payload composition without a port: the byte fields of the sale line and
// total commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kordal.h"
#include "payloads.h"

namespace kordal {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kTab = 0x09;

Bytes bytesOf(const Payload& payload) {
  return Bytes(payload.data(), payload.data() + payload.size());
}

// The sale line up to the quantity's trailing TAB for a name "N" and kind A.
Bytes saleHead(Bytes quantity) {
  Bytes head{'N', kTab, 'A', kTab};
  head.reserve(head.size() + quantity.size() + 1);
  head.insert(head.end(), quantity.begin(), quantity.end());
  head.push_back(kTab);
  return head;
}

Bytes saleLine(Bytes quantity, Bytes price_part) {
  Bytes all = saleHead(quantity);
  all.insert(all.end(), price_part.begin(), price_part.end());
  return all;
}

struct SaleCase {
  const char* quantity;
  const char* price;
  const char* display;
  Bytes expected;
};

TEST(SaleLinePayload, QuantityPriceAndPercentFields) {
  const Bytes one_plus_250 = {'+', 0x00, 0x00, 0x00, 0xFA};
  const SaleCase cases[] = {
      {"0,5", "+250", "", saleLine({0x00, 0x00, 0x07, 0xA1, 0x20}, one_plus_250)},
      {"2.123456789", "+250", "", saleLine({0x00, 0x02, 0x01, 0xE2, 0x40}, one_plus_250)},
      {"3", "+250", "", saleLine({0x00, 0x03, 0x00, 0x00, 0x00}, one_plus_250)},
      {"1,25", "+250", "", saleLine({0x00, 0x01, 0x03, 0xD0, 0x90}, one_plus_250)},
      {"65535.0", "+250", "", saleLine({0xFF, 0xFF, 0x00, 0x00, 0x00}, one_plus_250)},
      {"7.", "+250", "", saleLine({0x00, 0x07, 0x00, 0x00, 0x00}, one_plus_250)},
      {"", "+250", "", saleLine({0x00, 0x00, 0x00, 0x00, 0x00}, one_plus_250)},
      // No sign means "+"; digits stop at the first other character.
      {"1", "250", "", saleLine({0x00, 0x01, 0x00, 0x00, 0x00}, one_plus_250)},
      {"1", "+12a", "", saleLine({0x00, 0x01, 0x00, 0x00, 0x00}, {'+', 0, 0, 0, 12})},
      {"1", "+4294967295", "",
       saleLine({0x00, 0x01, 0x00, 0x00, 0x00}, {'+', 0xFF, 0xFF, 0xFF, 0xFF})},
      {"1", "-1200,-1050", "",
       saleLine({0x00, 0x01, 0x00, 0x00, 0x00}, {'-', 0x00, 0x00, 0x04, 0xB0, ',', 'r', 10, 50})},
      {"1", "+250,1225", "",
       saleLine({0x00, 0x01, 0x00, 0x00, 0x00}, {'+', 0x00, 0x00, 0x00, 0xFA, ',', 12, 25})},
      {"1", "+100v500", "TOTAL",
       saleLine({0x00, 0x01, 0x00, 0x00, 0x00},
                {'+', 0, 0, 0, 100, 'v', 0x00, 0x00, 0x01, 0xF4, kTab, 'T', 'O', 'T', 'A', 'L'})},
      {"1", "+100,0550t7", "abcdefghijklmnopqrstuvwxyz",
       saleLine({0x00, 0x01, 0x00, 0x00, 0x00},
                {'+', 0, 0, 0, 100, ',', 5, 50, 'v', 0, 0, 0, 7, kTab, 'a', 'b', 'c', 'd', 'e',
                 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't'})},
      // ":" and ";" end the price and nothing after them is read.
      {"1", "+100;,0500v9", "X", saleLine({0x00, 0x01, 0x00, 0x00, 0x00}, {'+', 0, 0, 0, 100})},
  };
  for (const SaleCase& c : cases) {
    SCOPED_TRACE(std::string(c.quantity) + " / " + c.price);
    Payload payload;
    ASSERT_EQ(composeSaleLine("N", 'A', c.quantity, c.price, c.display, payload), KORDAL_OK);
    EXPECT_EQ(bytesOf(payload), c.expected);
  }
}

TEST(SaleLinePayload, NameIsCutToFortyAndKindIsTheLowByte) {
  const std::string name45(45, 'n');
  Payload payload;
  ASSERT_EQ(composeSaleLine(name45, 0x100 + 'B', "1", "+1", "", payload), KORDAL_OK);
  const Bytes sent = bytesOf(payload);
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 40), Bytes(40, 'n'));
  EXPECT_EQ(sent[40], kTab);
  EXPECT_EQ(sent[41], 'B');

  ASSERT_EQ(composeSaleLine("N", 0, "1", "+1", "", payload), KORDAL_OK);
  EXPECT_EQ(bytesOf(payload)[2], ' ');
}

TEST(SaleLinePayload, BoundariesOfTheNumericFields) {
  struct Case {
    const char* quantity;
    const char* price;
    int expected;
  };
  const Case cases[] = {
      {"65535", "+1", KORDAL_OK},
      {"65536", "+1", KORDAL_ERR_ARG_RANGE},
      {"99999,5", "+1", KORDAL_ERR_ARG_RANGE},
      {"100000", "+1", KORDAL_ERR_ARG_RANGE},
      {"1234a5", "+1", KORDAL_OK},  // a cut after a non-digit loses no digit
      {"1", "+4294967295", KORDAL_OK},
      {"1", "+4294967296", KORDAL_ERR_ARG_RANGE},
      {"1", "9999999999", KORDAL_ERR_ARG_RANGE},
      {"1", "+0000000001", KORDAL_OK},
      {"1", "+1v4294967295", KORDAL_OK},
      {"1", "+1t4294967296", KORDAL_ERR_ARG_RANGE},
      {"1", "+1v00000000001", KORDAL_ERR_ARG_RANGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.quantity) + " / " + c.price);
    Payload payload;
    EXPECT_EQ(composeSaleLine("N", 'A', c.quantity, c.price, "D", payload), c.expected);
  }
}

TEST(TotalPayload, TextIsCutAndAmountIsBigEndian) {
  Payload payload;
  ASSERT_EQ(composeTotal("abcdefghijklmnopqrstuvwxyz", "C4294967295", payload), KORDAL_OK);
  Bytes expected(std::begin("abcdefghijklmnopqrst"), std::end("abcdefghijklmnopqrst") - 1);
  expected.insert(expected.end(), {kTab, 'C', 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(bytesOf(payload), expected);

  ASSERT_EQ(composeTotal("", "E", payload), KORDAL_OK);
  EXPECT_EQ(bytesOf(payload), (Bytes{kTab, 'E', 0, 0, 0, 0}));
}

TEST(CashPayload, SignAloneMovesNothing) {
  Payload payload;
  ASSERT_EQ(composeCashInOut("+", payload), KORDAL_OK);
  EXPECT_EQ(bytesOf(payload), (Bytes{'+', 0, 0, 0, 0}));
  ASSERT_EQ(composeCashInOut("-4294967295", payload), KORDAL_OK);
  EXPECT_EQ(bytesOf(payload), (Bytes{'-', 0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace kordal
