// The real services of the platform: the system clock, the program's
// directory on a POSIX file system, and the single-instance lock.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "services.h"

namespace veltar {

// Splits a text into lines the way the bridge reads its files: a line ends at
// CR (an LF right after it belongs to the same line end) or at the end of the
// text; a final line end adds no empty line. A lone LF is an ordinary
// character, as it is for the sales application that writes the files.
std::vector<std::string> SplitLines(std::string_view text);

class SystemClock : public Clock {
public:
    DateTime now() const override;
    void sleepMilliseconds(int milliseconds) override;
};

// A directory of the local file system. Every failure throws RuntimeError
// with errno and the C library's description of it.
class DirectoryFiles : public ProgramFiles {
public:
    explicit DirectoryFiles(std::string directory);

    std::string directory() const override { return directory_; }
    std::optional<std::string> findFile(const std::string& name) const override;
    std::vector<std::string> listNames() const override;
    std::optional<FileStamp> stamp(const std::string& name) const override;
    std::vector<std::string> readLines(const std::string& name) const override;
    std::string readAll(const std::string& name) const override;
    void replace(const std::string& name, const std::string& content) override;
    void append(const std::string& name, const std::string& text) override;
    void remove(const std::string& name) override;
    void createDirectory(const std::string& name) override;

private:
    std::string path(const std::string& name) const;
    std::string directory_;
};

// The directory that holds the running program file.
std::string ProgramDirectory();

// An exclusive lock on the file Veltar.lock in a directory, held while the
// object lives. The lock dies with the process, so a crashed copy never
// blocks the next start.
class InstanceLock {
public:
    explicit InstanceLock(const std::string& directory);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // True when another process (or another lock object) holds the lock.
    bool heldElsewhere() const { return heldElsewhere_; }

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

inline constexpr const char* kLockFile = "Veltar.lock";

// True when another copy of the program already runs from this directory.
// When it returns false the calling process holds the lock until it ends. A
// lock file that cannot be created at all does not stop the start.
bool AnotherInstanceRuns(const std::string& directory);

}  // namespace veltar
