#include "fpsim/printer.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "engine.h"

namespace fpsim {

int groupIndex(char letter) {
  switch (letter) {
    case 'A': return 0;
    case 'B': return 1;
    case 'C': return 2;
    case 'D': return 3;
    case ' ': return 4;
    default: return -1;
  }
}

char groupLetter(int index) { return "ABCD "[index]; }

std::int64_t Receipt::total() const {
  std::int64_t sum = 0;
  for (const auto& l : lines) sum += l.value;
  for (const auto& a : adjustments) sum += a.value;
  return sum;
}

std::int64_t Receipt::paid() const {
  std::int64_t sum = 0;
  for (const auto& p : payments) sum += p.amount;
  return sum;
}

bool Receipt::fullyPaid() const { return totalled && paid() >= total(); }


Outcome Printer::Impl::execute(std::uint8_t code, const Bytes& p) {
  switch (code) {
    case cmd::kTransactionState: return transactionState();
    case cmd::kTechnicalReport: return technicalReport();
    case cmd::kWriteVatRates: return writeVatRates(p);
    case cmd::kWriteFiscalCode:
    case cmd::kWriteCompanyName:
    case cmd::kWriteCompanyAddress:
    case cmd::kWriteFiscalSeries: return writeIdentity(code, p);
    case cmd::kWriteHeaderFooter: return headerFooter(p);
    case cmd::kOpenFiscalReceipt: return openFiscalReceipt(p);
    case cmd::kSaleLine: return saleLine(p);
    case cmd::kSubtotal: return subtotal(p);
    case cmd::kTotalPayment: return totalPayment(p);
    case cmd::kCloseFiscalReceipt: return closeFiscalReceipt();
    case cmd::kStatus:
    case cmd::kDateTimeDone: return {};
    case cmd::kReadVatRates: return readVatRates();
    case cmd::kDisplayText: return displayText(p);
    case cmd::kOpenNonFiscal: return openNonFiscal();
    case cmd::kPrintText: return printText(p);
    case cmd::kCloseNonFiscal: return closeNonFiscal();
    case cmd::kWritePosNumber: return posNumber(p);
    case cmd::kDayCounters: return dayCounters();
    case cmd::kFiscalize: return fiscalize();
    case cmd::kPeriodicReport: return periodicReport(p);
    case cmd::kReadDateTime: return readDateTime();
    case cmd::kReport: return report(p);
    case cmd::kOpenDrawer:
      ++st.drawerOpenings;
      return {};
    case cmd::kWriteDateTime: return writeDateTime(p);
    case cmd::kDrawerSums: return drawerSums(p);
    case cmd::kReadFiscalSeries:
    case cmd::kReadCompanyName:
    case cmd::kReadCompanyAddress:
    case cmd::kReadFiscalCode: return readIdentity(code);
    case cmd::kSwitchLeu:
    case cmd::kReadLeu:
      if (condition(Condition::NoLeuCommands)) break;
      if (code == cmd::kSwitchLeu) return switchLeu();
      {
        Outcome o;
        o.data = leuReply();
        return o;
      }
    case cmd::kMarkupDiscount: return markupDiscount(p);
    default: break;
  }
  Outcome unknown;
  unknown.set(bit::kUnknownCommand);
  return unknown;
}

Printer::Printer(PrinterOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->clock = impl_->options.clock ? impl_->options.clock : std::make_shared<SystemClock>();
  impl_->st = freshState();
  if (!impl_->options.stateFile.empty()) {
    if (auto loaded = loadState(impl_->options.stateFile)) {
      impl_->st = std::move(*loaded);
      // Starting up after a stop is a power cycle for whatever was in progress.
      if (impl_->st.openReceipt || impl_->st.nonFiscalOpen) impl_->powerCycle();
    }
  }
}

Printer::~Printer() = default;

Answer Printer::answer(const RequestFrame& request) {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  m.printed = 0;
  Answer ans;
  if (m.faultActive(ReplyFault::NoReply)) {
    m.consumeFaults();
    return ans;
  }
  Outcome o;
  if (!request.checksumOk) {
    o.set(bit::kBadChecksum);
  } else if (!request.endByteOk) {
    o.set(bit::kSequenceError);
  } else {
    const bool latched = m.st.powerFailedInReceipt;
    o = m.execute(request.cmd, request.payload);
    // The power-failure bit is reported until the first receipt command carries it.
    const bool receiptCommand = request.cmd == cmd::kSaleLine ||
                                request.cmd == cmd::kTotalPayment ||
                                request.cmd == cmd::kMarkupDiscount ||
                                request.cmd == cmd::kCloseFiscalReceipt ||
                                request.cmd == cmd::kOpenFiscalReceipt;
    if (latched && receiptCommand) {
      o.set(bit::kPowerFailedInReceipt);
      m.st.powerFailedInReceipt = false;
      o.changed = true;
    }
  }
  if (o.changed) m.save();
  StatusBytes status = m.stateStatus();
  for (std::size_t i = 0; i < status.size(); ++i) status[i] |= o.bits[i];

  std::uint8_t seq = request.seq;
  std::uint8_t echo = request.cmd;
  if (m.faultActive(ReplyFault::BadSequence)) seq = static_cast<std::uint8_t>(seq + 1);
  if (m.faultActive(ReplyFault::BadCommandEcho)) echo = static_cast<std::uint8_t>(echo + 1);
  Bytes frame = encodeReply(seq, status, echo, o.data);
  const std::size_t n = frame[1];
  if (m.faultActive(ReplyFault::BadChecksum)) frame[n + 2] ^= 0x5A;
  if (m.faultActive(ReplyFault::BadEndByte)) frame[n + 4] = 0x00;
  if (m.faultActive(ReplyFault::GarbageBefore)) frame.insert(frame.begin(), 0xFE);
  if (m.faultActive(ReplyFault::Late)) ans.delay += m.options.lateReplyDelay;
  const bool lose = m.faultActive(ReplyFault::LoseReply);
  m.consumeFaults();
  ans.printedLines = m.printed;
  if (m.options.pace) ans.delay += m.options.printTimePerLine * m.printed;
  if (!lose) ans.bytes = std::move(frame);
  return ans;
}

Answer Printer::exchange(std::span<const std::uint8_t> requestBytes) {
  std::optional<RequestFrame> frame;
  {
    std::lock_guard lock(impl_->mutex);
    impl_->reader.reset();
    for (std::uint8_t b : requestBytes) {
      if (auto f = impl_->reader.feed(b)) frame = std::move(f);
    }
    impl_->reader.reset();
  }
  if (!frame) return {};
  return answer(*frame);
}

PrinterState Printer::state() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->st;
}

