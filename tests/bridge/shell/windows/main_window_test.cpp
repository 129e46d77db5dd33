// The main window: its load by cause, GENERALE.TXT, activation, the tray,
// the buttons, the manual reports with their paper loops, and the way out.
#include "shell/windows/main_window.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>

#include "exchange/sale_record.h"
#include "exchange/tick.h"
#include "shell/settings.h"
#include "windows_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Bytes;
using testing::Failed;
using testing::FailingWindowServices;
using testing::KordalReply;
using testing::LogEntry;
using testing::FailingWindowsTest;
using testing::WindowsTest;
using testing::ScriptedWindowServices;
using testing::Status;
using testing::TestDoubles;

using Operation = FailingWindowServices::Operation;
using WindowEvent = ScriptedWindowServices::WindowEvent;

const std::string kPortFailure = "Porturile seriale nu au fost initializate. Eroare IRECUPERABILA";
const std::string kLibraryMissingText =
    "libkordal.so: cannot open shared object file: No such file or directory";
const std::string kDayOverFile = "Au trecut 24 de ore de la primul bon fiscal. ";
const std::string kDayOverBox =
    "Au trecut 24 de ore de la primul bon fiscal. \r\nTrebuie executat Inchidere Zi (Raport Z)!";
const std::string kNoTrayLog =
    "Desktopul nu are zona de notificare: fereastra COMENZI ramane afisata, altfel nu ar mai "
    "putea fi deschisa.";
const std::string kPaperRunningOut =
    "S E   T E R M I N A   H A R T I A  L A  I M P R I M A N T A  !!\r\n\r\n"
    "P U N E T I  H A R T I E  S I  A P A S A T I   OK !";
const std::string kRapxPaperOut = " Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
const std::string kRapzPaperOut = "  Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
const std::string kPaperOutAfterZ = "Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
const std::string kMemoryFull = "Memorie fiscala plina! Trebuie schimbata memoria fiscala. ";
const std::string kDayEndQuestion = "Ati terminat vanzarile pe ziua curenta?";
const std::string kExitQuestion = "Doriti sa iesiti din program? ";

const char* const kVeltar = kTitleVeltarSpaced;
const char* const kRutina = kTitleRutinaVerificare;

KordalReply StatusReply(std::initializer_list<std::pair<int, uint8_t>> bytes) {
    return Accepted("", Status(bytes));
}

// ---------------------------------------------------------------- the load

struct LoadCase {
    const char* name;
    std::function<void(TestDoubles&)> arrange;
    std::vector<Box> boxes;
    std::string errorFile;  // empty: ERR.TXT not written
    std::vector<bool> timerSwitches;
    bool ended;
    int32_t port;  // ComPort and PorturiImprimanta[0] afterwards
    bool windowShown = false;
};
void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.name; }

class LoadByCause : public testing::WindowsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadByCause, EndsAsItsCauseSays) {
    const LoadCase& c = GetParam();
    c.arrange(*this);
    const std::string confBefore = files.content(kConfFile);

    ComenziLoad(ctx);

    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(files.content(kErrorFile), c.errorFile.empty() ? "" : c.errorFile + "\r\n");
    EXPECT_EQ(ui.timerSwitches, c.timerSwitches);
    EXPECT_EQ(Ended(), c.ended);
    if (!c.ended) {
        EXPECT_EQ(ui.quitCalls, 0);
        EXPECT_TRUE(kordal.callsTo("InchidePort").empty());
    }
    EXPECT_EQ(ctx.settings.ComPort, c.port);
    if (c.port > 0) {
        EXPECT_EQ(ctx.command.PorturiImprimanta[0], c.port);
    }
    const bool shown = std::find(ui.windowEvents.begin(), ui.windowEvents.end(),
                                 WindowEvent{WindowEvent::Kind::Show, Window::Main}) !=
                       ui.windowEvents.end();
    EXPECT_EQ(shown, c.windowShown);
    // The port found by the search is for this run only.
    EXPECT_EQ(files.content(kConfFile), confBefore);
    EXPECT_TRUE(ctx.windows.mainWindowLoaded);
}

