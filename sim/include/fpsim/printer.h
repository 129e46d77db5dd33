// The virtual fiscal printer: a model of the printer's memory and paper, driven
// one request frame at a time. Thread-safe: every public member locks the
// printer, so a test may flip fault switches while a server thread answers.
//
// Amounts are whole units of whatever price unit the caller sends (the printer
// never scales them); quantities are in millionths; percentages in hundredths
// of a percent. Texts are code page 1250 bytes held in std::string.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fpsim/clock.h"
#include "fpsim/frame.h"
#include "fpsim/protocol.h"

namespace fpsim {

// VAT group index: 0..3 for A..D, 4 for the exempt group sent as a blank.
inline constexpr int kGroupCount = 5;
int groupIndex(char letter);  // -1 when the letter is none of A, B, C, D, blank
char groupLetter(int index);

struct VatRate {
  int whole = 0;       // percent
  int hundredths = 0;  // hundredths of a percent

  friend bool operator==(const VatRate&, const VatRate&) = default;
};

struct SaleLine {
  std::string name;
  char group = 'A';                    // 'A'..'D' or ' '
  std::int64_t quantityMillionths = 0;
  std::int64_t unitPrice = 0;
  bool negative = false;               // a correcting ("-") line
  int percentHundredths = 0;           // signed; 0 = none
  std::int64_t value = 0;              // signed line value after its percentage
};

struct Adjustment {                    // markup (+) or discount (-) on the receipt
  char group = 'A';
  bool percentage = false;
  std::int64_t amountOrHundredths = 0; // signed: the amount, or the percentage in hundredths
  std::int64_t value = 0;              // signed effect on the total
};

struct Payment {
  char mode = 'C';                     // 'C' cash, 'A', 'N', 'E'
  std::int64_t amount = 0;
};

struct Receipt {
  std::uint32_t number = 0;
  DateTime opened;
  std::vector<SaleLine> lines;
  std::vector<Adjustment> adjustments;
  std::vector<Payment> payments;

  std::int64_t total() const;
  std::int64_t paid() const;
  bool fullyPaid() const;              // a total was requested and payments cover it
  bool totalled = false;               // at least one total/payment command was accepted
};

struct ClosedReceipt : Receipt {
  DateTime closed;
  std::int64_t change = 0;             // cash given back
};

// One day-end (Z) report as written to the fiscal memory.
struct ZRecord {
  std::uint32_t number = 0;
  DateTime date;
  std::array<std::int64_t, kGroupCount> groupTotals{};  // turnover per VAT group
  std::int64_t total = 0;
  std::int64_t vat = 0;
  std::uint32_t receipts = 0;
};

struct DrawerSums {
  std::int64_t inDrawer = 0;
  std::int64_t putIn = 0;
  std::int64_t takenOut = 0;
};

struct FiscalIdentity {
  std::string companyName;
  std::string companyAddress;
  std::string fiscalCode;
  std::string fiscalSeries;
};

// What happens to an open fiscal receipt when the power fails.
enum class PowerLossPolicy {
  LoseReceipt,  // an unpaid receipt is cancelled, a fully paid one is closed at power-up;
                // either way the next state query shows no receipt open
  KeepReceipt,  // the receipt survives and S5 0x40 is reported until it is carried on
};

// Conditions that make the printer report status bits (and refuse what they forbid).
enum class Condition {
  PaperNearEnd,
  PaperOut,
  CoverOpen,
  PaperJam,
  DateTimeLost,           // cleared by writing date and time
  InvalidVatRates,        // cleared by writing VAT rates
  FiscalMemoryFull,
  FiscalMemoryNearlyFull,
  DisplayMissing,
  Day24HoursPassed,       // also reported by itself 24 h after the day's first receipt
  FiscalModeRefusal,      // every fiscal command is refused with S4 0x04
  NoLeuCommands,          // an older printer: commands 51 and 52 are unknown to it
};
inline constexpr int kConditionCount = 12;

// Faults of the reply on the wire.
enum class ReplyFault {
  NoReply,         // command not executed, nothing sent
  BadChecksum,     // reply checksum corrupted
  BadSequence,     // echoed sequence byte wrong
  BadCommandEcho,  // echoed command code wrong
  BadEndByte,      // end byte not 0x03
  GarbageBefore,   // one stray byte before the start byte
  Late,            // reply sent after PrinterOptions::lateReplyDelay
  LoseReply,       // command executed, its reply lost
};

// A fault bound to one request frame by its number (see Printer::armFault).
enum class ArmedFault {
  LoseReply,        // executed, the reply is not sent
  NoReply,          // not executed, nothing sent
  PowerFailAfter,   // executed, then the power fails before the reply leaves
  PowerFailBefore,  // the power fails as the frame arrives: not executed, nothing sent
};

struct ArmedFaultAt {
  std::uint64_t requestNumber = 0;
  ArmedFault kind = ArmedFault::LoseReply;

