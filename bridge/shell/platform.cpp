#include "platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>

#include "failure.h"

namespace veltar {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t cr = text.find('\r', start);
        if (cr == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, cr - start));
        start = cr + 1;
        if (start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

DateTime SystemClock::now() const {
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    DateTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    return t;
}

void SystemClock::sleepMilliseconds(int milliseconds) {
    if (milliseconds <= 0) return;
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

namespace {

struct FdCloser {
    void operator()(int* fd) const {
        if (*fd >= 0) ::close(*fd);
        delete fd;
    }
};
using UniqueFd = std::unique_ptr<int, FdCloser>;

UniqueFd OpenOrThrow(const std::string& path, int flags, mode_t mode = 0) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) throw SystemError(errno);
    return UniqueFd(new int(fd));
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw SystemError(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void CloseOrThrow(UniqueFd& fd) {
    int raw = *fd;
    *fd = -1;
    // close may report a delayed write error; it must not pass unnoticed.
    if (::close(raw) != 0 && errno != EINTR) throw SystemError(errno);
}

mode_t CurrentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

DirectoryFiles::DirectoryFiles(std::string directory) : directory_(std::move(directory)) {}

std::string DirectoryFiles::path(const std::string& name) const {
    return directory_ + "/" + name;
}

std::optional<std::string> DirectoryFiles::findFile(const std::string& name) const {
    // A name in a sub-directory ("Rap/x.txt") is looked up in that directory;
    // the sub-directory's own name is taken as given.
    const std::size_t slash = name.rfind('/');
    const std::string prefix = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string leaf = name.substr(prefix.size());
    const std::string folder = path(prefix);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) throw SystemError(errno);
    std::optional<std::string> found;
    while (dirent* entry = ::readdir(dir.get())) {
        if (::strcasecmp(entry->d_name, leaf.c_str()) != 0) continue;
        struct stat info {};
        if (::stat((folder + entry->d_name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        // Two names differing only in case can sit side by side here; the
        // exact one wins, else the first in byte order, so the answer is stable.
        std::string candidate = prefix + entry->d_name;
        if (candidate == name) return candidate;
        if (!found || candidate < *found) found = candidate;
    }
    return found;
}

std::vector<std::string> DirectoryFiles::listNames() const {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory_.c_str()), ::closedir);
    if (!dir) throw SystemError(errno);
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return names;
}

std::optional<FileStamp> DirectoryFiles::stamp(const std::string& name) const {
    struct stat info {};
    if (::stat(path(name).c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        throw SystemError(errno);
    }
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    FileStamp result;
    result.size = static_cast<int64_t>(info.st_size);
    result.modifiedNanoseconds =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    const int64_t nowNanoseconds = static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    result.ageMilliseconds = (nowNanoseconds - result.modifiedNanoseconds) / 1000000;
    return result;
}

std::vector<std::string> DirectoryFiles::readLines(const std::string& name) const {
    return SplitLines(readAll(name));
}

std::string DirectoryFiles::readAll(const std::string& name) const {
    UniqueFd fd = OpenOrThrow(path(name), O_RDONLY);
    std::string content;
    char buffer[8192];
    for (;;) {
        ssize_t got = ::read(*fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw SystemError(errno);
        }
        if (got == 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

void DirectoryFiles::replace(const std::string& name, const std::string& content) {
    const std::string target = path(name);
    // The temporary file must sit in the target's own directory (Rap for the
    // archive), or the rename would cross directories or find none.
    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    std::string temporary = path(folder + "." + name.substr(folder.size()) + ".XXXXXX");
    int raw = ::mkstemp(temporary.data());
    if (raw < 0) throw SystemError(errno);
    ::fcntl(raw, F_SETFD, FD_CLOEXEC);
    UniqueFd fd(new int(raw));
    try {
        // mkstemp creates the file readable by its owner only; the sales
        // application may run as another user and must still read it.
        struct stat old {};
        mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777)
                                                       : (0666 & ~CurrentUmask());
        if (::fchmod(*fd, mode) != 0) throw SystemError(errno);
        WriteAll(*fd, content);
        // The content must be on disk before the name points at it, or a power
        // failure could leave an empty file where the old one was.
        if (::fsync(*fd) != 0) throw SystemError(errno);
        CloseOrThrow(fd);
        if (::rename(temporary.c_str(), target.c_str()) != 0) throw SystemError(errno);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // Make the rename itself durable; a failure here loses nothing already visible.
    int dirFd = ::open(path(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

void DirectoryFiles::append(const std::string& name, const std::string& text) {
    UniqueFd fd = OpenOrThrow(path(name), O_WRONLY | O_APPEND | O_CREAT, 0666);
    WriteAll(*fd, text);
    CloseOrThrow(fd);
}

void DirectoryFiles::remove(const std::string& name) {
    if (::unlink(path(name).c_str()) != 0) throw SystemError(errno);
}

void DirectoryFiles::createDirectory(const std::string& name) {
    if (::mkdir(path(name).c_str(), 0777) != 0) throw SystemError(errno);
}

std::string ProgramDirectory() {
    std::string buffer(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) throw SystemError(errno);
    if (static_cast<std::size_t>(length) >= buffer.size()) {
        throw SystemError(ENAMETOOLONG);
    }
    buffer.resize(static_cast<std::size_t>(length));
    std::size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : buffer.substr(0, slash);
}

namespace {

// Opens the lock file and tries to lock it. Returns the descriptor (-1 when the
// file cannot be opened) and whether another holder has it.
int TryLock(const std::string& directory, bool& heldElsewhere) {
    heldElsewhere = false;
    int fd = ::open((directory + "/" + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        heldElsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& directory) {
    fd_ = TryLock(directory, heldElsewhere_);
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool AnotherInstanceRuns(const std::string& directory) {
    bool heldElsewhere = false;
    // On success the descriptor is deliberately left open: the lock then lasts
    // exactly as long as this process.
    TryLock(directory, heldElsewhere);
    return heldElsewhere;
}

}  // namespace veltar
