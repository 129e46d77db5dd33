// The smaller requests: what reaches the printer, the answer files byte for
// byte, and which request files stay after a failure.
#include "exchange/auxiliary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "exchange_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Bytes;
using testing::Failed;
using testing::KordalReply;
using testing::Status;
using testing::kNoReplyText;

class AuxiliaryTest : public testing::ExchangeTest {
protected:
    // Command code and payload of every exchange, in order.
    std::vector<std::pair<int32_t, std::string>> Sent() const {
        std::vector<std::pair<int32_t, std::string>> sent;
        for (const auto& call : kordal.callsTo("TrimiteTelegrama")) {
            sent.emplace_back(call.command, call.payload);
        }
        return sent;
    }
    bool Wrote(const std::string& change) const {
        return std::count(files.writes.begin(), files.writes.end(), change) != 0;
    }
    Box Shown(const std::string& text) const { return {text, ctx.settings.Titlu, Icon::None}; }
};

// --- FTEXT.TXT ---

TEST_F(AuxiliaryTest, DisplayTextIsMadeFortyCharactersAfterTheLinePrefix) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghij";  // 46
    const struct {
        std::string file;
        std::string shown;
    } cases[] = {
        {alphabet.substr(0, 45) + "\r\n", alphabet.substr(0, 40)},
        {"abc", "abc" + std::string(37, ' ')},
        {std::string(10, ' ') + alphabet.substr(0, 35),
         std::string(10, ' ') + alphabet.substr(0, 30)},
        {"", std::string(40, ' ')},
        {"first\r\nsecond\r\n", "first" + std::string(35, ' ')},
    };
    for (const auto& c : cases) {
        kordal.calls.clear();
        Put("Ftext.txt", c.file);
        HandleDisplayText(ctx);
        EXPECT_EQ(Sent(), (std::vector<std::pair<int32_t, std::string>>{
                              {command_code::kDisplayText, Bytes({0x01, 0x01}) + c.shown}}));
        EXPECT_FALSE(Has("Ftext.txt"));
    }
}

TEST_F(AuxiliaryTest, DisplayFailureIsSilentAndTheRequestIsGone) {
    Put("FTEXT.TXT", "Buna ziua");
    kordal.replyToCommand(command_code::kDisplayText, Failed(library_result::kNoReply));
    HandleDisplayText(ctx);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(Has("FTEXT.TXT"));
}

// --- SERTAR.TXT ---

TEST_F(AuxiliaryTest, DrawerOpensAndItsRequestIsDeletedWhateverThePrinterSays) {
    const struct {
        KordalReply reply;
        std::vector<Box> boxes;
    } cases[] = {
        {Accepted(), {}},
        {Failed(library_result::kNoReply), {Shown(kNoReplyText)}},
    };
    for (const auto& c : cases) {
        kordal.calls.clear();
        ui.boxes.clear();
        Put("SERTAR.TXT", "anything");
        kordal.queueReply("TrimiteTelegrama", c.reply);
        HandleDrawer(ctx);
        EXPECT_EQ(Sent(), (std::vector<std::pair<int32_t, std::string>>{
                              {command_code::kOpenDrawer, ""}}));
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_FALSE(Has("SERTAR.TXT"));
    }
}

// --- SUME.TXT and RSPSUME.TXT ---

TEST_F(AuxiliaryTest, CashRequestAnswersWithTheSumInTheDrawer) {
    const struct {
        std::string file;
        KordalReply reply;
        char separator;
        std::string amountSent;  // the library's amount text, in the printer's unit
        std::string answer;
        std::size_t boxes;
    } cases[] = {
        {"-150.5\r\n", Accepted("D,12345000,0,1505000"), '.', "-1505000", " 1234.5 \r\n", 0},
        {"25", Accepted("D,12345000,250000,0"), ',', "+250000", " 1234,5 \r\n", 0},
        // Not a number: only the sums are asked for.
        {"abc", Accepted("D,5000000,0,0"), '.', "", " 500 \r\n", 0},
        {"", Accepted("D,-25000,0,0"), '.', "", "-2.5 \r\n", 0},
        // A failed operation still answers, with 0.
        {"10", Failed(library_result::kNoReply), '.', "+100000", " 0 \r\n", 1},
    };
    for (const auto& c : cases) {
        kordal.calls.clear();
        ui.boxes.clear();
        files.writes.clear();
        ctx.regional.decimal = c.separator;
        Put("SUME.TXT", c.file);
        Put("RSPSUME.TXT", "old\r\n");
        kordal.queueReply("InOutSume", c.reply);

        HandleCash(ctx);

        const auto calls = kordal.callsTo("InOutSume");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].texts, std::vector<std::string>{c.amountSent});
        EXPECT_EQ(files.content("RSPSUME.TXT"), c.answer) << c.file;
        EXPECT_EQ(ui.boxes.size(), c.boxes);
        EXPECT_FALSE(Has("SUME.TXT"));
        // Replaced in one step: the answer is never missing.
        EXPECT_FALSE(Wrote("remove:RSPSUME.TXT"));
    }
}

