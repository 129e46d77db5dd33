// GoogleTest over a QApplication. Listing the tests (which CTest does at
// build time, without the offscreen platform) needs no window system, so the
// application is made only when tests run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <thread>

namespace {

// Once the program ends (QCoreApplication::exit), Qt keeps every later event
// loop, a box's or a wait's, from running until the main loop runs anew; a
// test that ends the program would otherwise spoil the next ones.
class FreshEventLoops : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
};

// The offscreen platform says at every window that it cannot do what a
// window manager does (raise, size hints); that is all it says.
void QuietOffscreen(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) std::abort();
}

// Qt paints on the threads of its pool. The application's end waits for
// them, but each system thread is still on its way out for a moment after
// that; a process that ends meanwhile leaves the leak checker a thread's
// last object that looks lost.
void WaitForOtherThreadsToEnd() {
    for (int i = 0; i < 200; ++i) {
        const auto tasks = std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                         std::filesystem::directory_iterator());
        if (tasks <= 1) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) {
        qInstallMessageHandler(QuietOffscreen);
        app = std::make_unique<QApplication>(argc, argv);
        ::testing::UnitTest::GetInstance()->listeners().Append(new FreshEventLoops);
    }
    const int status = RUN_ALL_TESTS();
    app.reset();
    WaitForOtherThreadsToEnd();
    return status;
}