void Printer::modify(const std::function<void(PrinterState&)>& change) {
  std::lock_guard lock(impl_->mutex);
  change(impl_->st);
  impl_->save();
}

StatusBytes Printer::statusBytes() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->stateStatus();
}

void Printer::setCondition(Condition c, bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->st.conditions[static_cast<std::size_t>(c)] = on;
}

void Printer::forceStatusBit(StatusBit b, bool on) {
  std::lock_guard lock(impl_->mutex);
  auto& byte = impl_->st.forcedStatus.at(static_cast<std::size_t>(b.byte));
  byte = on ? static_cast<std::uint8_t>(byte | b.mask) : static_cast<std::uint8_t>(byte & ~b.mask);
}

void Printer::injectReplyFault(ReplyFault f, int count) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.push_back({f, count <= 0 ? -1 : count});
}

void Printer::clearReplyFaults() {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.clear();
}

void Printer::setLateReplyDelay(std::chrono::milliseconds d) {
  std::lock_guard lock(impl_->mutex);
  impl_->options.lateReplyDelay = d;
}

void Printer::powerFailure() {
  std::lock_guard lock(impl_->mutex);
  impl_->powerCycle();
}

void Printer::setPowerLossPolicy(PowerLossPolicy p) {
  std::lock_guard lock(impl_->mutex);
  impl_->options.powerLoss = p;
}

std::string Printer::journal() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->journal;
}

std::vector<ClosedReceipt> Printer::closedReceipts() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->closed;
}

void Printer::save() const {
  std::lock_guard lock(impl_->mutex);
  impl_->save();
}

const PrinterOptions& Printer::options() const { return impl_->options; }

}  // namespace fpsim
