// Our own reader and writer of the private-profile layout of Conf.ini:
// "[Section]" lines, "key=value" lines, anything else kept untouched.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltar {

class IniText {
public:
    // Lines may end in CR LF, CR or LF (a file edited by hand on any system).
    static IniText parse(std::string_view content);

    // The value of the first matching key of the first matching section, with
    // surrounding blanks removed; names compare ignoring case.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    // Replaces the key's line in place, or appends "key=value" after the last
    // key of the section, or appends the section at the end of the text.
    void set(std::string_view section, std::string_view key, std::string_view value);
    // Every line ended by CR LF.
    std::string serialize() const;

private:
    std::vector<std::string> lines_;
};

}  // namespace veltar