TEST_F(AuxiliaryTest, CashStepsThatFailAreSkipped) {
    // The request cannot be read: the sums are still asked for and answered,
    // and the request still goes.
    Put("SUME.TXT", "-150.5");
    files.failOn(testing::FileOperation::Read, "SUME.TXT", EIO);
    kordal.queueReply("InOutSume", Accepted("D,5000000,0,0"));
    HandleCash(ctx);
    EXPECT_EQ(kordal.callsTo("InOutSume")[0].texts, std::vector<std::string>{""});
    EXPECT_EQ(files.content("RSPSUME.TXT"), " 500 \r\n");
    EXPECT_FALSE(Has("SUME.TXT"));

    // The request cannot be deleted: the answer is written all the same.
    files.clearFailures();
    files.files.erase("RSPSUME.TXT");
    Put("SUME.TXT", "0");
    files.failOn(testing::FileOperation::Remove, "SUME.TXT", EACCES);
    kordal.queueReply("InOutSume", Accepted("D,5000000,0,0"));
    HandleCash(ctx);
    EXPECT_EQ(files.content("RSPSUME.TXT"), " 500 \r\n");
    EXPECT_TRUE(ui.boxes.empty());
}

// --- FCT.TXT and FCTRSP.TXT ---

TEST_F(AuxiliaryTest, FunctionAnswersWithTheStatusBytesAndTheReplyText) {
    const std::string status = Status({{0, 0x80}, {5, 0x10}});
    const std::string blanks(8, ' ');
    const struct {
        std::string file;
        KordalReply reply;
        std::pair<int32_t, std::string> sent;
        std::string answer;
    } cases[] = {
        {"14", Accepted("", status), {14, ""}, status + "\r\n"},
        {"14\r\nignored", Accepted("  1,2,3  ", status), {14, ""}, status + ",1,2,3\r\n"},
        {" 2 , 99 ", Accepted("0,0,0,0,", status), {2, ""}, status + ",0,0,0,0,\r\n"},
        // The display text goes as written, without the line prefix.
        {"16,Buna ziua", Accepted("", status), {16, "Buna ziua"}, status + "\r\n"},
        {"36", Accepted("", status), {36, ""}, status + "\r\n"},
        {"37abc", Accepted("", status), {37, ""}, status + "\r\n"},
        // Control characters and zero bytes go into the file as they are.
        {"14", Accepted("OK", Bytes({0x0D, 0x0A, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x00})), {14, ""},
         Bytes({0x0D, 0x0A, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x00}) + ",OK\r\n"},
        // A silent printer: the status buffer as the bridge blanked it.
        {"14", Failed(library_result::kNoReply), {14, ""}, blanks + "\r\n"},
    };
    for (const auto& c : cases) {
        kordal.calls.clear();
        files.writes.clear();
        Put("fct.txt", c.file);
        Put("FCTRSP.TXT", "old\r\n");
        kordal.queueReply("TrimiteTelegrama", c.reply);

        HandleFunction(ctx);

        EXPECT_EQ(Sent(), (std::vector<std::pair<int32_t, std::string>>{c.sent})) << c.file;
        EXPECT_EQ(files.content("FCTRSP.TXT"), c.answer) << c.file;
        EXPECT_FALSE(Has("fct.txt"));
        EXPECT_FALSE(Wrote("remove:FCTRSP.TXT"));
    }
    // Only the silent printer was shown.
    EXPECT_EQ(Boxes(), std::vector<Box>{Shown(kNoReplyText)});
}

TEST_F(AuxiliaryTest, FunctionThirtyTwoAnswersWithThePrintersDateAndTime) {
    const std::string status = Status({{6, 0x04}});
    const struct {
        KordalReply reply;
        std::string answer;
    } cases[] = {
        {Accepted(Bytes({0x05, 0x30, 0x14, 0x25, 0x12, 0x05}), status),
         status + ",25.12.2005 14:30:05\r\n"},
        // Midnight keeps its time in the answer.
        {Accepted(Bytes({0x00, 0x00, 0x00, 0x01, 0x01, 0x07}), status),
         status + ",01.01.2007 00:00:00\r\n"},
        {Failed(library_result::kNoReply), std::string(8, ' ') + ",30.12.1899 00:00:00\r\n"},
    };
    for (const auto& c : cases) {
        Put("FCT.TXT", "32");
        kordal.queueReply("TrimiteTelegrama", c.reply);
        HandleFunction(ctx);
        EXPECT_EQ(kordal.calls.back().command, command_code::kReadDateTime);
        EXPECT_EQ(files.content("FCTRSP.TXT"), c.answer);
        EXPECT_FALSE(Has("FCT.TXT"));
    }
}

