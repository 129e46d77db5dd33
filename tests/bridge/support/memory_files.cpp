#include "memory_files.h"

#include <strings.h>

#include <cerrno>

#include "failure.h"
#include "platform.h"

namespace veltar::testing {

void MemoryFiles::failOn(FileOperation operation, const std::string& name, int errnum,
                         int times) {
    failures_.push_back(Failure{operation, name, errnum, times});
}

void MemoryFiles::check(FileOperation operation, const std::string& name) const {
    for (Failure& f : failures_) {
        if (f.operation != operation || (f.name != "*" && f.name != name) || f.times == 0) {
            continue;
        }
        if (f.times > 0) --f.times;
        throw SystemError(f.errnum);
    }
}

void MemoryFiles::requireParent(const std::string& name) const {
    std::size_t slash = name.rfind('/');
    if (slash != std::string::npos && directories.count(name.substr(0, slash)) == 0) {
        throw SystemError(ENOENT);
    }
}

std::optional<std::string> MemoryFiles::findFile(const std::string& name) const {
    check(FileOperation::Find, name);
    // As on disk: a missing sub-directory fails the lookup, the sub-directory
    // is taken as named, only the file's own name is compared ignoring case.
    requireParent(name);
    if (files.count(name) != 0) return name;
    const std::size_t slash = name.rfind('/');
    const std::string prefix = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string leaf = name.substr(prefix.size());
    for (const auto& [stored, content] : files) {
        if (stored.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string storedLeaf = stored.substr(prefix.size());
        if (storedLeaf.find('/') == std::string::npos &&
            ::strcasecmp(storedLeaf.c_str(), leaf.c_str()) == 0) {
            return stored;
        }
    }
    return std::nullopt;
}

std::vector<std::string> MemoryFiles::readLines(const std::string& name) const {
    return SplitLines(readAll(name));
}

std::string MemoryFiles::readAll(const std::string& name) const {
    check(FileOperation::Read, name);
    auto it = files.find(name);
    if (it == files.end()) throw SystemError(directories.count(name) != 0 ? EISDIR : ENOENT);
    return it->second;
}

std::vector<std::string> MemoryFiles::listNames() const {
    check(FileOperation::Find, "*");
    std::vector<std::string> names;
    for (const auto& [name, content] : files) {
        if (name.find('/') == std::string::npos) names.push_back(name);
    }
    for (const std::string& name : directories) {
        if (name.find('/') == std::string::npos) names.push_back(name);
    }
    return names;
}

std::optional<FileStamp> MemoryFiles::stamp(const std::string& name) const {
    check(FileOperation::Find, name);
    auto it = files.find(name);
    if (it == files.end()) return std::nullopt;
    FileStamp result;
    result.size = static_cast<int64_t>(it->second.size());
    auto m = modifications_.find(name);
    result.modifiedNanoseconds = m == modifications_.end() ? 0 : m->second;
    auto age = ages.find(name);
    result.ageMilliseconds = age == ages.end() ? 3600 * 1000 : age->second;
    return result;
}

void MemoryFiles::replace(const std::string& name, const std::string& content) {
    writes.push_back("replace:" + name);
    check(FileOperation::Replace, name);
    requireParent(name);
    if (directories.count(name) != 0) throw SystemError(EISDIR);
    files[name] = content;
    ++modifications_[name];
}

void MemoryFiles::append(const std::string& name, const std::string& text) {
    writes.push_back("append:" + name);
    check(FileOperation::Append, name);
    requireParent(name);
    if (directories.count(name) != 0) throw SystemError(EISDIR);
    files[name] += text;
    ++modifications_[name];
}

void MemoryFiles::remove(const std::string& name) {
    writes.push_back("remove:" + name);
    check(FileOperation::Remove, name);
    if (files.erase(name) == 0) throw SystemError(directories.count(name) != 0 ? EISDIR : ENOENT);
}

void MemoryFiles::createDirectory(const std::string& name) {
    writes.push_back("mkdir:" + name);
    check(FileOperation::CreateDirectory, name);
    requireParent(name);
    if (directories.count(name) != 0 || files.count(name) != 0) throw SystemError(EEXIST);
    directories.insert(name);
}

std::string MemoryFiles::content(const std::string& name) const {
    auto it = files.find(name);
    return it == files.end() ? std::string() : it->second;
}

}  // namespace veltar::testing
