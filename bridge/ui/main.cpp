// veltar2000: the point-of-sale bridge. It takes no command-line arguments.
#include <QApplication>

#include <clocale>
#include <iostream>

#include "display_probe.h"
#include "headless_program.h"
#include "program.h"
#include "shell/failure.h"
#include "shell/platform.h"

int main(int argc, char** argv) {
    std::string directory;
    try {
        directory = veltar::ProgramDirectory();
    } catch (const veltar::RuntimeError& failure) {
        std::cerr << "veltar2000: the program's directory is unknown: " << failure.what() << "\n";
        return 1;
    }
    // The sales file's numbers are read with the separators of the locale the
    // program was started in (Qt would switch to it as well).
    std::setlocale(LC_ALL, "");
    // One copy per bridge directory, whether it has windows or not.
    const bool anotherInstanceRuns = veltar::AnotherInstanceRuns(directory);

    if (!veltar::DisplayAvailable(veltar::SystemDisplayEnvironment())) {
        return veltar::RunWithoutDisplay(directory, anotherInstanceRuns, std::cerr);
    }
    // Qt reads options of its own from the command line; the program takes
    // none, so Qt is given only the program's name.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    veltar::Program program(directory);
    if (program.start(anotherInstanceRuns) == veltar::StartOutcome::AlreadyRunning) return 0;
    return program.exec();
}
