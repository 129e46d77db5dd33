#include "settings.h"

#include <limits>

#include "failure.h"
#include "ini_file.h"

namespace veltar {
namespace {

constexpr std::size_t kIniLimit = 255;

const char* const kDefaultTitle = "VELTAR";

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Conf.ini is looked up ignoring case, as the file system of the shop's
// earlier installations did, and written back under the name it has on disk.
std::optional<std::string> ConfName(Context& ctx) { return ctx.services.files.findFile(kConfFile); }

// The leading number rounded to a whole number; nothing when it does not fit
// into 32 bits, so the setting keeps the value it had.
std::optional<int32_t> LeadingInteger(const std::string& text) {
    bool ok = true;
    Amount number = ReadLeadingNumber(text, &ok);
    if (!ok) return std::nullopt;
    int64_t whole = number.roundToInteger();
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(whole);
}

// The multiplier is a switch: 0 means 1, any other number the leu ratio.
Amount MultiplierFromSwitch(Amount number) {
    return number.raw == 0 ? Amount::fromInt(1) : Amount::fromInt(10000);
}

void FillResultTexts(CommandState& command) {
    command.MesajeRezultat[10] = "Lipsa comunicatie cu imprimanta. Verificati imprimanta! ";
    command.MesajeRezultat[1] = "Eroare CRC: CRC prost! ";
    command.MesajeRezultat[4] = "Eroare comanda la imprimanta! ";
    command.MesajeRezultat[3] = "Eroare secventa data! ";
    command.MesajeRezultat[5] = "Eroare terminator comanda! ";
}

// Reads one key; when it is missing or empty writes `fallback` and returns nothing.
std::optional<std::string> ReadOrWriteDefault(Context& ctx, const char* key,
                                              const char* fallback) {
    std::string value = Trim(CitesteIni(ctx, kConfSection, key));
    if (!value.empty()) return value;
    ScrieIni(ctx, kConfSection, key, fallback);
    return std::nullopt;
}

void ReadConf(Context& ctx) {
    Settings& s = ctx.settings;
    if (auto text = ReadOrWriteDefault(ctx, "ComPort", "0")) {
        if (auto n = LeadingInteger(*text)) s.ComPort = *n;
    } else {
        s.ComPort = 0;
    }
    if (auto text = ReadOrWriteDefault(ctx, "Multiplu", "0")) {
        bool ok = true;
        Amount number = ReadLeadingNumber(*text, &ok);
        if (ok) s.Multiplu = MultiplierFromSwitch(number);
    } else {
        s.Multiplu = Amount::fromInt(1);
    }
    if (auto text = ReadOrWriteDefault(ctx, "TipInterfata", "0")) {
        if (auto n = LeadingInteger(*text)) s.TipInterfata = *n;
    } else {
        s.TipInterfata = 0;
    }
    if (auto text = ReadOrWriteDefault(ctx, "TipMesaj", "0")) {
        if (auto n = LeadingInteger(*text)) s.TipMesaj = *n;
    } else {
        s.TipMesaj = 0;
    }
    if (auto text = ReadOrWriteDefault(ctx, "Titlu", kDefaultTitle)) {
        s.Titlu = *text;
    } else {
        s.Titlu = kDefaultTitle;
    }
    s.NRPOS = 1;
    if (auto text = ReadOrWriteDefault(ctx, "NRPOS", "1")) {
        bool ok = true;
        Amount number = ReadLeadingNumber(*text, &ok);
        // The bounds apply to the number as written; rounding comes after,
        // so 0.3 passes and becomes 0.
        if (ok && number > Amount{} && number <= Amount::fromInt(255)) {
            s.NRPOS = static_cast<uint8_t>(number.roundToInteger());
        }
    }
}

// The first line of one of the older settings files, which is then deleted.
// The file counts only under exactly its own name, as the older versions
// wrote it; an unreadable file gives the empty text.
std::optional<std::string> TakeOverOldFile(Context& ctx, const char* name) {
    std::optional<std::string> found;
    try {
        found = ctx.services.files.findFile(name);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    if (!found || *found != name) return std::nullopt;
    std::string firstLine;
    try {
        std::vector<std::string> lines = ctx.services.files.readLines(name);
        if (!lines.empty()) firstLine = lines.front();
    } catch (const RuntimeError&) {
    }
    try {
        ctx.services.files.remove(name);
    } catch (const RuntimeError&) {
    }
    return firstLine;
}

void CreateConf(Context& ctx) {
    Settings& s = ctx.settings;
    s.ComPort = 0;
    if (auto line = TakeOverOldFile(ctx, kOldPortFile)) {
        if (auto n = LeadingInteger(*line)) s.ComPort = *n;
    }
    ScrieIni(ctx, kConfSection, "ComPort", std::to_string(s.ComPort));

    s.Multiplu = Amount::fromInt(1);
    Amount switchValue{};
    if (auto line = TakeOverOldFile(ctx, kOldMultiplierFile)) {
        bool ok = true;
        Amount number = ReadLeadingNumber(*line, &ok);
        if (ok) {
            switchValue = number;
            s.Multiplu = MultiplierFromSwitch(number);
        }
    }
    ScrieIni(ctx, kConfSection, "Multiplu", FormatGeneral(switchValue));

    s.TipInterfata = 0;
    ScrieIni(ctx, kConfSection, "TipInterfata", "0");
    s.TipMesaj = 0;
    ScrieIni(ctx, kConfSection, "TipMesaj", "0");
    s.Titlu = kDefaultTitle;
    ScrieIni(ctx, kConfSection, "Titlu", kDefaultTitle);
    s.NRPOS = 1;
    ScrieIni(ctx, kConfSection, "NRPOS", "1");
}

}  // namespace

std::string CitesteIni(Context& ctx, const std::string& section, const std::string& key) {
    try {
        std::optional<std::string> name = ConfName(ctx);
        if (!name) return {};
        IniText ini = IniText::parse(ctx.services.files.readAll(*name));
        std::string value = ini.get(section, key).value_or(std::string());
        // What a 255-character write puts in, a read gives back whole.
        if (value.size() > kIniLimit) value.resize(kIniLimit);
        return value;
    } catch (const RuntimeError&) {
        return {};
    }
}

int32_t ScrieIni(Context& ctx, const std::string& section, const std::string& key,
                 const std::string& value) {
    if (key.size() > kIniLimit || value.size() > kIniLimit) {
        ctx.services.ui.messageBox("Can't write more than " + std::to_string(kIniLimit) +
                                       " characters for key or value.",
                                   kProgramTitle, Icon::None, Buttons::Ok);
        return -1;
    }
    // A line break or an "=" in a name, or a line break in a value, would
    // forge further lines of the file; such a write fails instead.
    const std::string trimmedKey = Trim(key);
    if (trimmedKey.empty() || section.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || key.find('=') != std::string::npos ||
        section.find(']') != std::string::npos || trimmedKey.front() == '[' ||
        trimmedKey.front() == ';') {
        return 0;
    }
    try {
        std::optional<std::string> name = ConfName(ctx);
        // A file that exists but cannot be read is not overwritten: its other
        // keys would be lost.
        IniText ini = IniText::parse(name ? ctx.services.files.readAll(*name) : std::string());
        ini.set(section, key, value);
        ctx.services.files.replace(name.value_or(kConfFile), ini.serialize());
        return 1;
    } catch (const RuntimeError&) {
        return 0;
    }
}

void ReadStartupSettings(Context& ctx) {
    FillResultTexts(ctx.command);
    bool confExists = false;
    try {
        confExists = ConfName(ctx).has_value();
    } catch (const RuntimeError&) {
        // An unreadable directory: go on as for a first start; every write
        // will fail as well and the defaults stay in memory.
    }
    if (confExists) ReadConf(ctx);
    else CreateConf(ctx);
}

}  // namespace veltar
