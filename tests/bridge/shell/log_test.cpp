// Veltar.log, ERR.TXT and the standard failure path.
#include <gtest/gtest.h>

#include <cerrno>

#include "log.h"
#include "test_context.h"

namespace veltar {
namespace {

using testing::FileOperation;

class LogTest : public testing::ContextTest {
protected:
    void SetUp() override { clock.set({2026, 3, 7, 14, 5, 9}); }
};

TEST_F(LogTest, LineHoldsQuotedTimeQuotedTextAndTheBareNumber) {
    const struct {
        const char* text;
        int32_t number;
        const char* line;
    } cases[] = {
        {"3.011Permission denied", 13, "\"07.03.2026 14:05:09: \",\"3.011Permission denied\",13\r\n"},
        {"a, \"b\"", 0, "\"07.03.2026 14:05:09: \",\"a, \"b\"\",0\r\n"},
        {"x", -5, "\"07.03.2026 14:05:09: \",\"x\",-5\r\n"},
        {"", 100, "\"07.03.2026 14:05:09: \",\"\",100\r\n"},
    };
    for (const auto& c : cases) {
        files.files.clear();
        ScrieLog(ctx, c.text, c.number);
        EXPECT_EQ(files.content(kLogFile), c.line);
    }
}

TEST_F(LogTest, LinesAreAppendedInOrderEachWithItsOwnTime) {
    files.files[kLogFile] = "earlier\r\n";
    clock.set({2026, 3, 7, 0, 0, 0});
    ScrieLog(ctx, "one", 1);
    clock.advanceSeconds(1);
    ScrieLog(ctx, "two", 2);
    clock.advanceSeconds(1);
    ScrieLog(ctx, "three", 3);
    EXPECT_EQ(files.content(kLogFile),
              "earlier\r\n"
              "\"07.03.2026: \",\"one\",1\r\n"
              "\"07.03.2026 00:00:01: \",\"two\",2\r\n"
              "\"07.03.2026 00:00:02: \",\"three\",3\r\n");
}

TEST_F(LogTest, AFailedLineIsReplacedByTheFailureCodeAfterABox) {
    files.failOn(FileOperation::Append, kLogFile, ENOSPC, 1);
    ScrieLog(ctx, "lost", 7);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "No space left on device");
    EXPECT_EQ(ui.boxes[0].title, "VELTAR2000");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(files.content(kLogFile), "\"07.03.2026 14:05:09: \",\"1.011\"," +
                                           std::to_string(ENOSPC) + "\r\n");
}

TEST_F(LogTest, ALogOutOfReachPassesTheFailureToTheCaller) {
    files.failOn(FileOperation::Append, kLogFile, EACCES);
    try {
        ScrieLog(ctx, "lost", 7);
        ADD_FAILURE() << "no failure passed on";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), EACCES);
    }
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Permission denied"});
    EXPECT_FALSE(files.exists(kLogFile));
}

TEST_F(LogTest, ErrorFileHoldsOnlyTheLatestTextAndEveryTextIsLogged) {
    EXPECT_FALSE(ScrieErrInFis(ctx, "Prima eroare"));
    EXPECT_FALSE(ScrieErrInFis(ctx, "A doua eroare"));
    EXPECT_EQ(files.content(kErrorFile), "A doua eroare\r\n");
    EXPECT_EQ(files.content(kLogFile),
              "\"07.03.2026 14:05:09: \",\"ScrieErrInFis:Prima eroare\",0\r\n"
              "\"07.03.2026 14:05:09: \",\"ScrieErrInFis:A doua eroare\",0\r\n");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(LogTest, ErrorFileIsReplacedInOneStepNeverDeletedFirst) {
    files.files[kErrorFile] = "old\r\n";
    ScrieErrInFis(ctx, "new");
    EXPECT_EQ(files.writes, (std::vector<std::string>{"replace:ERR.TXT", "append:Veltar.log"}));
}

TEST_F(LogTest, ErrorFileThatCannotBeReplacedKeepsTheOldTextAndTheNewOneIsLogged) {
    files.files[kErrorFile] = "old\r\n";
    files.failOn(FileOperation::Replace, kErrorFile, EBUSY);
    EXPECT_FALSE(ScrieErrInFis(ctx, "new"));
    EXPECT_EQ(files.content(kErrorFile), "old\r\n");
    EXPECT_EQ(files.content(kLogFile), "\"07.03.2026 14:05:09: \",\"ScrieErrInFis:new\",0\r\n");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(LogTest, ErrorFileFailuresAreSilentEvenWhenTheLogIsOutOfReach) {
    files.failOn(FileOperation::Replace, kErrorFile, EROFS);
    files.failOn(FileOperation::Append, kLogFile, EROFS);
    EXPECT_NO_THROW(ScrieErrInFis(ctx, "new"));
    // Only the log writer's own box.
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(LogTest, ErrorFileStaysOneLineWhenTheTextHoldsALineBreak) {
    ScrieErrInFis(ctx, "Eroare Tranzactie: a\r\nb");
    EXPECT_EQ(files.content(kErrorFile), "Eroare Tranzactie: a  b\r\n");
}

TEST_F(LogTest, StandardFailureShowsTheDescriptionAndLogsTheCodeWithIt) {
    const struct {
        bool showBox;
        bool withDescription;
        std::size_t boxes;
        const char* logged;
    } cases[] = {
        {true, true, 1, "3.011No such file or directory"},
        {false, true, 0, "3.011No such file or directory"},
        {true, false, 1, "3.011"},
    };
    for (const auto& c : cases) {
        ui.boxes.clear();
        files.files.clear();
        StandardFailure(ctx, "3.011", SystemError(ENOENT), c.showBox, c.withDescription);
        ASSERT_EQ(ui.boxes.size(), c.boxes);
        if (c.boxes == 1) {
            EXPECT_EQ(ui.boxes[0].text, "No such file or directory");
            EXPECT_EQ(ui.boxes[0].title, kProgramTitle);
            EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
        }
        EXPECT_EQ(files.content(kLogFile), "\"07.03.2026 14:05:09: \",\"" +
                                               std::string(c.logged) + "\"," +
                                               std::to_string(ENOENT) + "\r\n");
    }
}

}  // namespace
}  // namespace veltar