auto WithPort(int32_t port, std::function<void(TestDoubles&)> more = {}) {
    return [port, more](TestDoubles& t) {
        t.ctx.settings.ComPort = port;
        if (more) more(t);
    };
}
auto Unattended(std::function<void(TestDoubles&)> more = {}) {
    return [more](TestDoubles& t) {
        t.ctx.settings.TipInterfata = 1;
        if (more) more(t);
    };
}
void DayOver(TestDoubles& t) {
    t.kordal.replyToCommand(command_code::kPrinterStatus, StatusReply({{6, 0x01}}));
}
void LibraryMissing(TestDoubles& t) { t.kordal.setLibraryMissing(true); }

const Box kPortFailureBox{kPortFailure, "Tratare Erori POS", Icon::Error};
const Box kLibraryMissingBox{kLibraryMissingText, kProgramTitle, Icon::None};
const Box kDayOverShown{kDayOverBox, kProgramTitle, Icon::None};

INSTANTIATE_TEST_SUITE_P(
    Windows, LoadByCause,
    ::testing::Values(
        LoadCase{"PortOpensAndTradingStarts", WithPort(3), {}, "", {false, true}, false, 3},
        LoadCase{"PortBusy",
                 WithPort(3,
                          [](TestDoubles& t) {
                              t.kordal.queueReply("InitializeazaSerialaNr", Failed(-5));
                          }),
                 {kPortFailureBox}, kPortFailure, {false}, true, 3},
        LoadCase{"SearchFindsTheSecondPort",
                 WithPort(0, [](TestDoubles& t) { t.kordal.foundPort = 2; }),
                 {}, "", {false, true}, false, 2},
        LoadCase{"SearchFindsNoPort",
                 WithPort(0, [](TestDoubles& t) { t.kordal.foundPort = -1; }),
                 {kPortFailureBox}, kPortFailure, {false}, true, -1},
        LoadCase{"LibraryMissingForANumberedPort", WithPort(3, LibraryMissing),
                 {kLibraryMissingBox}, "", {false}, true, 3},
        LoadCase{"LibraryMissingForTheSearch", WithPort(0, LibraryMissing),
                 {kLibraryMissingBox}, "", {false}, true, 0},
        LoadCase{"PrechecksStopTrading", WithPort(3, DayOver), {kDayOverShown}, kDayOverFile,
                 {false, false}, false, 3},
        LoadCase{"UnattendedEndsAfterOneTick", Unattended(), {}, "", {false, true}, true, 3},
        LoadCase{"UnattendedEndsWhenTradingMayNotStart", Unattended(DayOver), {kDayOverShown},
                 kDayOverFile, {false, false}, true, 3},
        LoadCase{"NoTrayHostShowsTheWindow",
                 [](TestDoubles& t) { t.ui.trayHostPresent = false; }, {}, "", {false, true},
                 false, 3, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsTest, LoadLogsALibraryMissingWithItsCodeAndNumber) {
    kordal.setLibraryMissing(true);
    ComenziLoad(ctx);
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"3.004" + kLibraryMissingText, 48}}));
}

TEST_F(WindowsTest, LoadPreparesTheWindowAndTheSharedValues) {
    ctx.money.NrZecimale = 0;
    ctx.VerificareLaActivare = true;
    ctx.exchange.CantitateMaxima = 7;
    kordal.replyToCommand(command_code::kPrinterStatus, Failed(10));  // stop before the checks change money

    ComenziLoad(ctx);

    EXPECT_EQ(ctx.money.LeuGreu, 1);
    EXPECT_EQ(ctx.money.NrZecimale, 2);
    EXPECT_EQ(ctx.money.FactorLeu, Amount::fromInt(10000));
    EXPECT_EQ(ctx.exchange.CantitateMaxima, 20000);
    EXPECT_FALSE(ctx.VerificareLaActivare);
    EXPECT_TRUE(ui.trayIconShown);
    EXPECT_EQ(ui.trayTip, "VELTAR 2000 ver. TEXT");
    EXPECT_TRUE(ctx.windows.trayIcon);
    EXPECT_EQ(ui.enabled.at("1:ServicePOS"), true);
    EXPECT_EQ(Journal("tray:").size(), 1u);
    // Polling stays off until the checks decide.
    EXPECT_EQ(ui.timerSwitches, (std::vector<bool>{false}));
}

