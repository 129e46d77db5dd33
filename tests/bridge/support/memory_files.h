// The program's directory held in memory, with failures on demand: tests run
// as root, where file permissions cannot make a file unwritable.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "services.h"

namespace veltar::testing {

enum class FileOperation { Find, Read, Replace, Append, Remove, CreateDirectory };

class MemoryFiles : public ProgramFiles {
public:
    explicit MemoryFiles(std::string directory = "/veltar") : directory_(std::move(directory)) {}

    std::string directory() const override { return directory_; }
    std::optional<std::string> findFile(const std::string& name) const override;
    std::vector<std::string> listNames() const override;
    // Size, a modification count for the time and the age set in `ages`
    // (a long time ago when unset).
    std::optional<FileStamp> stamp(const std::string& name) const override;
    std::vector<std::string> readLines(const std::string& name) const override;
    std::string readAll(const std::string& name) const override;
    void replace(const std::string& name, const std::string& content) override;
    void append(const std::string& name, const std::string& text) override;
    void remove(const std::string& name) override;
    void createDirectory(const std::string& name) override;

    // Makes `operation` on the file `name` (exact case; "*" for every file)
    // throw the failure of `errnum`, for the next `times` calls (-1: always).
    // A failing operation changes nothing.
    void failOn(FileOperation operation, const std::string& name, int errnum, int times = -1);
    void clearFailures() { failures_.clear(); }

    bool exists(const std::string& name) const { return files.count(name) != 0; }
    // The content of a file; the empty text when it does not exist.
    std::string content(const std::string& name) const;

    // The files by their exact names, and the sub-directories.
    std::map<std::string, std::string> files;
    std::set<std::string> directories;
    // Every call that changed or tried to change something: "replace:ERR.TXT".
    std::vector<std::string> writes;
    // How old a file looks to stamp(), in milliseconds, for files that are
    // being written "just now".
    std::map<std::string, int64_t> ages;

private:
    struct Failure {
        FileOperation operation;
        std::string name;
        int errnum;
        int times;
    };
    void check(FileOperation operation, const std::string& name) const;
    void requireParent(const std::string& name) const;

    std::string directory_;
    std::map<std::string, int64_t> modifications_;
    mutable std::vector<Failure> failures_;
};

}  // namespace veltar::testing
