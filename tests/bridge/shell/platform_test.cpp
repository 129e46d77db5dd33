// The real services on a real temporary directory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "failure.h"
#include "platform.h"

namespace veltar {
namespace {

namespace fs = std::filesystem;

TEST(SplitLines, EndsALineAtCrAtCrLfOrAtTheEnd) {
    const struct {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"\r\n", {""}},
        {"a\nb\r\n", {"a\nb"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\tb\x9a\r\n", {"a\tb\x9a"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitLines(c.text), c.lines) << testing::PrintToString(std::string(c.text));
    }
}

class DirectoryFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "veltar-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    void put(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
    }
    std::string get(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> entries() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

TEST_F(DirectoryFilesTest, FindFileIgnoresCaseGivesTheNameOnDiskAndSkipsDirectories) {
    DirectoryFiles files(dir);
    put("VANZARI.txt", "x");
    fs::create_directory(dir / "Rap");
    EXPECT_EQ(files.findFile("vanzari.TXT"), "VANZARI.txt");
    EXPECT_EQ(files.findFile("rap"), std::nullopt);
    EXPECT_EQ(files.findFile("BON.TXT"), std::nullopt);
    put("Rap/Z_0001.txt", "x");
    EXPECT_EQ(files.findFile("Rap/z_0001.TXT"), "Rap/Z_0001.txt");

    put("comport.ini", "1");
    put("COMPORT.ini", "2");
    EXPECT_EQ(files.findFile("COMPORT.ini"), "COMPORT.ini");
    EXPECT_EQ(files.findFile("Comport.INI"), "COMPORT.ini");  // the first in byte order
}

TEST_F(DirectoryFilesTest, ReadLinesKeepsTheBytesAndSplitsAtLineEnds) {
    put("a.txt", "1\r\n2\r3\xE2");
    EXPECT_EQ(DirectoryFiles(dir).readLines("a.txt"),
              (std::vector<std::string>{"1", "2", "3\xE2"}));
}

TEST_F(DirectoryFilesTest, ReplaceSwapsTheWholeFileAndLeavesNoTemporaryBehind) {
    DirectoryFiles files(dir);
    files.replace("ERR.TXT", "prima\r\n");
    EXPECT_EQ(get("ERR.TXT"), "prima\r\n");
    fs::permissions(dir / "ERR.TXT", fs::perms(0640));
    files.replace("ERR.TXT", "a doua\r\n");
    EXPECT_EQ(get("ERR.TXT"), "a doua\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"ERR.TXT"});
    // The old file's permissions carry over.
    EXPECT_EQ(fs::status(dir / "ERR.TXT").permissions(), fs::perms(0640));
}

TEST_F(DirectoryFilesTest, ReplaceWorksInsideASubDirectory) {
    // The day-end archive lives in Rap; its temporary file must be made
    // beside the target, not in a directory named after it.
    DirectoryFiles files(dir);
    files.createDirectory("Rap");
    files.replace("Rap/20071231235959.1", "linie\r\n");
    files.replace("Rap/20071231235959.1", "alta\r\n");
    EXPECT_EQ(get("Rap/20071231235959.1"), "alta\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"Rap"});
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Rap"), fs::directory_iterator()), 1);
}

TEST_F(DirectoryFilesTest, ReplaceGivesANewFileTheUsualPermissions) {
    mode_t old = ::umask(022);
    DirectoryFiles(dir).replace("BON.TXT", "12\r\n");
    ::umask(old);
    EXPECT_EQ(fs::status(dir / "BON.TXT").permissions(), fs::perms(0644));
}

TEST_F(DirectoryFilesTest, ReplaceThatFailsKeepsTheOldFile) {
    DirectoryFiles files(dir);
    fs::create_directory(dir / "Rap");
    put("Rap/x", "");
    // rename cannot put a file over a non-empty directory.
    try {
        files.replace("Rap", "text");
        ADD_FAILURE() << "no failure";
    } catch (const RuntimeError& e) {
        EXPECT_TRUE(e.number() == EISDIR || e.number() == ENOTEMPTY || e.number() == EEXIST)
            << e.number();
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"Rap"});
}

TEST_F(DirectoryFilesTest, AppendCreatesAndExtends) {
    DirectoryFiles files(dir);
    files.append("Veltar.log", "a\r\n");
    files.append("Veltar.log", "b\r\n");
    EXPECT_EQ(get("Veltar.log"), "a\r\nb\r\n");
}

TEST_F(DirectoryFilesTest, FailuresCarryErrnoAndTheSystemDescription) {
    DirectoryFiles files(dir);
    const struct {
        const char* what;
        std::function<void()> call;
        int errnum;
    } cases[] = {
        {"read", [&] { files.readAll("lipsa.txt"); }, ENOENT},
        {"remove", [&] { files.remove("lipsa.txt"); }, ENOENT},
        {"append", [&] { files.append("nu/exista.txt", "x"); }, ENOENT},
        {"mkdir twice", [&] { files.createDirectory("Rap"); files.createDirectory("Rap"); }, EEXIST},
        {"find in a missing directory", [] { DirectoryFiles("/nonexistent-veltar").findFile("x"); },
         ENOENT},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.what << ": no failure";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.errnum) << c.what;
            EXPECT_EQ(e.description(), std::strerror(c.errnum)) << c.what;
        }
    }
}

TEST_F(DirectoryFilesTest, RemoveAndCreateDirectoryWork) {
    DirectoryFiles files(dir);
    put("SERTAR.TXT", "");
    files.remove("SERTAR.TXT");
    files.createDirectory("Rap");
    EXPECT_EQ(entries(), std::vector<std::string>{"Rap"});
    EXPECT_TRUE(fs::is_directory(dir / "Rap"));
}

TEST_F(DirectoryFilesTest, OnlyOneInstancePerDirectory) {
    {
        InstanceLock first(dir);
        EXPECT_FALSE(first.heldElsewhere());
        InstanceLock second(dir);
        EXPECT_TRUE(second.heldElsewhere());
        EXPECT_TRUE(AnotherInstanceRuns(dir));
    }
    InstanceLock afterwards(dir);
    EXPECT_FALSE(afterwards.heldElsewhere());
    EXPECT_FALSE(AnotherInstanceRuns("/nonexistent-veltar"));
}

TEST(ProgramDirectory, IsTheDirectoryOfTheRunningProgram) {
    EXPECT_EQ(ProgramDirectory(), fs::canonical("/proc/self/exe").parent_path().string());
}

TEST(SystemClock, GivesAValidLocalTime) {
    SystemClock clock;
    EXPECT_TRUE(clock.now().isValid());
}

}  // namespace
}  // namespace veltar
