// The five status evaluators: status bytes in, boxes (text, title, icon, in
// order) and verdicts out.
#include "command/status.h"

#include <gtest/gtest.h>

#include "command_test.h"

namespace veltar {
namespace {

using testing::Box;
using testing::LogEntry;
using testing::Status;

class StatusTest : public testing::CommandTest {
protected:
    // Puts a reply's status into BufStare, as an exchange leaves it.
    void Reply(const std::string& status) { ctx.command.BufStare = status + "  "; }
    // Sets OctetiStare as a refresh would have, for the evaluators that do not refresh.
    void Refreshed(const std::string& status) {
        for (std::size_t i = 0; i < 8; ++i) {
            ctx.command.OctetiStare[i] = static_cast<uint8_t>(status[i]);
        }
    }
    static std::vector<Box> Checked(std::initializer_list<const char*> texts) {
        std::vector<Box> boxes;
        for (const char* text : texts)
            boxes.push_back({text, "Rutina Verificare", Icon::Information});
        return boxes;
    }
};

const char* const kPaperOut = "Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
const char* const kInvalidCommand = "Codul sau argumentele comenzii primite nu sunt valabile!";
const char* const kNotAllowed = "Executarea comenzii nu e permisa in regimul fiscal curent!";

TEST_F(StatusTest, VerificareExecutieComandaReportsTheFirstProblemOnly) {
    const struct {
        std::string status;
        const char* text;  // nullptr: true and silent
    } cases[] = {
        {Status(), nullptr},
        {Status({{3, 0x40}}), kPaperOut},
        {Status({{3, 0x20}}), kPaperOut},
        {Status({{1, 0x20}}), kPaperOut},
        {Status({{2, 0x04}}),
         "Imprimanta infundata cu hartie (PAPPER JAM). Verificati imprimanta !"},
        {Status({{2, 0x08}}),
         "Imprimanta infundata cu hartie (PAPPER JAM). Verificati imprimanta !"},
        {Status({{4, 0x08}}), "Verificati imprimanta !"},
        {Status({{4, 0x20}}),
         "Data si ora nedeterminate dupa ultima stergere RAM! Setati data/ora din ecranul de "
         "service!"},
        {Status({{4, 0x10}}), kInvalidCommand},
        {Status({{5, 0x01}}), "Eroare secventa!"},
        {Status({{5, 0x02}}), "Eroare CRC!"},
        {Status({{1, 0x04}}), "Verificati Capacul Imprimantei"},
        // Order decides: paper before the cover, a failed command before bad arguments.
        {Status({{3, 0x40}, {1, 0x04}}), kPaperOut},
        {Status({{4, 0x18}}), "Verificati imprimanta !"},
        {Status({{5, 0x03}}), "Eroare secventa!"},
        // Not allowed in the fiscal mode, a receipt open, S0 and the rest are no verdict.
        {Status({{4, 0x04}}), nullptr},
        {Status({{0, 0xFF}, {4, 0xC7}, {5, 0xFC}, {6, 0xFF}, {7, 0xFF}}), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "no problem");
        int32_t index = 0;
        Reply(c.status);
        ui.boxes.clear();
        std::string dash = "-";
        EXPECT_EQ(VerificareExecutieComanda(ctx, index, dash), c.text == nullptr);
        EXPECT_EQ(dash, "-");
        std::vector<Box> expected;
        if (c.text)
            expected.push_back({c.text, "NORVADE 2000", Icon::Information});
        EXPECT_EQ(Boxes(), expected);

        ui.boxes.clear();
        std::string response = "unchanged when all is well";
        EXPECT_EQ(VerificareExecutieComanda(ctx, index, response), c.text == nullptr);
        EXPECT_EQ(response, c.text ? c.text : "unchanged when all is well");
        EXPECT_TRUE(ui.boxes.empty());
        EXPECT_EQ(ctx.command.OctetiStare[4], static_cast<uint8_t>(c.status[4]));
    }
}

TEST_F(StatusTest, VerificareExecutieComandaKeepsTheLastBytesWhenBufStareIsTooShort) {
    int32_t index = 0;
    std::string response;
    Reply(Status({{4, 0x10}}));
    EXPECT_FALSE(VerificareExecutieComanda(ctx, index, response));
    ctx.command.BufStare = "abc";
    response.clear();
    EXPECT_FALSE(VerificareExecutieComanda(ctx, index, response));
    EXPECT_EQ(response, kInvalidCommand);
    EXPECT_EQ(Log(),
              (std::vector<LogEntry>{{"VerificareExecutieComanda: Subscript out of range", 9}}));
}

TEST_F(StatusTest, TrateazaEroriImpRefreshesAndShowsEveryFailureBit) {
    const struct {
        std::string status;
        std::vector<Box> boxes;
    } cases[] = {
        {Status(), {}},
        {Status({{4, 0x04}}), Checked({kNotAllowed})},
        {Status({{4, 0x18}}), Checked({"Argumente invalide!", "Eroare in executarea comenzii!"})},
        {Status({{4, 0x1C}}),
         Checked({"Argumente invalide!", "Eroare in executarea comenzii!", kNotAllowed})},
        {Status({{3, 0x40}, {4, 0xE3}, {5, 0xFF}}), {}},
    };
    for (const auto& c : cases) {
        ui.boxes.clear();
        Reply(c.status);
        TrateazaEroriImp(ctx);
        EXPECT_EQ(Boxes(), c.boxes);
    }
}

TEST_F(StatusTest, TrateazaEroriImpWithAnUnreadableStatusTakesTheFailurePath) {
    ctx.command.BufStare.clear();
    TrateazaEroriImp(ctx);
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"Subscript out of range", "VELTAR2000", Icon::None}}));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"22.021", 9}}));
}

