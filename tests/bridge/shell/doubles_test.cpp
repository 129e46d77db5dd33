// The doubles other tests rely on must behave like what they stand for: a
// double that fills buffers differently from the library would let faults
// of the command layer pass unseen.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "failure.h"
#include "test_context.h"

namespace veltar::testing {
namespace {

TEST(FakeKordal, FillsTheBuffersLikeTheLibraryAndOnlyOnAnAcceptedReply) {
    FakeKordal kordal;
    kordal.queueReply("TrimiteTelegrama", {0, "123", "ABCDEFGH"});
    kordal.queueReply("TrimiteTelegrama", {10, "ignored", "xxxxxxxx"});
    std::string data(251, ' ');
    std::string status(10, ' ');
    EXPECT_EQ(kordal.TrimiteTelegrama(1, "G", 33, data.data(), status.data()), 0);
    EXPECT_EQ(data.substr(0, 5), std::string("123\0 ", 5));
    EXPECT_EQ(status, "ABCDEFGH  ");
    std::string before = data;
    EXPECT_EQ(kordal.TrimiteTelegrama(1, "", 14, data.data(), status.data()), 10);
    EXPECT_EQ(data, before);
    EXPECT_EQ(status, "ABCDEFGH  ");

    kordal.queueReply("TrimiteTelegramaL", {0, std::string("\0\x07", 2), std::string(8, '\0')});
    std::string block("\x03\x01\x00\x05", 4);
    data.assign(251, ' ');
    EXPECT_EQ(kordal.TrimiteTelegramaL(1, reinterpret_cast<const unsigned char*>(block.data()), 75,
                                       reinterpret_cast<unsigned char*>(data.data()),
                                       status.data()),
              0);
    EXPECT_EQ(data.substr(0, 4), std::string("\x02\0\x07 ", 4));
    EXPECT_EQ(kordal.calls.back().payload, block);
    EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{33, 14, 75}));
}

TEST(FakeKordal, QueuedRepliesComeBeforeRepliesByCommandAndTheDefault) {
    FakeKordal kordal;
    kordal.defaultReply.result = 10;
    kordal.replyToCommand(14, {0, "", std::string(8, '\0')});
    kordal.queueReply("TrimiteTelegrama", {4, "", std::string(8, '\0')});
    char data[251];
    char status[10];
    EXPECT_EQ(kordal.TrimiteTelegrama(1, "", 14, data, status), 4);
    EXPECT_EQ(kordal.TrimiteTelegrama(1, "", 14, data, status), 0);
    EXPECT_EQ(kordal.TrimiteTelegrama(1, "", 2, data, status), 10);
    EXPECT_EQ(kordal.InitializeazaSeriala(), 1);
}

TEST(FakeKordal, PortFunctionsAnswerLikeTheLibraryUnlessScripted) {
    FakeKordal kordal;
    // A silent printer must not leak into the port functions.
    kordal.defaultReply.result = 10;
    EXPECT_EQ(kordal.InitializeazaSerialaNr(3), 3);
    EXPECT_EQ(kordal.InitializeazaSerialaNr(0), -2);
    EXPECT_EQ(kordal.InitializeazaSerialaNr(9), -2);
    EXPECT_EQ(kordal.InchidePort(3), 0);
    EXPECT_EQ(kordal.InchidePort(9), -2);
    EXPECT_EQ(kordal.TimeOut6(3), 0);
    EXPECT_EQ(kordal.TimeOut60(3), 0);
    kordal.queueReply("InitializeazaSerialaNr", {-5, "", std::string(8, '\0')});
    EXPECT_EQ(kordal.InitializeazaSerialaNr(3), -5);
    EXPECT_EQ(kordal.callsTo("InitializeazaSerialaNr").size(), 4u);
}

TEST(FakeKordal, AMissingLibraryFailsEveryCallAndTheAttemptIsRecorded) {
    FakeKordal kordal;
    kordal.setLibraryMissing(true);
    try {
        kordal.InchidePort(2);
        ADD_FAILURE() << "no failure";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), error_number::kLibraryMissing);
    }
    ASSERT_EQ(kordal.calls.size(), 1u);
    EXPECT_TRUE(kordal.calls[0].failed);
    EXPECT_EQ(kordal.calls[0].port, 2);
}

TEST(MemoryFiles, FailsOnDemandAndChangesNothingWhenItFails) {
    MemoryFiles files;
    files.files["Veltar.log"] = "a";
    files.failOn(FileOperation::Append, "Veltar.log", ENOSPC, 1);
    EXPECT_THROW(files.append("Veltar.log", "b"), RuntimeError);
    EXPECT_EQ(files.content("Veltar.log"), "a");
    files.append("Veltar.log", "b");  // the failure was for one call only
    EXPECT_EQ(files.content("Veltar.log"), "ab");

    files.failOn(FileOperation::Remove, "*", EBUSY);
    EXPECT_THROW(files.remove("Veltar.log"), RuntimeError);
    EXPECT_TRUE(files.exists("Veltar.log"));
}

TEST(MemoryFiles, TreatsSubDirectoriesAsTheDirectoryOnDiskDoes) {
    MemoryFiles files;
    EXPECT_THROW(files.replace("Rap/x.txt", "1"), RuntimeError);  // no such directory yet
    EXPECT_THROW(files.findFile("Rap/x.txt"), RuntimeError);      // as opendir fails
    files.createDirectory("Rap");
    files.replace("Rap/x.txt", "1");
    EXPECT_EQ(files.findFile("Rap/X.TXT"), "Rap/x.txt");
    // Only the file's own name is compared ignoring case, as on disk.
    EXPECT_THROW(files.findFile("RAP/x.txt"), RuntimeError);
    EXPECT_EQ(files.findFile("Rap"), std::nullopt);  // directories are no files
    for (auto operation : {std::function<void()>([&] { files.readAll("Rap"); }),
                           std::function<void()>([&] { files.remove("Rap"); })}) {
        try {
            operation();
            ADD_FAILURE() << "a directory was read or removed as a file";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), EISDIR);
        }
    }
}

}  // namespace
}  // namespace veltar::testing
