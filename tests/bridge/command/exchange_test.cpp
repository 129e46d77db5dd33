// The three exchanges: every library result, the reply buffers, and the
// library that cannot be loaded.
#include "command/exchange.h"

#include <gtest/gtest.h>

#include "command/codes.h"
#include "command_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Failed;
using testing::LogEntry;
using testing::Status;

using testing::kNoReplyText;

// How ExecutaComanda and ExecutaComandaL treat each library result.
struct ResultCase {
    int32_t result;
    const char* text;  // nullptr: nothing reported
};

const ResultCase kResultCases[] = {
    {library_result::kChecksum, "Eroare CRC: CRC prost! "},
    {library_result::kSequence, "Eroare secventa data! "},
    {library_result::kCommandEcho, "Eroare comanda la imprimanta! "},
    {library_result::kEndByte, "Eroare terminator comanda! "},
    {library_result::kNoReply, kNoReplyText},
    // Argument errors never come from a plain exchange; they still mean "not done".
    {library_result::kArgMissing, nullptr},
    {library_result::kArgKind, nullptr},
};

class ExchangeTest : public testing::CommandTest {
protected:
    using Exchange = bool (*)(Context&, int32_t&, const std::string&, uint8_t, std::string&);

    // Runs `exchange` once for every result and both response kinds.
    void CheckEveryResult(Exchange exchange, const std::string& function,
                          const std::string& payload) {
        for (const ResultCase& c : kResultCases) {
            SCOPED_TRACE("result " + std::to_string(c.result));
            for (const std::string initial : {"-", ""}) {
                ui.boxes.clear();
                kordal.queueReply(function, Failed(c.result));
                int32_t index = 0;
                std::string response = initial;
                EXPECT_FALSE(exchange(ctx, index, payload, 14, response));
                EXPECT_EQ(ctx.command.RezultatComanda, c.result);
                if (initial == "-") {
                    EXPECT_EQ(response, "-");
                    std::vector<Box> expected;
                    if (c.text)
                        expected.push_back({c.text, "NORVADE 2000", Icon::Error});
                    EXPECT_EQ(Boxes(), expected);
                } else {
                    EXPECT_TRUE(ui.boxes.empty());
                    EXPECT_EQ(response, c.text ? c.text : "");
                }
                // A failed exchange leaves the blanked buffers, not the last reply.
                EXPECT_EQ(ctx.command.BufRaspuns, std::string(251, ' '));
                EXPECT_EQ(ctx.command.BufStare, std::string(10, ' '));
            }
        }
    }
};

TEST_F(ExchangeTest, ExecutaComandaReportsEveryFailedResultByTheResponseConvention) {
    CheckEveryResult(&ExecutaComanda, "TrimiteTelegrama", "\x02");
}

TEST_F(ExchangeTest, ExecutaComandaLReportsEveryFailedResultByTheResponseConvention) {
    // A whole block: its count byte says how many bytes the library reads after it.
    CheckEveryResult(&ExecutaComandaL, "TrimiteTelegramaL", testing::Bytes({2, ',', 'A'}));
}

TEST_F(ExchangeTest, AcceptedReplyWithCleanStatusIsTrueAndLeavesTheResponseAlone) {
    kordal.defaultReply = Accepted("7,3");
    for (const std::string initial : {"-", "", "earlier text"}) {
        // The index only reaches the status evaluation: the exchange still goes
        // to the configured port, not to PorturiImprimanta[2].
        int32_t index = 2;
        std::string response = initial;
        EXPECT_TRUE(ExecutaComanda(ctx, index, "F", command_code::kReport, response));
        EXPECT_EQ(response, initial);
    }
    EXPECT_TRUE(ui.boxes.empty());
    const auto calls = kordal.callsTo("TrimiteTelegrama");
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].port, kComPort);
    EXPECT_EQ(calls[0].command, command_code::kReport);
    EXPECT_EQ(calls[0].payload, "F");
}

TEST_F(ExchangeTest, AcceptedReplyWithAnErrorBitIsJudgedByTheStatus) {
    kordal.defaultReply = Accepted("", Status({{4, 0x08}}));
    int32_t index = 0;
    std::string dash = "-";
    EXPECT_FALSE(ExecutaComanda(ctx, index, "", command_code::kPrinterStatus, dash));
    EXPECT_EQ(dash, "-");
    EXPECT_EQ(Boxes(),
              (std::vector<Box>{{"Verificati imprimanta !", "NORVADE 2000", Icon::Information}}));

    std::string response;
    EXPECT_FALSE(ExecutaComanda(ctx, index, "", command_code::kPrinterStatus, response));
    EXPECT_EQ(response, "Verificati imprimanta !");
    EXPECT_EQ(ctx.command.OctetiStare[4], 0x08);
}

TEST_F(ExchangeTest, ReplyBufferKeepsItsLengthWhateverTheReplyCarries) {
    for (std::size_t size : {std::size_t{0}, std::size_t{2}, std::size_t{245}}) {
        SCOPED_TRACE(size);
        const std::string data(size, 'x');
        kordal.queueReply("TrimiteTelegrama", Accepted(data, Status({{0, 0x80}})));
        int32_t index = 0;
        std::string response;
        ExecutaComanda(ctx, index, "", command_code::kReadFiscalSeries, response);
        ASSERT_EQ(ctx.command.BufRaspuns.size(), 251u);
        // The data, the terminating zero byte, then the blanks put there before.
        EXPECT_EQ(ctx.command.BufRaspuns, data + '\0' + std::string(251 - size - 1, ' '));
        EXPECT_EQ(ctx.command.BufStare, Status({{0, 0x80}}) + "  ");
    }
}

