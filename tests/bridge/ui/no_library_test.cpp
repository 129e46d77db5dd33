// The main window's load when libkordal.so is nowhere to be found. A test
// program of its own: once a process has loaded the library, the loader
// finds it again by its name wherever the program looks.
#include <dlfcn.h>

#include "comenzi_window.h"
#include "ui_test.h"

namespace veltar::testing {
namespace {

class NoLibraryTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        missing_ = MakeDynamicKordal(dir_.string());
    }
    void TearDown() override {
        UiTest::TearDown();
        missing_.reset();
    }
    std::unique_ptr<KordalExports> missing_;
};

TEST_F(NoLibraryTest, TheLoadSaysWhyAndTheProgramEnds) {
    ASSERT_EQ(::dlopen("libkordal.so", RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the library is already in this process";
    makeProgram(missing_.get()).start(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return context().windows.mainWindowLoaded; }, 5000));
    // The loader's own description, under the program's title.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("libkordal.so"), std::string::npos) << boxes[0];
    EXPECT_EQ(boxes[0].title, "VELTAR2000");
    EXPECT_EQ(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(services().quitRequested());
    EXPECT_FALSE(program().mainWindow().isVisible());
    EXPECT_NE(read("Veltar.log").find("\"3.004" + boxes[0].text + "\",48"), std::string::npos)
        << read("Veltar.log");
}

}  // namespace
}  // namespace veltar::testing
