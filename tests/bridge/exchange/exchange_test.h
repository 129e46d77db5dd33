// Fixture shared by the exchange-file interface's unit tests: the command
// layer's fixture with the program's defaults for a sale.
#pragma once

#include "command_test.h"
#include "exchange/request_files.h"

namespace veltar::testing {

class ExchangeTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        // Prices arrive multiplied from the sales file; keep the plain case here.
        ctx.settings.Multiplu = Amount::fromInt(1);
        ctx.money = MoneyState{};
    }

    // A request file written by the sales application.
    void Put(const std::string& name, const std::string& content) { files.files[name] = content; }
    bool Has(const std::string& name) const { return files.exists(name); }
};

}  // namespace veltar::testing
