#include "ini_file.h"

#include <strings.h>

namespace veltar {
namespace {

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t";
    std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(blanks);
    return text.substr(begin, end - begin + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
    std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(trimmed.substr(1, close - 1));
}

// Splits a "key=value" line; comments and lines without "=" give nothing.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
    std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return std::make_pair(Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1)));
}

}  // namespace

IniText IniText::parse(std::string_view content) {
    IniText ini;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            ini.lines_.emplace_back(content.substr(start));
            break;
        }
        ini.lines_.emplace_back(content.substr(start, end - start));
        start = end + 1;
        if (content[end] == '\r' && start < content.size() && content[start] == '\n') ++start;
    }
    return ini;
}

std::optional<std::string> IniText::get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const std::string& line : lines_) {
        if (auto name = SectionName(line)) {
            if (inSection) return std::nullopt;  // only the first section of that name counts
            inSection = SameName(*name, section);
            continue;
        }
        if (!inSection) continue;
        auto entry = KeyValue(line);
        if (entry && SameName(entry->first, key)) return std::string(entry->second);
    }
    return std::nullopt;
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value) {
    std::string newLine = std::string(key) + "=" + std::string(value);
    std::optional<std::size_t> sectionLine;
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = SectionName(lines_[i])) {
            if (sectionLine) break;
            if (SameName(*name, section)) {
                sectionLine = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!sectionLine) continue;
        auto entry = KeyValue(lines_[i]);
        if (entry && SameName(entry->first, key)) {
            lines_[i] = newLine;
            return;
        }
        // Blank lines before the next section stay after the new key.
        if (!Trim(lines_[i]).empty()) insertAt = i + 1;
    }
    if (!sectionLine) {
        std::string header = "[";
        header.append(section).append("]");
        lines_.push_back(header);
        lines_.push_back(newLine);
        return;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), newLine);
}

std::string IniText::serialize() const {
    std::string content;
    for (const std::string& line : lines_) {
        content += line;
        content += "\r\n";
    }
    return content;
}

}  // namespace veltar
