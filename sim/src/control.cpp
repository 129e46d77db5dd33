#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <sstream>
#include <string>

#include "fpsim/printer.h"

namespace fpsim {
namespace {

struct NamedCondition {
  const char* name;
  Condition condition;
};

const NamedCondition kConditions[] = {
    {"paper-near-end", Condition::PaperNearEnd},
    {"paper-out", Condition::PaperOut},
    {"cover-open", Condition::CoverOpen},
    {"paper-jam", Condition::PaperJam},
    {"date-lost", Condition::DateTimeLost},
    {"vat-invalid", Condition::InvalidVatRates},
    {"fm-full", Condition::FiscalMemoryFull},
    {"fm-nearly-full", Condition::FiscalMemoryNearlyFull},
    {"display-missing", Condition::DisplayMissing},
    {"day-24h", Condition::Day24HoursPassed},
    {"fiscal-refusal", Condition::FiscalModeRefusal},
    {"no-leu-commands", Condition::NoLeuCommands},
};

struct NamedFault {
  const char* name;
  ReplyFault fault;
};

const NamedFault kFaults[] = {
    {"no-reply", ReplyFault::NoReply},
    {"bad-checksum", ReplyFault::BadChecksum},
    {"bad-sequence", ReplyFault::BadSequence},
    {"bad-command", ReplyFault::BadCommandEcho},
    {"bad-end", ReplyFault::BadEndByte},
    {"garbage", ReplyFault::GarbageBefore},
    {"late", ReplyFault::Late},
    {"lose-reply", ReplyFault::LoseReply},
};

struct NamedArmedFault {
  const char* name;
  ArmedFault fault;
};

const NamedArmedFault kArmedFaults[] = {
    {"lose-reply", ArmedFault::LoseReply},
    {"no-reply", ArmedFault::NoReply},
    {"power-fail-after", ArmedFault::PowerFailAfter},
    {"power-fail-before", ArmedFault::PowerFailBefore},
};

const char* armedFaultName(ArmedFault f) {
  for (const auto& a : kArmedFaults) {
    if (a.fault == f) return a.name;
  }
  return "?";
}

// "fault-at N KIND"
std::string armFaultLine(Printer& printer, std::istringstream& in) {
  std::string numberText, name;
  if (!(in >> numberText >> name)) return "fault-at needs N and a fault";
  // Only plain digits: stoull alone would take "-1" for a huge number.
  std::uint64_t number = 0;
  bool digits = numberText.find_first_not_of("0123456789") == std::string::npos;
  if (digits) {
    try {
      number = std::stoull(numberText);
    } catch (...) {
      digits = false;  // beyond 64 bits
    }
  }
  if (!digits) return "bad request number '" + numberText + "'";
  for (const auto& a : kArmedFaults) {
    if (name == a.name) {
      try {
        printer.armFault(number, a.fault);
      } catch (const std::invalid_argument& e) {
        return std::string("fault-at: ") + e.what();
      }
      return {};
    }
  }
  return "unknown fault '" + name + "' for fault-at";
}

bool parseSwitch(const std::string& word, bool& on) {
  if (word == "on") {
    on = true;
    return true;
  }
  if (word == "off") {
    on = false;
    return true;
  }
  return false;
}

}  // namespace

std::string applyControlLine(Printer& printer, const std::string& line) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word[0] == '#') return {};  // blank lines and comments do nothing
  for (const auto& c : kConditions) {
    if (word == c.name) {
      std::string arg;
      bool on = true;
      if ((in >> arg) && !parseSwitch(arg, on)) return "expected on or off after " + word;
      printer.setCondition(c.condition, on);
      return {};
    }
  }
  if (word == "fault") {
    std::string name;
    if (!(in >> name)) return "fault needs a name";
    if (name == "clear") {
      printer.clearReplyFaults();
      return {};
    }
    int count = 1;
    std::string countText;
    if (in >> countText) {
      try {
        count = std::stoi(countText);
      } catch (...) {
        return "bad count '" + countText + "'";
      }
    }
    for (const auto& f : kFaults) {
      if (name == f.name) {
        printer.injectReplyFault(f.fault, count);
        return {};
      }
    }
    return "unknown fault '" + name + "'";
  }
  if (word == "fault-at") return armFaultLine(printer, in);
  if (word == "late-ms") {
    long ms = -1;
    if (!(in >> ms) || ms < 0) return "late-ms needs a number of milliseconds";
    printer.setLateReplyDelay(std::chrono::milliseconds(ms));
    return {};
  }
  if (word == "status-bit") {
    std::string byteText, maskText, sw;
    bool on = true;
    if (!(in >> byteText >> maskText)) return "status-bit needs BYTE MASK [on|off]";
    if ((in >> sw) && !parseSwitch(sw, on)) return "expected on or off";
    try {
      const int byte = std::stoi(byteText);
      const unsigned long mask = std::stoul(maskText, nullptr, 0);
      if (byte < 0 || byte > 7 || mask == 0 || mask > 0xFF) return "byte 0..7, mask 1..0xFF";
      printer.forceStatusBit({byte, static_cast<std::uint8_t>(mask)}, on);
    } catch (...) {
      return "bad number in status-bit";
    }
    return {};
  }
  if (word == "power-fail") {
    printer.powerFailure();
    return {};
  }
  if (word == "power-loss") {
    std::string how;
    in >> how;
    if (how == "keep") {
      printer.setPowerLossPolicy(PowerLossPolicy::KeepReceipt);
    } else if (how == "lose") {
      printer.setPowerLossPolicy(PowerLossPolicy::LoseReceipt);
    } else {
      return "power-loss keep|lose";
    }
    return {};
  }
  if (word == "show") return {};  // the program prints describe() for it
  if (word == "clear") {
    for (const auto& c : kConditions) printer.setCondition(c.condition, false);
    printer.clearReplyFaults();
    printer.modify([](PrinterState& s) { s.forcedStatus = {}; });
    return {};
  }
  return "unknown control line '" + word + "'";
}