TEST_F(StatusTest, TrateazaErorileImprimanteiShowsEveryBitInItsOrder) {
    Refreshed(Status(
        {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}, {4, 0xFF}, {5, 0xFF}, {6, 0xFF}, {7, 0xFF}}));
    TrateazaErorileImprimantei(ctx);
    EXPECT_EQ(Boxes(),
              Checked({" Lipsa hartie!",
                       "Adresa sau denumire nevalide!",
                       "Cod fiscal nevalid!",
                       "Data si ora nedeterminate dupa ultima stergere RAM!",
                       kInvalidCommand,
                       "Eroare in executarea comenzii!",
                       kNotAllowed,
                       "La executarea comenzii se depasesc campuri de sume!",
                       "Cote TVA nevalide!",
                       "Cadere de tensiune in timpul ultimei tipariri !",
                       "Cadere de tensiune in timpul unui bon!",
                       "Bit rezervat !",
                       "Eroare comanda!",
                       "Eroare CRC!",
                       "Eroare secventa!",
                       "A aparut o eroare la inregistrarea in memoria fiscala !",
                       "Memorie fiscala plina",
                       "Mai sunt mai putin de 60 de inregistrari in memoria fiscala",
                       "Nu exista modulul de memorie fiscala",
                       "Mai sunt putine locatii pentru COTE TVA!",
                       "Nu mai sunt locatii libere pentru COTE TVA!",
                       "Imprimanta fiscalizata!",
                       "Ultima inchidere fiscala nu s-a finalizat corect!",
                       "A aparut cadere de tensiune \xEEn timpul ultimei \xEEnchideri fiscale",
                       "Imprimanta fiscala este in regim de READ ONLY!",
                       "Mai sunt putine locatii pentru RAM RESET (sub 11)!",
                       "Nu mai sunt locatii libere pentru RAM RESET !"}));
}

TEST_F(StatusTest, TrateazaErorileImprimanteiReadsOnlyWhatTheLastRefreshLeft) {
    // Before any refresh the bytes are zero, whatever the last reply said.
    Reply(Status({{3, 0x40}, {1, 0x04}}));
    TrateazaErorileImprimantei(ctx);
    EXPECT_TRUE(ui.boxes.empty());

    // Paper out and cover open: the cover is not among its bits.
    Refreshed(Status({{3, 0x40}, {1, 0x04}}));
    TrateazaErorileImprimantei(ctx);
    EXPECT_EQ(Boxes(), Checked({" Lipsa hartie!"}));
}

TEST_F(StatusTest, TrateazaStareImpShowsItsBitsWithoutRefreshing) {
    const struct {
        std::string status;
        std::vector<Box> boxes;
    } cases[] = {
        {Status(), {}},
        {Status({{2, 0x20}}), Checked({"Lipsa hartie!  "})},
        {Status({{2, 0x60}}), Checked({"Lipsa hartie!  "})},
        {Status({{2, 0x60}, {4, 0x18}, {5, 0x07}}),
         Checked({"Lipsa hartie!  ", kInvalidCommand, "Eroare in executarea comenzii!",
                  "Eroare comanda!", "Eroare CRC!", "Eroare secventa!"})},
        {Status({{3, 0x40}, {4, 0x04}, {5, 0x10}}), {}},
    };
    for (const auto& c : cases) {
        ui.boxes.clear();
        Reply(Status());
        Refreshed(c.status);
        TrateazaStareImp(ctx);
        EXPECT_EQ(Boxes(), c.boxes);
    }
}

TEST_F(StatusTest, TrateazaStareRaportShowsItsBitsWithoutRefreshing) {
    const struct {
        std::string status;
        std::vector<Box> boxes;
    } cases[] = {
        {Status(), {}},
        {Status({{4, 0x04}}), Checked({kNotAllowed})},
        {Status({{3, 0x40}, {4, 0x3E}, {5, 0x07}, {7, 0x04}}),
         Checked({" Lipsa hartie!", "Data si ora nedeterminate dupa ultima stergere RAM!",
                  kInvalidCommand, "Eroare in executarea comenzii!", kNotAllowed,
                  "La executarea comenzii se depasesc campuri de sume!", "Eroare comanda!",
                  "Eroare CRC!", "Eroare secventa!",
                  "Imprimanta fiscala este in regim de READ ONLY!"})},
        {Status({{1, 0xFF}, {2, 0xFF}, {4, 0x81}, {5, 0xF8}, {6, 0xFF}, {7, 0xFB}}), {}},
    };
    for (const auto& c : cases) {
        ui.boxes.clear();
        Reply(Status());
        Refreshed(c.status);
        TrateazaStareRaport(ctx);
        EXPECT_EQ(Boxes(), c.boxes);
    }
}

}  // namespace
}  // namespace veltar
