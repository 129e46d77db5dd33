// The recovery matrix: a sale with description lines, a split line, a markup,
// a discount and two payments, with exactly one of its commands faulted, for
// every command it sends and every way a command can go wrong. Whatever
// happened, once the bridge has finished the printer holds the sale exactly
// once, with the same lines, adjustments and payments as a sale that met no
// fault, and BON.TXT holds that receipt's number.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "bridge_on_printer.h"
#include "exchange/sale_record.h"

namespace veltar::testing {
namespace {

const char* const kSale =
    "PAINE\t2\t3\tA\t\r\n"
    "APA\t45000\t1\tB\t-10\t\r\n"
    "%\t,\t5\tA\t\r\n"
    "LAPTE\t1\t10\tB\t\r\n"
    "%\t:\t-2\tB\t\r\n"
    "$\tC\t20000\tN\t10000\t\r\n";
const char* const kDescription = "RAND 1\r\nRAND 2\r\n";

enum class Fault { LostReply, NoReply, PowerFailKeep, PowerFailLose, ProgramStopped };

const char* FaultName(Fault f) {
    switch (f) {
        case Fault::LostReply: return "executed, reply lost";
        case Fault::NoReply: return "no reply";
        case Fault::PowerFailKeep: return "power failure, receipt kept";
        case Fault::PowerFailLose: return "power failure, receipt lost";
        case Fault::ProgramStopped: return "program stopped";
    }
    return "";
}

// What a receipt holds, without its number and times.
std::string Content(const fpsim::ClosedReceipt& r) {
    std::ostringstream out;
    for (const auto& l : r.lines) {
        out << "L " << l.name << ' ' << l.group << ' ' << l.quantityMillionths << ' '
            << l.unitPrice << ' ' << l.negative << ' ' << l.percentHundredths << ' ' << l.value
            << '\n';
    }
    for (const auto& a : r.adjustments) {
        out << "A " << a.group << ' ' << a.percentage << ' ' << a.amountOrHundredths << ' '
            << a.value << '\n';
    }
    for (const auto& p : r.payments) out << "P " << p.mode << ' ' << p.amount << '\n';
    return out.str();
}

class RecoveryMatrix : public BridgeOnPrinter, public ::testing::WithParamInterface<Fault> {
protected:
    fpsim::PowerLossPolicy policy() const {
        return GetParam() == Fault::PowerFailLose ? fpsim::PowerLossPolicy::LoseReceipt
                                                  : fpsim::PowerLossPolicy::KeepReceipt;
    }

    void putSale() {
        put(request_file::kDescription, kDescription);
        put(request_file::kSale, kSale);
    }

    // Empty when the cell is right; else what is wrong with it.
    std::string checkCell(const std::string& reference) {
        std::string wrong;
        const auto closed = printer().closedReceipts();
        if (closed.size() != 1) {
            wrong += std::to_string(closed.size()) + " receipts; ";
        } else {
            if (Content(closed[0]) != reference) wrong += "receipt differs:\n" + Content(closed[0]);
            const std::string expected = " " + std::to_string(closed[0].number) + "\t\r\n";
            if (read(response_file::kReceiptNumber) != expected) {
                wrong += "BON.TXT '" + read(response_file::kReceiptNumber) + "'; ";
            }
        }
        if (printer().state().openReceipt) wrong += "a receipt is left open; ";
        for (const char* name : {request_file::kSale, request_file::kDescription, kSaleRecordFile}) {
            if (has(name)) wrong += std::string(name) + " is left; ";
        }
        return wrong;
    }
};

TEST_P(RecoveryMatrix, EveryCommandFaultedStillPrintsTheSaleExactlyOnce) {
    const Fault fault = GetParam();
    // The sale without faults: the reference, and the commands it takes.
    freshWorld(policy());
    putSale();
    runUntilSaleDone();
    ASSERT_EQ(printer().closedReceipts().size(), 1u);
    const std::string reference = Content(printer().closedReceipts()[0]);
    const std::vector<std::uint8_t> commands = printer().requestLog();
    ASSERT_GT(commands.size(), 20u);

    int right = 0;
    std::ostringstream table;
    table << "| k | command | " << FaultName(fault) << " |\n|---|---|---|\n";
    for (std::size_t k = 1; k <= commands.size(); ++k) {
        freshWorld(policy());
        putSale();
        switch (fault) {
            case Fault::LostReply: printer().armFault(k, fpsim::ArmedFault::LoseReply); break;
            case Fault::NoReply: printer().armFault(k, fpsim::ArmedFault::NoReply); break;
            case Fault::PowerFailKeep:
            case Fault::PowerFailLose:
                printer().armFault(k, fpsim::ArmedFault::PowerFailAfter);
                break;
            case Fault::ProgramStopped: stopping_.stopAfter(static_cast<int>(k)); break;
        }
        const int restarts = runUntilSaleDone();
        stopping_.stopAfter(0);
        const std::string wrong = checkCell(reference);
        if (wrong.empty()) ++right;
        EXPECT_EQ(wrong, "") << "command " << k << " (code " << int(commands[k - 1]) << "), "
                             << FaultName(fault) << ", restarts " << restarts << "\n"
                             << ::testing::PrintToString(bridge().ui.boxTexts());
        table << "| " << k << " | " << int(commands[k - 1]) << " | "
              << (wrong.empty() ? "right" : "WRONG") << " |\n";
    }
    table << "\ncells run " << commands.size() << ", cells right " << right << "\n";
    std::printf("%s", table.str().c_str());
}

INSTANTIATE_TEST_SUITE_P(Faults, RecoveryMatrix,
                         ::testing::Values(Fault::LostReply, Fault::NoReply, Fault::PowerFailKeep,
                                           Fault::PowerFailLose, Fault::ProgramStopped),
                         [](const auto& info) {
                             switch (info.param) {
                                 case Fault::LostReply: return std::string("LostReply");
                                 case Fault::NoReply: return std::string("NoReply");
                                 case Fault::PowerFailKeep: return std::string("PowerFailKeep");
                                 case Fault::PowerFailLose: return std::string("PowerFailLose");
                                 case Fault::ProgramStopped: return std::string("ProgramStopped");
                             }
                             return std::string();
                         });

}  // namespace
}  // namespace veltar::testing