TEST_F(ExchangeTest, ExecutaComandaLUsesThePortOfThePrinterAndTheCountedReply) {
    kordal.defaultReply = Accepted("ab");
    int32_t index = 1;
    std::string response;
    const std::string block = testing::Bytes({3, ',', 'A', 0});
    EXPECT_TRUE(ExecutaComandaL(ctx, index, block, command_code::kMarkupDiscount, response));
    const auto calls = kordal.callsTo("TrimiteTelegramaL");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].port, 5);
    EXPECT_EQ(calls[0].payload, block);  // a zero byte inside the block is sent too
    EXPECT_EQ(ctx.command.BufRaspuns.substr(0, 4), std::string("\x02"
                                                               "ab ",
                                                               4));
    EXPECT_EQ(ctx.command.BufRaspuns.size(), 251u);
}

TEST_F(ExchangeTest, ExecutaComandaLWithAnIndexThatNamesNoPortSendsNothingAndFails) {
    ctx.command.RezultatComanda = library_result::kOk;
    int32_t index = 3;
    std::string response;
    EXPECT_FALSE(ExecutaComandaL(ctx, index, "\x01:", command_code::kMarkupDiscount, response));
    EXPECT_TRUE(kordal.calls.empty());
    EXPECT_EQ(ctx.command.RezultatComanda, library_result::kNoReply);
    EXPECT_EQ(response, kNoReplyText);
}

// Without the library the exchange cannot run. The command before it may have
// been accepted; its result must not make this one look accepted too.
TEST_F(ExchangeTest, MissingLibraryAfterAnAcceptedCommandIsNoReplyNotSuccess) {
    int32_t index = 0;
    std::string response;
    ASSERT_TRUE(ExecutaComanda(ctx, index, "", command_code::kPrinterStatus, response));
    kordal.setLibraryMissing(true);

    EXPECT_FALSE(ExecutaComanda(ctx, index, "", command_code::kPrinterStatus, response));
    EXPECT_EQ(ctx.command.RezultatComanda, library_result::kNoReply);
    EXPECT_EQ(response, kNoReplyText);

    std::string dash = "-";
    EXPECT_FALSE(ExecutaComandaL(ctx, index, "\x01:", command_code::kMarkupDiscount, dash));
    EXPECT_EQ(Boxes(), (std::vector<Box>{{kNoReplyText, "NORVADE 2000", Icon::Error}}));
    EXPECT_TRUE(Log().empty());
}

TEST_F(ExchangeTest, TrimiteComandaImpMapsEveryResult) {
    const struct {
        int32_t result;
        int returns;
        const char* text;  // nullptr: no box
        const char* title;
    } cases[] = {
        {library_result::kOk, 100, nullptr, nullptr},
        {library_result::kChecksum, 7, "Eroare CRC: CRC prost !", "VELTAR2000"},
        {library_result::kSequence, 1, "Eroare data", "VELTAR2000"},
        {library_result::kCommandEcho, 1, "Eroare comanda la imprimanta.", "VELTAR2000"},
        {library_result::kEndByte, 5, "Eroare terminator comanda.", "VELTAR2000"},
        {library_result::kNoReply, 10, "Lipsa comunicatie cu imprimanta.", "VELTAR 2000"},
        {library_result::kArgMissing, 0, nullptr, nullptr},
        {library_result::kArgDisplay, 0, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("result " + std::to_string(c.result));
        ui.boxes.clear();
        kordal.queueReply("TrimiteTelegrama", c.result == 0 ? Accepted() : Failed(c.result));
        EXPECT_EQ(TrimiteComandaImp(ctx, "", command_code::kReadFiscalCode), c.returns);
        EXPECT_EQ(ctx.command.RezultatComanda, c.result);
        EXPECT_EQ(ctx.command.BufRaspuns.size(), 251u);
        std::vector<Box> expected;
        if (c.text)
            expected.push_back({c.text, c.title, Icon::Error});
        EXPECT_EQ(Boxes(), expected);
    }
}

TEST_F(ExchangeTest, TrimiteComandaImpLeavesTheStatusBytesToItsCaller) {
    kordal.defaultReply = Accepted("", Status({{4, 0x08}, {3, 0x40}}));
    EXPECT_EQ(TrimiteComandaImp(ctx, "", command_code::kPrinterStatus), 100);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ctx.command.OctetiStare[4], 0);
    EXPECT_EQ(ctx.command.BufStare, Status({{4, 0x08}, {3, 0x40}}) + "  ");
}

TEST_F(ExchangeTest, TrimiteComandaImpWithoutTheLibraryShowsAndLogsTheFailure) {
    kordal.setLibraryMissing(true);
    EXPECT_EQ(TrimiteComandaImp(ctx, "", command_code::kPrinterStatus), 0);
    const std::string description =
        "libkordal.so: cannot open shared object file: No such file or directory";
    EXPECT_EQ(Boxes(), (std::vector<Box>{{description, "VELTAR2000", Icon::None}}));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"1.002" + description, 48}}));
}

}  // namespace
}  // namespace veltar
