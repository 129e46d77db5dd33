// Amounts, the two ways of reading numbers, the general number format and
// packed BCD.
#include <gtest/gtest.h>

#include <limits>

#include "amount.h"
#include "failure.h"

namespace veltar {
namespace {

constexpr Amount R(int64_t raw) { return Amount::fromRaw(raw); }

struct LeadingCase {
    const char* text;
    int64_t raw;
};

TEST(ReadLeadingNumber, TakesWhatCanContinueTheNumberAndStops) {
    const LeadingCase cases[] = {
        {"12", 120000},         {"  7", 70000},        {"\t3", 30000},
        {"-3", -30000},         {"+4", 40000},         {"12.5", 125000},
        {".5", 5000},           {"5.", 50000},         {"12abc", 120000},
        {"1,5", 10000},         {"1 2", 10000},        {"1e3", 10000},
        {"1.2.3", 12000},       {"abc", 0},            {"", 0},
        {"-", 0},               {".", 0},              {"- 5", 0},
        {"0.00005", 0},         {"0.00015", 2},        {"0.000151", 2},
        {"0.00025", 2},         {"-0.00015", -2},      {"2.99995", 30000},
    };
    for (const auto& c : cases) {
        bool ok = false;
        EXPECT_EQ(ReadLeadingNumber(c.text, &ok), R(c.raw)) << '"' << c.text << '"';
        EXPECT_TRUE(ok) << c.text;
    }
}

TEST(ReadLeadingNumber, ReportsANumberTooLargeForAnAmount) {
    for (const char* text : {"922337203685478", "-922337203685478", "99999999999999999999999"}) {
        bool ok = true;
        EXPECT_EQ(ReadLeadingNumber(text, &ok), Amount{}) << text;
        EXPECT_FALSE(ok) << text;
    }
    bool ok = false;
    EXPECT_EQ(ReadLeadingNumber("922337203685477.5807", &ok), R(std::numeric_limits<int64_t>::max()));
    EXPECT_TRUE(ok);
}

struct RegionalCase {
    const char* text;
    char decimal;
    char thousands;
    int64_t raw = 0;
};

TEST(ReadRegionalNumber, ReadsBothSeparatorsOfTheRegion) {
    const RegionalCase cases[] = {
        {"10.50", '.', ',', 105000},     {"1,234.5", '.', ',', 12345000},
        {"10,50", ',', '.', 105000},     {"1.234,5", ',', '.', 12345000},
        {" -2 ", '.', ',', -20000},      {"+3", '.', '\0', 30000},
        {"0.123456", '.', ',', 1235},    {"0.12345", '.', ',', 1234},
        {"1.", '.', ',', 10000},         {".5", '.', ',', 5000},
        {"1.5", ',', '.', 150000},  // the point groups thousands where the comma is decimal
    };
    for (const auto& c : cases) {
        RegionalFormat format{c.decimal, c.thousands};
        EXPECT_EQ(ReadRegionalNumber(c.text, format), R(c.raw)) << c.text;
    }
}

TEST(ReadRegionalNumber, RejectsWhatIsNotANumberOfTheRegion) {
    const RegionalCase cases[] = {
        {"", '.', ','},     {"abc", '.', ','},  {"12abc", '.', ','}, {"1,5,2", ',', '.'},
        {"1,5", '.', '\0'}, {"-", '.', ','},    {",5", '.', ','},    {"1 2", '.', ','},
    };
    for (const auto& c : cases) {
        try {
            ReadRegionalNumber(c.text, RegionalFormat{c.decimal, c.thousands});
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), error_number::kTypeMismatch) << c.text;
        }
    }
}

TEST(RegionalFormat, FallsBackToAPointInTheCLocale) {
    RegionalFormat format = RegionalFormat::fromCurrentLocale();
    EXPECT_EQ(format.decimal, '.');
    EXPECT_EQ(format.thousands, '\0');
}

struct RoundCase {
    int64_t raw;
    int64_t whole;
};

TEST(Amount, RoundsHalvesToTheEvenNeighbour) {
    const RoundCase toInteger[] = {
        {5000, 0},    {15000, 2},    {25000, 2},   {-5000, 0},  {-15000, -2},
        {-25000, -2}, {125000, 12},  {3000, 0},    {5001, 1},   {-5001, -1},
        {4999, 0},    {135000, 14},
    };
    for (const auto& c : toInteger) EXPECT_EQ(R(c.raw).roundToInteger(), c.whole) << c.raw;

    EXPECT_EQ(R(12345).roundTo(3), R(12340));  // 1.2345 -> 1.234
    EXPECT_EQ(R(12355).roundTo(3), R(12360));  // 1.2355 -> 1.236
    EXPECT_EQ(R(-12355).roundTo(3), R(-12360));
    EXPECT_EQ(R(10050).roundTo(2), R(10000));  // 1.005 -> 1.00
    EXPECT_EQ(R(10150).roundTo(2), R(10200));
    EXPECT_EQ(R(12345).roundTo(4), R(12345));
    EXPECT_THROW(R(1).roundTo(5), RuntimeError);
}