TEST_F(WindowsTest, UnattendedLoadAddsNoTrayIcon) {
    ctx.settings.TipInterfata = 2;
    ComenziLoad(ctx);
    EXPECT_TRUE(Journal("tray:").empty());
    EXPECT_FALSE(ctx.windows.trayIcon);
}

TEST_F(WindowsTest, NoTrayHostLogsWhyTheWindowIsShown) {
    ui.trayHostPresent = false;
    ComenziLoad(ctx);
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{kNoTrayLog, 0}}));
    EXPECT_FALSE(ctx.windows.trayIcon);
}

TEST_F(WindowsTest, LoadRunsOncePerProgramAlsoWhenAskedAgainFromItsOwnBox) {
    kordal.queueReply("InitializeazaSerialaNr", Failed(-5));
    ui.whileOpen = [&] { ComenziLoad(ctx); };
    ComenziLoad(ctx);
    ComenziLoad(ctx);
    EXPECT_EQ(kordal.callsTo("InitializeazaSerialaNr").size(), 1u);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

// A failure of a window service during the load: where it falls and what it
// is decide between a box, no box, ending the program and only ending the load.
struct LoadFailureCase {
    const char* name;
    Operation failOn;
    int failures;
    RuntimeError failure;
    int32_t comPort;
    int32_t tipInterfata;
    std::vector<Box> boxes;
    bool ended;
    bool portOpened;
};
void PrintTo(const LoadFailureCase& c, std::ostream* out) { *out << c.name; }

class LoadFailure : public testing::FailingWindowsTest,
                    public ::testing::WithParamInterface<LoadFailureCase> {};

const RuntimeError kOther{7, "Out of memory"};
const RuntimeError kLibrary{error_number::kLibraryMissing, "libkordal.so: not found"};
const RuntimeError kComponent{kWindowComponentFailure, "Unspecified error"};
const Box kDriverBox{"Eroare driver low level; reporniti programul!", kTitleVeltarSpaced,
                     Icon::Information};

TEST_P(LoadFailure, TakesThePathOfItsStepAndKind) {
    const LoadFailureCase& c = GetParam();
    failing.failOn = c.failOn;
    failing.failures = c.failures;
    failing.failure = c.failure;
    failingCtx.settings.ComPort = c.comPort;
    failingCtx.settings.TipInterfata = c.tipInterfata;

    ComenziLoad(failingCtx);

    EXPECT_EQ(FailingBoxes(), c.boxes);
    EXPECT_EQ(Log().at(0), (LogEntry{"3.004" + c.failure.description(), c.failure.number()}));
    EXPECT_EQ(failing.quitCalls > 0, c.ended);
    EXPECT_EQ(failingCtx.exchange.programEnded, c.ended);
    EXPECT_EQ(!kordal.callsTo("InitializeazaSerialaNr").empty() ||
                  !kordal.callsTo("InitializeazaSeriala").empty(),
              c.portOpened);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, LoadFailure,
    ::testing::Values(
        // Step 4 enables ServicePOS.
        LoadFailureCase{"BeforeThePortLibraryMissing", Operation::Enable, -1, kLibrary, 3, 0,
                        {kDriverBox}, true, false},
        LoadFailureCase{"BeforeThePortWindowComponent", Operation::Enable, -1, kComponent, 3, 0,
                        {}, true, false},
        LoadFailureCase{"BeforeThePortOtherEndsOnlyTheLoad", Operation::Enable, -1, kOther, 3,
                        0, {{"Out of memory", kProgramTitle, Icon::None}}, false, false},
        // Unattended, a copy whose load stopped could never be ended by anyone.
        LoadFailureCase{"BeforeThePortOtherUnattendedEndsTheProgram", Operation::Enable, -1,
                        kOther, 3, 1, {{"Out of memory", kProgramTitle, Icon::None}}, true,
                        false},
        // Step 9 closes the window of an unattended run: after a numbered
        // port every failure shows its box and ends; after the search a
        // window component's failure ends without one.
        LoadFailureCase{"AfterANumberedPortWindowComponent", Operation::Close, 1, kComponent, 3,
                        1, {{"Unspecified error", kProgramTitle, Icon::None}}, true, true},
        LoadFailureCase{"AfterTheSearchWindowComponent", Operation::Close, 1, kComponent, 0, 1,
                        {}, true, true},
        // Also when the failed close had already marked the program ended.
        LoadFailureCase{"AfterTheSearchOtherUnattendedEndsTheProgram", Operation::Close, 1,
                        kOther, 0, 1, {{"Out of memory", kProgramTitle, Icon::None}}, true,
                        true},
        LoadFailureCase{"AfterTheSearchLibraryMissing", Operation::Close, 1, kLibrary, 0, 1,
                        {kDriverBox}, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------- GENERALE.TXT

TEST_F(WindowsTest, HeaderAndFooterLinesComeFromGeneraleTxtUnderItsExactName) {
    const std::string blank(40, ' ');
    const std::string longLine(45, 'X');
    const struct {
        const char* name;
        std::map<std::string, std::string> files;
        std::array<std::string, 5> lines;
    } cases[] = {
        {"absent", {}, {blank, blank, blank, blank, blank}},
        {"lower case", {{"generale.txt", "A\r\nB\r\nC\r\nD\r\nE\r\n"}},
         {blank, blank, blank, blank, blank}},
        {"mixed case", {{"Generale.txt", "A\r\nB\r\nC\r\nD\r\nE\r\n"}},
         {blank, blank, blank, blank, blank}},
        {"five lines",
         {{"GENERALE.TXT", "MAGAZIN\r\nSTR. LUNGA 1\r\nCUI RO1\r\nVA MULTUMIM\r\nLA REVEDERE\r\n"}},
         {"MAGAZIN" + std::string(33, ' '), "STR. LUNGA 1" + std::string(28, ' '), "CUI RO1" + std::string(33, ' '),
          "VA MULTUMIM" + std::string(29, ' '), "LA REVEDERE" + std::string(29, ' ')}},
        // Entries without a line of their own are blank, never left over.
        {"three lines", {{"GENERALE.TXT", "UNU\r\nDOI\r\nTREI"}},
         {"UNU" + std::string(37, ' '), "DOI" + std::string(37, ' '),
          "TREI" + std::string(36, ' '), blank, blank}},
        {"long lines and more than five",
         {{"GENERALE.TXT", longLine + "\r\n2\r\n3\r\n4\r\n5\r\nSASE\r\n"}},
         {std::string(40, 'X'), "2" + std::string(39, ' '), "3" + std::string(39, ' '),
          "4" + std::string(39, ' '), "5" + std::string(39, ' ')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDoubles t;
        testing::PrinterLetsTradingStart(t);
        for (std::size_t k = 1; k <= 5; ++k) t.ctx.LiniiHeaderFooter[k] = "OLD";
        for (const auto& [name, content] : c.files) t.files.files[name] = content;
        ComenziLoad(t.ctx);
        for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(t.ctx.LiniiHeaderFooter[k + 1], c.lines[k]);
    }
}

TEST_F(WindowsTest, UnreadableGeneraleTxtIsPassedOverWithBlankLines) {
    Put(kHeaderFooterFile, "MAGAZIN\r\n");
    files.failOn(testing::FileOperation::Read, kHeaderFooterFile, EIO);
    ComenziLoad(ctx);
    for (std::size_t k = 1; k <= 5; ++k) EXPECT_EQ(ctx.LiniiHeaderFooter[k], std::string(40, ' '));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(ui.timerSwitches, (std::vector<bool>{false, true}));
}

// ---------------------------------------------------------------- activation

TEST_F(WindowsTest, ActivationRunsTheChecksOnlyWhenAskedAndEveryTime) {
    ComenziActivate(ctx);
    EXPECT_TRUE(kordal.commands().empty());

    ctx.VerificareLaActivare = true;
    ComenziActivate(ctx);
    ComenziActivate(ctx);
    const auto commands = kordal.commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), command_code::kPrinterStatus), 2);
    EXPECT_TRUE(ctx.VerificareLaActivare);
    EXPECT_TRUE(ui.timerOn);
}

TEST_F(WindowsTest, ActivationDuringAPollingTickWaitsForTheTickToEnd) {
    // A box of the tick closes and the window becomes active again while
    // the tick still runs: the checks must not come in between.
    ctx.VerificareLaActivare = true;
    Put(request_file::kDrawer, "");
    kordal.replyToCommand(command_code::kOpenDrawer, Failed(10));
    std::vector<int32_t> commandsDuringTheBox;
    ui.whileOpen = [&] {
        ComenziActivate(ctx);
        commandsDuringTheBox = kordal.commands();
    };
    PollingTick(ctx);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(commandsDuringTheBox, (std::vector<int32_t>{command_code::kOpenDrawer}));

    ui.whileOpen = nullptr;
    ComenziActivate(ctx);
    EXPECT_EQ(kordal.commands().at(1), command_code::kPrinterStatus);
}

TEST_F(WindowsTest, ActivationFromABoxOfTheActivationsOwnChecksDoesNotNestThem) {
    // The checks' own box closes and the window becomes active again while
    // they still run: they go on once, not a second time inside themselves.
    ctx.VerificareLaActivare = true;
    kordal.replyToCommand(command_code::kPrinterStatus, Failed(10));
    int activationsDuringBoxes = 0;
    ui.whileOpen = [&] {
        ++activationsDuringBoxes;
        ComenziActivate(ctx);
    };
    ComenziActivate(ctx);
    ASSERT_GT(activationsDuringBoxes, 0);
    const auto commands = kordal.commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), command_code::kPrinterStatus), 1);

    ui.whileOpen = nullptr;
    ComenziActivate(ctx);
    const auto again = kordal.commands();
    EXPECT_EQ(std::count(again.begin(), again.end(), command_code::kPrinterStatus), 2);
}

