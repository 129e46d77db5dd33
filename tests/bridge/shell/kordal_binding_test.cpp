// The dynamic binding of libkordal.so.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "failure.h"
#include "kordal_binding.h"

namespace veltar {
namespace {

TEST(DynamicKordal, AMissingLibraryIsARunTimeFailureOfTheCall) {
    auto kordal = MakeDynamicKordal("/nonexistent-veltar");
    for (int attempt = 0; attempt < 2; ++attempt) {  // and stays one at the next call
        try {
            kordal->TimeOut6(1);
            ADD_FAILURE() << "no failure";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), error_number::kLibraryMissing);
            EXPECT_NE(e.description().find("/nonexistent-veltar/libkordal.so"), std::string::npos)
                << e.description();
        }
    }
}

TEST(DynamicKordal, ALibraryInstalledAfterAFailedCallIsFoundAtTheNextCall) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "veltar-kordal-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    auto kordal = MakeDynamicKordal(dir.string());
    EXPECT_THROW(kordal->InitializeazaSerialaNr(3), RuntimeError);
    fs::copy_file(fs::path(PARTIAL_KORDAL_DIR) / "libkordal.so", dir / "libkordal.so");
    EXPECT_EQ(kordal->InitializeazaSerialaNr(3), 30);
    kordal.reset();
    fs::remove_all(dir);
}

TEST(DynamicKordal, LoadsTheLibraryBesideTheProgramAndCallsItsExports) {
    auto kordal = MakeDynamicKordal(PARTIAL_KORDAL_DIR);
    EXPECT_EQ(kordal->InitializeazaSerialaNr(3), 30);
    char data[251];
    char status[10];
    std::memset(data, ' ', sizeof data);
    std::memset(status, ' ', sizeof status);
    EXPECT_EQ(kordal->TrimiteTelegrama(1, "ab", 14, data, status), 0);
    EXPECT_EQ(std::string(data, 4), std::string("ab\0 ", 4));
    EXPECT_EQ(std::string(status, 10), std::string(8, '\x0e') + "  ");
}

TEST(DynamicKordal, AMissingExportFailsOnlyItsOwnCall) {
    auto kordal = MakeDynamicKordal(PARTIAL_KORDAL_DIR);
    try {
        kordal->TimeOut60(1);
        ADD_FAILURE() << "no failure";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), error_number::kLibraryMissing);
        EXPECT_NE(e.description().find("TimeOut60"), std::string::npos) << e.description();
    }
    EXPECT_EQ(kordal->InitializeazaSerialaNr(2), 20);
}

#ifdef REAL_KORDAL_DIR
TEST(DynamicKordal, BindsTheRealLibrary) {
    auto kordal = MakeDynamicKordal(REAL_KORDAL_DIR);
    // Port 99 is outside the library's range: answered without touching a device.
    EXPECT_EQ(kordal->InchidePort(99), -2);
    EXPECT_EQ(kordal->InitializeazaSerialaNr(99), -2);
}
#endif

}  // namespace
}  // namespace veltar