TEST_F(AuxiliaryTest, AnUnknownFunctionSendsNothingAndKeepsTheOldAnswer) {
    for (const std::string file : {"99", "abc", "", "15", "-14", "99999999999999999999"}) {
        Put("FCT.TXT", file);
        Put("FCTRSP.TXT", "old\r\n");
        HandleFunction(ctx);
        EXPECT_TRUE(kordal.calls.empty()) << file;
        EXPECT_EQ(files.content("FCTRSP.TXT"), "old\r\n");
        EXPECT_FALSE(Has("FCT.TXT"));
    }
}

TEST_F(AuxiliaryTest, AFunctionAnswerThatCannotBeWrittenStillEndsTheRequest) {
    Put("FCT.TXT", "14");
    files.failOn(testing::FileOperation::Replace, "FCTRSP.TXT", EIO);
    HandleFunction(ctx);
    EXPECT_FALSE(Has("FCT.TXT"));
    EXPECT_FALSE(Has("FCTRSP.TXT"));
    EXPECT_TRUE(ui.boxes.empty());
}

// --- NEFISCAL.TXT ---

TEST_F(AuxiliaryTest, NonFiscalLinesArePrintedAndADollarStartsANewReceipt) {
    const std::string long45(45, 'x');
    const struct {
        std::string file;
        std::vector<std::pair<int32_t, std::string>> sent;
    } cases[] = {
        {"A\r\n$\r\nB\r\n", {{17, ""}, {18, "A"}, {19, ""}, {17, ""}, {18, "B"}, {19, ""}}},
        // An empty line prints empty; shorter lines are not padded, longer ones cut.
        {"A\r\n\r\n" + long45,
         {{17, ""}, {18, "A"}, {18, ""}, {18, long45.substr(0, 40)}, {19, ""}}},
        {"  $  \r\n$x", {{17, ""}, {19, ""}, {17, ""}, {18, "$x"}, {19, ""}}},
        {"", {{17, ""}, {19, ""}}},
    };
    for (const auto& c : cases) {
        kordal.calls.clear();
        ui.timerSwitches.clear();
        Put("NEFISCAL.TXT", c.file);
        TiparesteNefiscal(ctx);
        EXPECT_EQ(Sent(), c.sent) << c.file;
        EXPECT_FALSE(Has("NEFISCAL.TXT"));
        EXPECT_EQ(ui.timerSwitches, (std::vector<bool>{false, true}));
        EXPECT_TRUE(ui.boxes.empty());
    }
}

TEST_F(AuxiliaryTest, APrinterFailureOnOneLineIsShownAndTheReceiptGoesOn) {
    Put("NEFISCAL.TXT", "A\r\nB\r\nC");
    kordal.queueReply("TrimiteTelegrama", Accepted());
    kordal.queueReply("TrimiteTelegrama", Accepted());
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kNoReply));
    TiparesteNefiscal(ctx);
    EXPECT_EQ(Sent(), (std::vector<std::pair<int32_t, std::string>>{
                          {17, ""}, {18, "A"}, {18, "B"}, {18, "C"}, {19, ""}}));
    EXPECT_EQ(Boxes(), std::vector<Box>{Shown(kNoReplyText)});
    EXPECT_FALSE(Has("NEFISCAL.TXT"));
}

TEST_F(AuxiliaryTest, AnUnexpectedFailureLeavesTheNonFiscalFileForTheNextTick) {
    const struct {
        testing::FileOperation operation;
        std::size_t commandsSent;
    } cases[] = {
        // Unreadable: nothing is printed, so no receipt is left open.
        {testing::FileOperation::Read, 0},
        // Printed, but not deleted: it stays.
        {testing::FileOperation::Remove, 4},
    };
    for (const auto& c : cases) {
        kordal.calls.clear();
        ui.boxes.clear();
        ui.timerSwitches.clear();
        files.clearFailures();
        Put("NEFISCAL.TXT", "A\r\nB");
        files.failOn(c.operation, "NEFISCAL.TXT", EIO);

        TiparesteNefiscal(ctx);

        EXPECT_EQ(kordal.calls.size(), c.commandsSent);
        EXPECT_TRUE(Has("NEFISCAL.TXT"));
        EXPECT_EQ(Boxes(), (std::vector<Box>{{std::strerror(EIO), "VELTAR2000", Icon::None}}));
        // Left off; the tick switches polling on again.
        EXPECT_EQ(ui.timerSwitches, std::vector<bool>{false});
    }
}

}  // namespace
}  // namespace veltar
