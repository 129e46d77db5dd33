// The cash drawer sums screen SumaSertar: cash put into the drawer ("+") or
// taken out ("-"), or only the drawer totals read (an empty amount); every
// exchange the printer takes ends by opening the drawer.
#pragma once

#include <string>

#include "service/screen.h"
#include "shell/context.h"

namespace veltar {

inline constexpr const char* kCashDrawerCaption = "Sume in Sertar";

struct CashDrawerForm {
    std::string SExist;  // the signed amount typed; after an exchange the sum in the drawer
    std::string SIntr;   // sum put in (display only)
    std::string SIes;    // sum taken out (display only)
};

class SumaSertar {
public:
    explicit SumaSertar(Context& ctx) : ctx_(ctx) {}

    CashDrawerForm& form() { return form_; }
    const CashDrawerForm& form() const { return form_; }

    // Form load: the three boxes empty.
    void Load();

    // Key press in SExist: whether to keep the typed character. The point
    // is kept only while the printer counts in the redenominated leu.
    bool SExistKeyPress(char typed);
    // ExecutaBut, or Enter.
    void ExecutaButClick();
    // ExitBut, or Esc: back to the main window, nothing sent.
    void ExitButClick();

private:
    Context& ctx_;
    CashDrawerForm form_;
};

}  // namespace veltar