std::string describe(const Printer& printer) {
  const PrinterState s = printer.state();
  const StatusBytes status = printer.statusBytes();
  char buf[64];
  std::string out = "status";
  for (auto b : status) {
    std::snprintf(buf, sizeof buf, " %02X", b);
    out += buf;
  }
  out += "\nreceipt ";
  if (s.openReceipt) {
    const Receipt& r = *s.openReceipt;
    out += std::to_string(r.number) + " open: " + std::to_string(r.lines.size()) + " lines, total " +
           std::to_string(r.total()) + ", paid " + std::to_string(r.paid()) +
           (r.fullyPaid() ? ", waiting to be closed" : "");
  } else {
    out += "none open; last " + std::to_string(s.lastReceiptNumber);
  }
  out += "\nday: " + std::to_string(s.dayReceipts) + " receipts; last Z " +
         std::to_string(s.lastZNumber) + "; fiscal memory " + std::to_string(s.fiscalMemory.size()) +
         "/" + std::to_string(s.fiscalMemoryCapacity);
  out += "\ndrawer " + std::to_string(s.drawer.inDrawer) + " (in " + std::to_string(s.drawer.putIn) +
         ", out " + std::to_string(s.drawer.takenOut) + ")";
  out += "\ndisplay [" + s.display[0] + "] [" + s.display[1] + "]";
  out += "\nrequests " + std::to_string(printer.requestCount());
  for (const auto& a : printer.armedFaults()) {
    out += "; armed " + std::string(armedFaultName(a.kind)) + " at " +
           std::to_string(a.requestNumber);
  }
  out += "\n";
  return out;
}

const char* controlLineHelp() {
  return "  paper-near-end on|off   S3 0x08\n"
         "  paper-out on|off        S1 0x20, S2 0x20, S3 0x20 and 0x40; nothing is printed\n"
         "  cover-open on|off       S1 0x04; nothing is printed\n"
         "  paper-jam on|off        S2 0x04 and 0x08; nothing is printed\n"
         "  date-lost on|off        S4 0x20 until the clock is written (command 38)\n"
         "  vat-invalid on|off      S4 0x01 until VAT rates are written; receipts refused\n"
         "  fm-full on|off          S6 0x40; day-end report and receipts refused\n"
         "  fm-nearly-full on|off   S6 0x20\n"
         "  display-missing on|off  S6 0x04\n"
         "  day-24h on|off          S6 0x01; new receipts refused until a day-end report\n"
         "  fiscal-refusal on|off   fiscal commands refused with S4 0x04\n"
         "  no-leu-commands on|off  commands 51 and 52 answered as unknown (S5 0x04)\n"
         "  status-bit B M [on|off] force mask M (e.g. 0x80) of status byte S<B> (0..7)\n"
         "  fault NAME [N]          next N replies (default 1, 0 = until cleared) suffer NAME:\n"
         "                            no-reply      command not executed, nothing sent\n"
         "                            lose-reply    command executed, reply lost\n"
         "                            bad-checksum  reply checksum corrupted\n"
         "                            bad-sequence  wrong sequence echo\n"
         "                            bad-command   wrong command echo\n"
         "                            bad-end       end byte not 03h\n"
         "                            garbage       one stray byte before the reply\n"
         "                            late          reply held back by late-ms\n"
         "  fault-at N KIND         fault request frame N (1 = the first since start; show\n"
         "                          gives the count so far), once; KIND is one of:\n"
         "                            lose-reply         executed, reply lost\n"
         "                            no-reply           not executed, nothing sent\n"
         "                            power-fail-after   executed, then the power fails\n"
         "                                               before the reply leaves\n"
         "                            power-fail-before  the power fails as it arrives:\n"
         "                                               not executed, nothing sent\n"
         "  fault clear             drop all reply faults and every armed fault-at\n"
         "  late-ms N               delay of a late reply (default 7000)\n"
         "  power-fail              power failure now (the open receipt meets power-loss)\n"
         "  power-loss keep|lose    what a power failure does to an open fiscal receipt:\n"
         "                            keep  it survives, S5 0x40 until a receipt command\n"
         "                            lose  unpaid: cancelled; fully paid: closed at power-up\n"
         "  clear                   all conditions, forced bits and faults off\n"
         "  show                    print the status bytes, receipt, drawer, display, the\n"
         "                          request count and the armed faults\n";
}

}  // namespace fpsim