TEST_F(WindowsTest, ActivationAfterTheProgramEndedDoesNothing) {
    ctx.VerificareLaActivare = true;
    ctx.exchange.programEnded = true;
    ComenziActivate(ctx);
    EXPECT_TRUE(kordal.commands().empty());
}

// ---------------------------------------------------------------- the tray

TEST_F(WindowsTest, TrayNotificationsOpenTheMenuOrShowTheWindow) {
    const struct {
        int code;
        std::vector<std::string> journal;
    } cases[] = {
        {0x204, {"tray:menu"}},
        {0x203, {"caption:1:Double Click", "show:1"}},
        {0x200, {}},
        {0x201, {}},
        {0x205, {}},
    };
    for (const auto& c : cases) {
        ui.journal.clear();
        ComenziTrayNotification(ctx, c.code);
        EXPECT_EQ(ui.journal, c.journal) << c.code;
    }
}

TEST_F(WindowsTest, BackgroundPressHidesTheWindowOnlyWhenTheTrayLeadsBack) {
    ComenziBackgroundPress(ctx);
    EXPECT_TRUE(ui.journal.empty());
    ctx.windows.trayIcon = true;
    ComenziBackgroundPress(ctx);
    EXPECT_EQ(ui.journal, (std::vector<std::string>{"hide:1"}));
}

