// Conf.ini: reading at start, creating it, taking over the older files, and
// the two helpers that read and write one key.
#include <gtest/gtest.h>

#include <cerrno>

#include "settings.h"
#include "test_context.h"

namespace veltar {
namespace {

using testing::FileOperation;

const char* const kNewConf =
    "[Mag]\r\nComPort=0\r\nMultiplu=0\r\nTipInterfata=0\r\nTipMesaj=0\r\nTitlu=VELTAR\r\nNRPOS=1\r\n";

class StartupSettingsTest : public testing::ContextTest {
protected:
    // A complete Conf.ini with one key's line replaced.
    void writeConfWith(const std::string& key, const std::string& line) {
        std::string content = "[Mag]\r\n";
        for (const char* k : {"ComPort", "Multiplu", "TipInterfata", "TipMesaj", "Titlu", "NRPOS"}) {
            content += k == key ? line : std::string(k) + "=" + (k == std::string("Titlu") ? "T" : "0");
            content += "\r\n";
        }
        files.files[kConfFile] = content;
    }
};

TEST_F(StartupSettingsTest, FirstStartCreatesConfIniWithTheDefaultsInOrder) {
    ReadStartupSettings(ctx);
    EXPECT_EQ(files.content(kConfFile), kNewConf);
    EXPECT_EQ(ctx.settings.ComPort, 0);
    EXPECT_EQ(ctx.settings.Multiplu, Amount::fromInt(1));
    EXPECT_EQ(ctx.settings.TipInterfata, 0);
    EXPECT_EQ(ctx.settings.TipMesaj, 0);
    EXPECT_EQ(ctx.settings.Titlu, "VELTAR");
    EXPECT_EQ(ctx.settings.NRPOS, 1);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StartupSettingsTest, FillsTheResultCodeTexts) {
    ReadStartupSettings(ctx);
    const auto& texts = ctx.command.MesajeRezultat;
    EXPECT_EQ(texts[1], "Eroare CRC: CRC prost! ");
    EXPECT_EQ(texts[3], "Eroare secventa data! ");
    EXPECT_EQ(texts[4], "Eroare comanda la imprimanta! ");
    EXPECT_EQ(texts[5], "Eroare terminator comanda! ");
    EXPECT_EQ(texts[10], "Lipsa comunicatie cu imprimanta. Verificati imprimanta! ");
    for (int code : {0, 2, 6, 7, 8, 9}) EXPECT_EQ(texts[code], "") << code;
}

TEST_F(StartupSettingsTest, FirstStartTakesOverTheOlderFilesAndDeletesThem) {
    files.files[kOldPortFile] = "2\r\n";
    files.files[kOldMultiplierFile] = "1\r\nignored\r\n";
    ReadStartupSettings(ctx);
    EXPECT_EQ(ctx.settings.ComPort, 2);
    EXPECT_EQ(ctx.settings.Multiplu, Amount::fromInt(10000));
    EXPECT_EQ(files.content(kConfFile),
              "[Mag]\r\nComPort=2\r\nMultiplu=1\r\nTipInterfata=0\r\nTipMesaj=0\r\n"
              "Titlu=VELTAR\r\nNRPOS=1\r\n");
    EXPECT_FALSE(files.exists(kOldPortFile));
    EXPECT_FALSE(files.exists(kOldMultiplierFile));
}

TEST_F(StartupSettingsTest, OlderFilesCountOnlyUnderTheirExactNames) {
    files.files["comport.ini"] = "2\r\n";
    files.files["MULTIPLU.INI"] = "1\r\n";
    ReadStartupSettings(ctx);
    EXPECT_EQ(ctx.settings.ComPort, 0);
    EXPECT_EQ(ctx.settings.Multiplu, Amount::fromInt(1));
    EXPECT_TRUE(files.exists("comport.ini"));
    EXPECT_TRUE(files.exists("MULTIPLU.INI"));
    EXPECT_EQ(files.content(kConfFile), kNewConf);
}

TEST_F(StartupSettingsTest, OlderFileLinesFollowTheLeadingNumberRule) {
    const struct {
        const char* port;
        const char* multiplier;
        int32_t comPort;
        int64_t multiplu;
        const char* confLines;
    } cases[] = {
        {"2.5x", "0.50 lei", 2, 10000, "ComPort=2\r\nMultiplu=0.5\r\n"},
        {"3.5", "abc", 4, 1, "ComPort=4\r\nMultiplu=0\r\n"},
        {"", "", 0, 1, "ComPort=0\r\nMultiplu=0\r\n"},
        {"99999999999", "-2", 0, 10000, "ComPort=0\r\nMultiplu=-2\r\n"},
    };
    for (const auto& c : cases) {
        files.files.clear();
        ctx.settings = Settings{};
        files.files[kOldPortFile] = c.port;
        files.files[kOldMultiplierFile] = c.multiplier;
        ReadStartupSettings(ctx);
        EXPECT_EQ(ctx.settings.ComPort, c.comPort) << c.port;
        EXPECT_EQ(ctx.settings.Multiplu, Amount::fromInt(c.multiplu)) << c.multiplier;
        EXPECT_EQ(files.content(kConfFile).substr(7, std::string(c.confLines).size()), c.confLines);
    }
}

TEST_F(StartupSettingsTest, AnOlderFileThatCannotBeReadGivesTheDefaultAndIsStillDeleted) {
    files.files[kOldPortFile] = "5\r\n";
    files.failOn(FileOperation::Read, kOldPortFile, EIO);
    ReadStartupSettings(ctx);
    EXPECT_EQ(ctx.settings.ComPort, 0);
    EXPECT_FALSE(files.exists(kOldPortFile));
}

TEST_F(StartupSettingsTest, PresentValuesFollowTheRuleOfEachKey) {
    const struct {
        const char* key;
        const char* line;
        int32_t comPort;
        int64_t multiplu;
        int32_t tipInterfata;
        uint8_t nrpos;
    } cases[] = {
        {"Multiplu", "Multiplu=0", 0, 1, 0, 0},
        {"Multiplu", "Multiplu=5", 0, 10000, 0, 0},
        {"Multiplu", "Multiplu=abc", 0, 1, 0, 0},
        {"Multiplu", "Multiplu=0.0001", 0, 10000, 0, 0},
        {"NRPOS", "NRPOS=0", 0, 1, 0, 1},
        {"NRPOS", "NRPOS=256", 0, 1, 0, 1},
        {"NRPOS", "NRPOS=-3", 0, 1, 0, 1},
        {"NRPOS", "NRPOS=x", 0, 1, 0, 1},
        {"NRPOS", "NRPOS=255", 0, 1, 0, 255},
        {"NRPOS", "NRPOS=12.5", 0, 1, 0, 12},
        {"NRPOS", "NRPOS=13.5", 0, 1, 0, 14},
        {"NRPOS", "NRPOS=0.3", 0, 1, 0, 0},
        {"NRPOS", "NRPOS=255.4", 0, 1, 0, 1},
        {"ComPort", "ComPort=  3  ", 3, 1, 0, 0},
        {"ComPort", "ComPort=2.5", 2, 1, 0, 0},
        {"ComPort", "ComPort=-1", -1, 1, 0, 0},
        {"ComPort", "ComPort=COM3", 0, 1, 0, 0},
        {"ComPort", "ComPort=2147483648", 0, 1, 0, 0},  // does not fit: stays as it was
        {"TipInterfata", "TipInterfata=1 (fara fereastra)", 0, 1, 1, 0},
    };
    for (const auto& c : cases) {
        ctx.settings = Settings{};
        writeConfWith(c.key, c.line);
        // Every other key of the fixture reads 0, so NRPOS=0 gives 1 unless tested.
        uint8_t nrpos = std::string(c.key) == "NRPOS" ? c.nrpos : 1;
        ReadStartupSettings(ctx);
        EXPECT_EQ(ctx.settings.ComPort, c.comPort) << c.line;
        EXPECT_EQ(ctx.settings.Multiplu, Amount::fromInt(c.multiplu)) << c.line;
        EXPECT_EQ(ctx.settings.TipInterfata, c.tipInterfata) << c.line;
        EXPECT_EQ(ctx.settings.NRPOS, nrpos) << c.line;
        EXPECT_EQ(ctx.settings.Titlu, "T") << c.line;
    }
}

TEST_F(StartupSettingsTest, EmptyOrMissingKeysAreWrittenWithTheirDefaults) {
    files.files[kConfFile] = "[Mag]\r\nComPort=4\r\nTitlu=   \r\nNRPOS=7\r\n\r\n[Alta]\r\nx=1\r\n";
    ReadStartupSettings(ctx);
    EXPECT_EQ(ctx.settings.ComPort, 4);
    EXPECT_EQ(ctx.settings.Titlu, "VELTAR");
    EXPECT_EQ(ctx.settings.NRPOS, 7);
    EXPECT_EQ(files.content(kConfFile),
              "[Mag]\r\nComPort=4\r\nTitlu=VELTAR\r\nNRPOS=7\r\nMultiplu=0\r\nTipInterfata=0\r\n"
              "TipMesaj=0\r\n\r\n[Alta]\r\nx=1\r\n");
}

TEST_F(StartupSettingsTest, ConfIniUnderAnotherCaseIsReadAndKeptUnderItsName) {
    files.files["conf.INI"] = "[mag]\r\ntitlu = Magazin 1 \r\n";
    files.files[kOldPortFile] = "2\r\n";
    ReadStartupSettings(ctx);
    EXPECT_EQ(ctx.settings.Titlu, "Magazin 1");
    EXPECT_FALSE(files.exists(kConfFile));
    EXPECT_TRUE(files.exists(kOldPortFile));  // not a first start
    EXPECT_EQ(files.content("conf.INI"),
              "[mag]\r\ntitlu = Magazin 1 \r\nComPort=0\r\nMultiplu=0\r\nTipInterfata=0\r\n"
              "TipMesaj=0\r\nNRPOS=1\r\n");
}

TEST_F(StartupSettingsTest, AConfIniThatCannotBeWrittenLeavesTheValuesInMemory) {
    files.failOn(FileOperation::Replace, kConfFile, EROFS);
    files.files[kOldPortFile] = "3\r\n";
    ReadStartupSettings(ctx);
    EXPECT_EQ(ctx.settings.ComPort, 3);
    EXPECT_EQ(ctx.settings.Titlu, "VELTAR");
    EXPECT_FALSE(files.exists(kConfFile));
    EXPECT_TRUE(ui.boxes.empty());
}

class IniHelpersTest : public testing::ContextTest {};

TEST_F(IniHelpersTest, ReadGivesTheTrimmedValueOrTheEmptyText) {
    EXPECT_EQ(CitesteIni(ctx, "Mag", "Titlu"), "");  // no file
    files.files[kConfFile] = "; settings\r\nTitlu=outside\r\n[Mag]\r\n  Titlu =  A = B  \r\nGol=\r\n";
    EXPECT_EQ(CitesteIni(ctx, "Mag", "Titlu"), "A = B");
    EXPECT_EQ(CitesteIni(ctx, "mag", "TITLU"), "A = B");
    EXPECT_EQ(CitesteIni(ctx, "Mag", "Gol"), "");
    EXPECT_EQ(CitesteIni(ctx, "Mag", "Lipsa"), "");
    EXPECT_EQ(CitesteIni(ctx, "Alta", "Titlu"), "");
    files.failOn(FileOperation::Read, kConfFile, EIO);
    EXPECT_EQ(CitesteIni(ctx, "Mag", "Titlu"), "");
}

TEST_F(IniHelpersTest, WriteReplacesInPlaceAndAppendsNewKeysAtTheEndOfTheSection) {
    files.files[kConfFile] = "[Mag]\nComPort=1\nNRPOS=2\n\n[Alta]\nNRPOS=9\n";
    EXPECT_NE(ScrieIni(ctx, "Mag", "NRPOS", "5"), 0);
    EXPECT_NE(ScrieIni(ctx, "Mag", "Titlu", "X"), 0);
    EXPECT_NE(ScrieIni(ctx, "Noua", "K", "v"), 0);
    EXPECT_EQ(files.content(kConfFile),
              "[Mag]\r\nComPort=1\r\nNRPOS=5\r\nTitlu=X\r\n\r\n[Alta]\r\nNRPOS=9\r\n[Noua]\r\nK=v\r\n");
}

TEST_F(IniHelpersTest, WriteRefusesMoreThan255CharactersWithABox) {
    const std::string limit(255, 'v');
    EXPECT_NE(ScrieIni(ctx, "Mag", "Titlu", limit), 0);
    EXPECT_EQ(CitesteIni(ctx, "Mag", "Titlu"), limit);
    EXPECT_TRUE(ui.boxes.empty());

    for (auto [key, value] : {std::pair{std::string("Titlu"), std::string(256, 'w')},
                              std::pair{std::string(256, 'k'), std::string("v")}}) {
        ui.boxes.clear();
        EXPECT_EQ(ScrieIni(ctx, "Mag", key, value), -1);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, "Can't write more than 255 characters for key or value.");
        EXPECT_EQ(ui.boxes[0].title, "VELTAR2000");
        EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
    }
    EXPECT_EQ(CitesteIni(ctx, "Mag", "Titlu"), limit);
}

TEST_F(IniHelpersTest, WriteThatWouldForgeFurtherLinesFailsAndChangesNothing) {
    files.files[kConfFile] = "[Mag]\r\nComPort=1\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"Titlu", "X\r\nComPort=9"}, {"Titlu", "X\nNRPOS=0"}, {"Com=Port", "1"},
        {"[Mag]", "1"},              {"", "1"},               {"Ti\rtlu", "1"},
    };
    for (const auto& [key, value] : cases) {
        EXPECT_EQ(ScrieIni(ctx, "Mag", key, value), 0) << key;
    }
    EXPECT_EQ(files.content(kConfFile), "[Mag]\r\nComPort=1\r\n");
}

TEST_F(IniHelpersTest, WriteFailsRatherThanOverwriteAFileItCannotRead) {
    files.files[kConfFile] = "[Mag]\r\nComPort=3\r\n";
    files.failOn(FileOperation::Read, kConfFile, EIO);
    EXPECT_EQ(ScrieIni(ctx, "Mag", "NRPOS", "2"), 0);
    EXPECT_EQ(files.content(kConfFile), "[Mag]\r\nComPort=3\r\n");
}

}  // namespace
}  // namespace veltar