  friend bool operator==(const ArmedFaultAt&, const ArmedFaultAt&) = default;
};

// The printer's whole memory. Everything except `conditions`, `forcedStatus`
// and `display` survives a restart through the state file.
struct PrinterState {
  bool fiscalized = true;
  FiscalIdentity identity;
  std::array<VatRate, 4> vatRates{};
  int vatRateChanges = 0;
  bool redenominated = false;          // counts in the redenominated leu
  DateTime redenominatedAt;
  std::uint16_t redenominatedZ = 0;
  std::uint8_t posNumber = 1;
  std::uint32_t lastReceiptNumber = 0;
  std::uint32_t lastZNumber = 0;
  std::vector<ZRecord> fiscalMemory;
  std::size_t fiscalMemoryCapacity = 1830;
  DrawerSums drawer;
  std::array<std::int64_t, kGroupCount> dayGroupTotals{};
  std::int64_t dayVat = 0;
  std::uint32_t dayReceipts = 0;
  std::optional<DateTime> dayFirstReceipt;
  std::int64_t clockOffsetSeconds = 0;  // printer clock minus the injected clock
  std::optional<Receipt> openReceipt;
  bool nonFiscalOpen = false;
  bool powerFailedInReceipt = false;   // S5 0x40 latch
  std::array<bool, kConditionCount> conditions{};
  StatusBytes forcedStatus{};          // extra bits ORed into every reply
  std::array<std::string, 2> display;  // customer display lines
  std::uint32_t drawerOpenings = 0;
};

struct PrinterOptions {
  std::shared_ptr<const Clock> clock;  // null: the host's local time
  std::string stateFile;               // empty: nothing persists
  std::string journalFile;             // empty: the paper roll stays in memory only
  std::string receiptsFile;            // empty: <journalFile>.receipts when a journal file is set
  PowerLossPolicy powerLoss = PowerLossPolicy::KeepReceipt;
  bool pace = false;                   // send reply bytes at 9600 baud
  std::chrono::milliseconds printTimePerLine{0};  // added per printed line when pacing
  std::chrono::milliseconds lateReplyDelay{7000};
};

// What the engine wants sent back for one request.
struct Answer {
  Bytes bytes;                          // wire bytes; empty: stay silent
  std::chrono::milliseconds delay{0};   // wait before the first byte (late reply, printing)
  int printedLines = 0;
};

class Printer {
 public:
  explicit Printer(PrinterOptions options = {});
  ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // Answers one request frame. `exchange` takes the raw wire bytes of exactly one
  // frame (from the start byte to the end byte) and is what unit tests use.
  Answer answer(const RequestFrame& request);
  Answer exchange(std::span<const std::uint8_t> requestBytes);

  // Model state, copied out or changed under the printer's lock.
  PrinterState state() const;
  void modify(const std::function<void(PrinterState&)>& change);
  StatusBytes statusBytes() const;  // what the next reply would carry

  // Fault switches.
  void setCondition(Condition c, bool on);
  void forceStatusBit(StatusBit b, bool on);
  // Applies to the next `count` replies; count <= 0 keeps it until cleared.
  void injectReplyFault(ReplyFault f, int count = 1);
  // Drops the injected reply faults and the armed faults.
  void clearReplyFaults();
  void setLateReplyDelay(std::chrono::milliseconds d);
  // Power failure now: an open receipt meets the power-loss policy, the state is
  // saved, and the printer comes back at once.
  void powerFailure();
  void setPowerLossPolicy(PowerLossPolicy p);

  // Request frames since this engine started: every frame the reader delivered,
  // answered or not (bad checksum, silenced by a fault), and the command code of
  // each in arrival order. Numbering starts at 1 with the first frame.
  std::uint64_t requestCount() const;
  std::vector<std::uint8_t> requestLog() const;
  // Binds a fault to the request frame with that number. Several may be armed,
  // also on one frame; each fires once. On its frame an armed fault takes the
  // place of the injected reply faults, which wait for the next reply. Throws
  // std::invalid_argument for 0 or a number already answered.
  void armFault(std::uint64_t requestNumber, ArmedFault kind);
  std::vector<ArmedFaultAt> armedFaults() const;  // not fired yet, by number

  // The paper roll: everything printed since this engine started, and a record of
  // every fiscal receipt closed since then.
  std::string journal() const;
  std::vector<ClosedReceipt> closedReceipts() const;

  // Writes the state file now (it is also written after every command that changes it).
  void save() const;
  const PrinterOptions& options() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Parses a control line ("paper-out on", "fault no-reply 2", "power-fail", ...) and
// applies it; returns an empty string on success, else the reason it was refused.
std::string applyControlLine(Printer& printer, const std::string& line);
// The control lines, one per line, with what each does (for --help).
const char* controlLineHelp();
// A few lines on the printer's state: status bytes, open receipt, display, drawer
// (fpsim prints it for the control line "show").
std::string describe(const Printer& printer);

}  // namespace fpsim