TEST_F(WindowsTest, MenuShowShowsAndUnloadRemovesTheTrayIcon) {
    ctx.windows.trayIcon = true;
    MeniuShow(ctx);
    ComenziUnload(ctx);
    EXPECT_EQ(ui.journal, (std::vector<std::string>{"show:1", "tray:remove"}));
    EXPECT_FALSE(ctx.windows.trayIcon);
}

TEST_F(FailingWindowsTest, TrayAndMenuFailuresAreIgnored) {
    failing.failOn = Operation::Show;
    ComenziTrayNotification(failingCtx, 0x203);
    MeniuShow(failingCtx);
    failing.failOn = Operation::Box;
    MeniuExit(failingCtx);
    EXPECT_FALSE(files.exists(kLogFile));
    EXPECT_EQ(failing.quitCalls, 0);
}

// ---------------------------------------------------------------- buttons

TEST_F(WindowsTest, ButtonsOpenTheirScreens) {
    const struct {
        const char* name;
        std::function<void(Context&)> click;
        std::vector<std::string> journal;
    } cases[] = {
        {"AboutB", AboutBClick, {"show:2"}},
        {"RapoarteMF", RapoarteMFClick, {"show:6", "hide:1"}},
        {"ServicePOS", ServicePOSClick, {"timer:off", "show:3", "hide:1"}},
        {"SumeSertarBut", SumeSertarButClick, {"show:7", "hide:1"}},
    };
    for (const auto& c : cases) {
        ui.journal.clear();
        c.click(ctx);
        EXPECT_EQ(ui.journal, c.journal) << c.name;
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(FailingWindowsTest, ButtonFailuresShowTheirDescriptionAndLogTheirCode) {
    const struct {
        const char* name;
        std::function<void(Context&)> click;
        Operation failOn;
        std::string logText;
    } cases[] = {
        {"AboutB", AboutBClick, Operation::Show, "3.001Out of memory"},
        {"RapoarteMF", RapoarteMFClick, Operation::Show, "3.006Out of memory"},
        {"Rapx", RapxClick, Operation::Box, "3.007Out of memory"},
        {"Rapz", RapzClick, Operation::Box, "3.008Out of memory"},
        {"ServicePOS", ServicePOSClick, Operation::Show, "3.009Out of memory"},
        {"SumeSertarBut", SumeSertarButClick, Operation::Show, "3.010Out of memory"},
        // The exit button logs its code alone.
        {"ExitBut", ExitButClick, Operation::Box, "3.003"},
    };
    // Rapx meets a box in its paper loop.
    kordal.replyToCommand(command_code::kPrinterStatus, StatusReply({{3, 0x40}}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files.files.erase(kLogFile);
        failing.failOn = c.failOn;
        failing.failures = 1;
        failing.boxes.clear();
        c.click(failingCtx);
        EXPECT_EQ(Log(), (std::vector<LogEntry>{{c.logText, 7}}));
        EXPECT_EQ(FailingBoxes(), (std::vector<Box>{{"Out of memory", kProgramTitle, Icon::None}}));
    }
}

// ---------------------------------------------------------- manual reports

// What a manual report did: the exchanges, and the port calls around them.
std::vector<std::string> PrinterCalls(const testing::FakeKordal& kordal) {
    std::vector<std::string> calls;
    for (const testing::KordalCall& call : kordal.calls) {
        if (call.function == "TrimiteTelegrama") {
            calls.push_back(std::to_string(call.command) +
                            (call.payload.empty() ? "" : " " + call.payload));
        } else {
            calls.push_back(call.function);
        }
    }
    return calls;
}

struct PaperCase {
    const char* name;
    std::function<void(Context&)> click;
    std::vector<KordalReply> statusReplies;  // the status queries, in order
    std::vector<Box> boxes;                  // after the day-end question, if any
    std::vector<std::string> calls;
};
void PrintTo(const PaperCase& c, std::ostream* out) { *out << c.name; }

class PaperLoop : public testing::WindowsTest, public ::testing::WithParamInterface<PaperCase> {};

TEST_P(PaperLoop, RepeatsUntilThePaperBitsAreClearThenSendsTheReport) {
    const PaperCase& c = GetParam();
    for (const KordalReply& reply : c.statusReplies) kordal.queueReply("TrimiteTelegrama", reply);

    c.click(ctx);

    std::vector<Box> boxes = Boxes();
    if (!boxes.empty() && boxes.front().text == kDayEndQuestion) boxes.erase(boxes.begin());
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_EQ(PrinterCalls(kordal), c.calls);
    // Each turn waits after the operator's OK, so a box answered at once
    // cannot make the loop spin.
    EXPECT_EQ(ui.waits, std::vector<int>(c.statusReplies.size() - 1, 1000));
}

const Box kRunningOutBox{kPaperRunningOut, kRutina, Icon::Information};
const Box kRapxPaperBox{kRapxPaperOut, kRutina, Icon::Information};
const Box kRapzPaperBox{kRapzPaperOut, kRutina, Icon::Information};
const KordalReply kClear = Accepted();
const KordalReply kRunningOut = StatusReply({{3, 0x08}});
// As a printer reports paper out: S3 40h and 20h, with S1 20h.
const KordalReply kOut = StatusReply({{3, 0x60}, {1, 0x20}});

INSTANTIATE_TEST_SUITE_P(
    Windows, PaperLoop,
    ::testing::Values(
        PaperCase{"RapxPaperPresent", RapxClick, {kClear}, {},
                  {"14", "TimeOut60", "33 F", "TimeOut6"}},
        PaperCase{"RapxPaperRunningOut", RapxClick, {kRunningOut, kClear}, {kRunningOutBox},
                  {"14", "14", "TimeOut60", "33 F", "TimeOut6"}},
        PaperCase{"RapxPaperOutTwice", RapxClick, {kOut, kOut, kClear},
                  {kRapxPaperBox, kRapxPaperBox},
                  {"14", "14", "14", "TimeOut60", "33 F", "TimeOut6"}},
        // Running out wins when both bits are set.
        PaperCase{"RapzBothBitsThenOut", RapzClick,
                  {StatusReply({{3, 0x48}}), kOut, kClear}, {kRunningOutBox, kRapzPaperBox},
                  {"14", "14", "14", "TimeOut60", "33 G", "TimeOut6"}},
        // A status query that fails ends the loop; the report goes anyway.
        PaperCase{"RapxStatusQueryFails", RapxClick, {Failed(10)},
                  {{"Lipsa comunicatie cu imprimanta.", kVeltar, Icon::Error}},
                  {"14", "TimeOut60", "33 F", "TimeOut6"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct DayEndCase {
    const char* name;
    Answer answer;
    KordalReply report;
    std::vector<Box> boxes;
    std::string errorFile;
    std::vector<bool> timerSwitches;
    std::vector<std::string> calls;
};
void PrintTo(const DayEndCase& c, std::ostream* out) { *out << c.name; }

class DayEnd : public testing::WindowsTest, public ::testing::WithParamInterface<DayEndCase> {};

TEST_P(DayEnd, HandlesTheReportsStatus) {
    const DayEndCase& c = GetParam();
    ui.answerNext(c.answer);
    kordal.replyToCommand(command_code::kReport, c.report);

    RapzClick(ctx);

    std::vector<Box> expected{{kDayEndQuestion, kVeltar, Icon::Warning}};
    expected.insert(expected.end(), c.boxes.begin(), c.boxes.end());
    EXPECT_EQ(Boxes(), expected);
    EXPECT_EQ(ui.boxes.front().buttons, Buttons::YesNo);
    EXPECT_EQ(files.content(kErrorFile), c.errorFile.empty() ? "" : c.errorFile + "\r\n");
    EXPECT_EQ(ui.timerSwitches, c.timerSwitches);
    EXPECT_EQ(PrinterCalls(kordal), c.calls);
}

const std::vector<std::string> kDayEndCalls{"14", "TimeOut60", "33 G", "TimeOut6"};

INSTANTIATE_TEST_SUITE_P(
    Windows, DayEnd,
    ::testing::Values(
        DayEndCase{"AnsweredNoSendsNothing", Answer::No, Accepted(), {}, "", {}, {}},
        DayEndCase{"DoneStartsPolling", Answer::Yes, Accepted(), {}, "", {true}, kDayEndCalls},
        DayEndCase{"PaperOutAfterwardsIsToldOnce", Answer::Yes, StatusReply({{1, 0x20}}),
                   {{kPaperOutAfterZ, kVeltar, Icon::Information}}, "", {true}, kDayEndCalls},
        DayEndCase{"FiscalMemoryFullStopsPolling", Answer::Yes, StatusReply({{6, 0x40}}),
                   {{kMemoryFull, kVeltar, Icon::Information}}, kMemoryFull, {false},
                   kDayEndCalls},
        DayEndCase{"ReportNotAnsweredLeavesPollingAlone", Answer::Yes, Failed(10),
                   {{"Lipsa comunicatie cu imprimanta.", kVeltar, Icon::Error}}, "", {},
                   kDayEndCalls}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsTest, DayEndReportSettlesAnInterruptedSaleFirst) {
    // A sale whose receipt was open when the program stopped; the printer
    // now has none open and has counted one more closed receipt.
    SaleRecord record;
    record.request = RequestFingerprint("PAINE\t1\t3\tA\t\r\n");
    record.phase = SalePhase::Closing;
    record.receipt = 12;
    record.dayReceipts = 3;
    record.zNumber = 40;
    SaveSaleRecord(ctx, record);
    kordal.replyToCommand(command_code::kTransactionState, Accepted("0,0,0,0,12,"));
    kordal.replyToCommand(command_code::kReadDayCounters, Accepted(Bytes({0, 4, 0, 40})));

    RapzClick(ctx);

    const std::vector<std::string> calls = PrinterCalls(kordal);
    EXPECT_EQ(calls, (std::vector<std::string>{"14", "2", "29", "TimeOut60", "33 G", "TimeOut6"}));
    const std::optional<SaleRecord> settled = LoadSaleRecord(ctx);
    ASSERT_TRUE(settled);
    EXPECT_EQ(settled->settled, SaleVerdict::Closed);
}

// ---------------------------------------------------------------- exit

TEST_F(WindowsTest, ExitEndsTheProgramOnlyWhenConfirmed) {
    const struct {
        const char* name;
        std::function<void(Context&)> exit;
        Answer answer;
        bool ended;
    } cases[] = {
        {"ExitBut yes", ExitButClick, Answer::Yes, true},
        {"ExitBut no", ExitButClick, Answer::No, false},
        {"Exit entry yes", MeniuExit, Answer::Yes, true},
        {"Exit entry no", MeniuExit, Answer::No, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDoubles t;
        t.ctx.settings.ComPort = 4;
        t.ui.answerNext(c.answer);
        c.exit(t.ctx);
        ASSERT_EQ(t.ui.boxes.size(), 1u);
        EXPECT_EQ(t.ui.boxes[0].text, kExitQuestion);
        EXPECT_EQ(t.ui.boxes[0].title, "VELTAR 2000");
        EXPECT_EQ(t.ui.boxes[0].icon, Icon::None);
        EXPECT_EQ(t.ui.boxes[0].buttons, Buttons::YesNo);
        const auto closes = t.kordal.callsTo("InchidePort");
        EXPECT_EQ(closes.size(), c.ended ? 1u : 0u);
        if (c.ended) {
            EXPECT_EQ(closes[0].port, 4);
        }
        EXPECT_EQ(t.ui.quitCalls, c.ended ? 1 : 0);
        EXPECT_EQ(t.ctx.exchange.programEnded, c.ended);
    }
}

TEST_F(WindowsTest, TimerEventRunsAPollingTick) {
    ComenziTimer(ctx);
    EXPECT_EQ(ui.timerSwitches, (std::vector<bool>{true}));
}

}  // namespace
}  // namespace veltar