TEST(Amount, ProductsAndQuotientsRoundToFourPlacesHalvesToEven) {
    EXPECT_EQ(R(5) * R(5000), R(2));      // 0.0005 * 0.5 = 0.00025 -> 0.0002
    EXPECT_EQ(R(15) * R(5000), R(8));     // 0.00075 -> 0.0008
    EXPECT_EQ(Amount::fromInt(1050) * Amount::fromInt(10000), Amount::fromInt(10500000));
    EXPECT_EQ(Amount::fromInt(1) / Amount::fromInt(3), R(3333));
    EXPECT_EQ(Amount::fromInt(-2) / Amount::fromInt(3), R(-6667));
    EXPECT_EQ(R(1) / Amount::fromInt(2), R(0));   // 0.00005 -> 0
    EXPECT_EQ(R(3) / Amount::fromInt(-2), R(-2)); // -0.00015 -> -0.0002
    EXPECT_EQ(Amount::fromDouble(0.5).roundToInteger(), 0);
    EXPECT_EQ(Amount::fromDouble(12.34), R(123400));
    EXPECT_EQ(Amount::fromDouble(2.5).roundToInteger(), 2);
    EXPECT_EQ(Amount::fromDouble(-3.5).roundToInteger(), -4);
}

TEST(Amount, OverflowThrowsInsteadOfWrappingAround) {
    const Amount max = R(std::numeric_limits<int64_t>::max());
    const Amount min = R(std::numeric_limits<int64_t>::min());
    auto expectOverflow = [](auto operation, const char* what) {
        try {
            operation();
            ADD_FAILURE() << what << " did not throw";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), error_number::kOverflow) << what;
        }
    };
    expectOverflow([&] { return max + R(1); }, "max + 1");
    expectOverflow([&] { return min - R(1); }, "min - 1");
    expectOverflow([&] { return -min; }, "-min");
    expectOverflow([&] { return min.abs(); }, "abs(min)");
    expectOverflow([&] { return max * Amount::fromInt(2); }, "max * 2");
    expectOverflow([&] { return max / R(1); }, "max / 0.0001");
    expectOverflow([] { return Amount::fromInt(std::numeric_limits<int64_t>::max() / 1000); },
                   "fromInt");
    expectOverflow([] { return Amount::fromDouble(1e300); }, "fromDouble");
    expectOverflow([] { return Amount::fromDouble(std::numeric_limits<double>::quiet_NaN()); },
                   "NaN");
    try {
        (void)(Amount::fromInt(1) / Amount{});
        ADD_FAILURE() << "division by zero did not throw";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), error_number::kDivisionByZero);
    }
}

TEST(FormatGeneral, WritesNoTrailingZerosAndNoSeparatorForWholeNumbers) {
    const struct {
        int64_t raw;
        char decimal;
        const char* text;
    } cases[] = {
        {120000, '.', "12"},     {125000, '.', "12.5"},   {-500, '.', "-0.05"},
        {0, '.', "0"},           {1, '.', "0.0001"},      {125000, ',', "12,5"},
        {-120000, '.', "-12"},   {100000000, '.', "10000"},
        {std::numeric_limits<int64_t>::min(), '.', "-922337203685477.5808"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatGeneral(R(c.raw), c.decimal), c.text);
}

TEST(PackedBcd, TensInTheHighHalfUnitsInTheLow) {
    const struct {
        int value;
        uint8_t byte;
    } cases[] = {{0, 0x00}, {9, 0x09}, {10, 0x10}, {59, 0x59}, {99, 0x99}};
    for (const auto& c : cases) {
        EXPECT_EQ(ToPackedBcd(c.value), c.byte) << c.value;
        EXPECT_EQ(FromPackedBcd(c.byte), c.value) << c.value;
    }
    EXPECT_THROW(ToPackedBcd(100), RuntimeError);
    EXPECT_THROW(ToPackedBcd(-1), RuntimeError);
}

TEST(PackedBcd, AHalfAboveNineIsNoDecimalDigit) {
    for (uint8_t byte : {0x0A, 0xA0, 0x1F, 0xF1, 0xFF}) {
        try {
            FromPackedBcd(byte);
            ADD_FAILURE() << "accepted " << int{byte};
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), error_number::kTypeMismatch);
        }
    }
}

}  // namespace
}  // namespace veltar
