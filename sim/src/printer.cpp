#include "fpsim/printer.h"

#include <algorithm>
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

void Printer::Impl::powerCycle() {
  st.nonFiscalOpen = false;
  if (st.openReceipt) {
    if (options.powerLoss == PowerLossPolicy::KeepReceipt) {
      st.powerFailedInReceipt = true;
      print("*** CADERE DE TENSIUNE ***");
    } else if (st.openReceipt->fullyPaid()) {
      // The customer has paid and cannot be handed the money back: the printer
      // finishes the receipt when the power returns, whatever the paper does,
      // for the booking needs only the fiscal memory.
      print("*** CADERE DE TENSIUNE - BON INCHEIAT ***");
      st.powerFailedInReceipt = false;
      bookOpenReceipt();
    } else {
      print("*** CADERE DE TENSIUNE - BON ANULAT ***");
      print("");
      st.openReceipt.reset();
      st.powerFailedInReceipt = false;
    }
  }
  st.display = {};
  reader.reset();
  save();
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
  const std::uint64_t number = ++m.requestCount;
  m.requestLog.push_back(request.cmd);
  bool loseReply = false;
  bool noReply = false;
  bool powerFailAfter = false;
  bool powerFailBefore = false;
  const bool armed = !m.armed.empty() && m.armed.front().requestNumber == number;
  while (!m.armed.empty() && m.armed.front().requestNumber == number) {
    switch (m.armed.front().kind) {
      case ArmedFault::LoseReply: loseReply = true; break;
      case ArmedFault::NoReply: noReply = true; break;
      case ArmedFault::PowerFailAfter: powerFailAfter = true; break;
      case ArmedFault::PowerFailBefore: powerFailBefore = true; break;
    }
    m.armed.erase(m.armed.begin());
  }
  Answer ans;
  if (powerFailBefore) {
    m.powerCycle();
    return ans;
  }
  if (noReply || (!armed && m.faultActive(ReplyFault::NoReply))) {
    if (!armed) m.consumeFaults();
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
  ans.printedLines = m.printed;
  if (m.options.pace) ans.delay += m.options.printTimePerLine * m.printed;
  if (powerFailAfter) {
    m.powerCycle();
    return ans;
  }
  if (loseReply) return ans;

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
  impl_->armed.clear();
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

std::uint64_t Printer::requestCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requestCount;
}

std::vector<std::uint8_t> Printer::requestLog() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requestLog;
}

void Printer::armFault(std::uint64_t requestNumber, ArmedFault kind) {
  std::lock_guard lock(impl_->mutex);
  // A fault on a frame that has passed would never fire and the test arming it
  // would pass for the wrong reason.
  if (requestNumber == 0) throw std::invalid_argument("request numbers start at 1");
  if (requestNumber <= impl_->requestCount) {
    throw std::invalid_argument("request " + std::to_string(requestNumber) +
                                " has already been answered (requests so far: " +
                                std::to_string(impl_->requestCount) + ")");
  }
  auto& armed = impl_->armed;
  const auto at = std::upper_bound(
      armed.begin(), armed.end(), requestNumber,
      [](std::uint64_t n, const ArmedFaultAt& a) { return n < a.requestNumber; });
  armed.insert(at, {requestNumber, kind});
}

std::vector<ArmedFaultAt> Printer::armedFaults() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->armed;
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
