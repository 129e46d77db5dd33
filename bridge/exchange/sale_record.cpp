#include "exchange/sale_record.h"

#include <charconv>
#include <cstdio>
#include <map>

#include "shell/failure.h"
#include "shell/log.h"
#include "shell/platform.h"

namespace veltar {

namespace {

const char* PhaseName(SalePhase phase) {
    switch (phase) {
        case SalePhase::Opening: return "opening";
        case SalePhase::Open: return "open";
        case SalePhase::Paying: return "paying";
        case SalePhase::Closing: return "closing";
    }
    return "opening";
}

const char* VerdictName(SaleVerdict verdict) {
    switch (verdict) {
        case SaleVerdict::Unknown: return "unknown";
        case SaleVerdict::Closed: return "closed";
        case SaleVerdict::Cancelled: return "cancelled";
    }
    return "unknown";
}

bool ReadInt(const std::string& text, int32_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool ReadInt64(const std::string& text, int64_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

std::string RequestFingerprint(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string FormatSaleRecord(const SaleRecord& r) {
    std::string text;
    auto line = [&](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += value;
        text += "\r\n";
    };
    line("request", r.request);
    line("phase", PhaseName(r.phase));
    line("receipt", std::to_string(r.receipt));
    line("dayReceipts", std::to_string(r.dayReceipts));
    line("zNumber", std::to_string(r.zNumber));
    line("adjustmentsDone", std::to_string(r.adjustmentsDone));
    line("adjustmentPending", std::to_string(r.adjustmentPending));
    line("totalBeforePending", std::to_string(r.totalBeforePending.raw));
    line("settled", VerdictName(r.settled));
    return text;
}

std::optional<SaleRecord> ParseSaleRecord(const std::string& text) {
    std::map<std::string, std::string> values;
    for (const std::string& l : SplitLines(text)) {
        const std::size_t eq = l.find('=');
        if (eq == std::string::npos) return std::nullopt;
        values[l.substr(0, eq)] = l.substr(eq + 1);
    }
    SaleRecord r;
    auto has = [&](const char* key) { return values.count(key) != 0; };
    for (const char* key : {"request", "phase", "receipt", "dayReceipts", "zNumber",
                            "adjustmentsDone", "adjustmentPending", "totalBeforePending",
                            "settled"}) {
        if (!has(key)) return std::nullopt;
    }
    r.request = values["request"];
    const std::string& phase = values["phase"];
    if (phase == "opening") r.phase = SalePhase::Opening;
    else if (phase == "open") r.phase = SalePhase::Open;
    else if (phase == "paying") r.phase = SalePhase::Paying;
    else if (phase == "closing") r.phase = SalePhase::Closing;
    else return std::nullopt;
    const std::string& settled = values["settled"];
    if (settled == "unknown") r.settled = SaleVerdict::Unknown;
    else if (settled == "closed") r.settled = SaleVerdict::Closed;
    else if (settled == "cancelled") r.settled = SaleVerdict::Cancelled;
    else return std::nullopt;
    if (!ReadInt(values["receipt"], r.receipt) || !ReadInt(values["dayReceipts"], r.dayReceipts) ||
        !ReadInt(values["zNumber"], r.zNumber) ||
        !ReadInt(values["adjustmentsDone"], r.adjustmentsDone) ||
        !ReadInt(values["adjustmentPending"], r.adjustmentPending) ||
        !ReadInt64(values["totalBeforePending"], r.totalBeforePending.raw)) {
        return std::nullopt;
    }
    return r;
}

std::optional<SaleRecord> LoadSaleRecord(Context& ctx) {
    ProgramFiles& files = ctx.services.files;
    if (!files.stamp(kSaleRecordFile)) return std::nullopt;
    std::optional<SaleRecord> record = ParseSaleRecord(files.readAll(kSaleRecordFile));
    if (!record) {
        ScrieLog(ctx, std::string("Inregistrarea vanzarii in curs (") + kSaleRecordFile +
                          ") nu poate fi citita; se ignora.",
                 error_number::kTypeMismatch);
    }
    return record;
}

void SaveSaleRecord(Context& ctx, const SaleRecord& record) {
    ctx.services.files.replace(kSaleRecordFile, FormatSaleRecord(record));
}

void RemoveSaleRecord(Context& ctx) {
    try {
        if (ctx.services.files.stamp(kSaleRecordFile)) ctx.services.files.remove(kSaleRecordFile);
    } catch (const RuntimeError& failure) {
        // A record left behind must not match the next request, which may
        // well hold the same bytes (the same article sold again).
        try {
            SaleRecord done;
            ctx.services.files.replace(kSaleRecordFile, FormatSaleRecord(done));
        } catch (const RuntimeError&) {
        }
        try {
            ScrieLog(ctx, std::string("Nu s-a putut sterge ") + kSaleRecordFile + ": " +
                              failure.description(),
                     failure.number());
        } catch (const RuntimeError&) {
        }
    }
}

}  // namespace veltar
