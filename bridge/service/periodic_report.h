// The periodic fiscal memory report screen RapPer: a start and an end date,
// a detailed or a summary report, run by the printer with command 31.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "service/screen.h"
#include "shell/context.h"

namespace veltar {

inline constexpr const char* kPeriodicReportCaption = "Rapoarte memorie fiscala pe perioade";

// Indices of the date boxes: DataInc 0..2 and DataSf 3..5.
namespace report_date {
inline constexpr std::size_t kStartDay = 0;
inline constexpr std::size_t kStartMonth = 1;
inline constexpr std::size_t kStartYear = 2;
inline constexpr std::size_t kEndDay = 3;
inline constexpr std::size_t kEndMonth = 4;
inline constexpr std::size_t kEndYear = 5;
inline constexpr std::size_t kCount = 6;
}  // namespace report_date

struct PeriodicReportForm {
    std::array<std::string, report_date::kCount> Data;  // DataInc(0..2), DataSf(3..5)
    bool Detaliat = false;                              // ticked: detailed report
};

class RapPer {
public:
    explicit RapPer(Context& ctx) : ctx_(ctx) {}

    PeriodicReportForm& form() { return form_; }
    const PeriodicReportForm& form() const { return form_; }

    // Form load: empty boxes, the check box not ticked.
    void Load();

    // Key press in a date box: whether to keep the typed character.
    bool DataKeyPress(std::size_t index, char typed);
    // Esc in any box, the check box or a button: back to the main window,
    // nothing sent, the trading checks not asked for.
    void EscapePressed();
    void ExecButClick();
    // Command 36, then back to the main window, whose next activation runs
    // the trading checks; a checksum error keeps the screen open.
    void ExitButClick();

private:
    Context& ctx_;
    PeriodicReportForm form_;
};

namespace service_detail {
// Whether day, month and year name a day that exists, the day and month
// taken in either order; a year below 100 is a two-digit year.
bool IsReportDate(std::string_view day, std::string_view month, std::string_view year);
}  // namespace service_detail

}  // namespace veltar
