// POSIX file services of the machine file: the new text goes to a temporary file beside the old one, is flushed to
// disk and then renamed over it, so a crash or a full disk never leaves a damaged or empty machine file.
#include "platform/FileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace lanwick::platform {

namespace {

bool WriteAll(int fd, const std::string& strText) {
    std::size_t done = 0;
    while (done < strText.size()) {
        const ssize_t n = ::write(fd, strText.data() + done, strText.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A symbolic link is followed so that the file it names is replaced, not the link.
bool ResolveTarget(const std::string& strPath, std::string& strTarget) {
    struct stat st {};
    strTarget = strPath;
    if (::lstat(strPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return true;
    char* resolved = ::realpath(strPath.c_str(), nullptr);
    if (resolved == nullptr)
        return false;
    strTarget = resolved;
    std::free(resolved);
    return true;
}

void SplitPath(const std::string& strPath, std::string& strDir, std::string& strBase) {
    const std::size_t slash = strPath.rfind('/');
    // Built as strings, not assigned from literals: GCC 12 at -O3 misreads the literal assignment as overlapping.
    if (slash == std::string::npos) {
        strDir = std::string(".");
        strBase = strPath;
    } else {
        strDir = slash == 0 ? std::string("/") : strPath.substr(0, slash);
        strBase = strPath.substr(slash + 1);
    }
}

int CreateTemporary(const std::string& strDir, const std::string& strBase, std::string& strTemp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        strTemp = strDir + "/." + strBase + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        // 0666 as a plain create would use, so the umask applies to a file that did not exist before.
        const int fd = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

bool FileExists(const std::string& strPath) {
    return ::access(strPath.c_str(), F_OK) == 0;
}

bool IsReadWritable(const std::string& strPath) {
    return ::access(strPath.c_str(), R_OK | W_OK) == 0;
}

bool ReadWholeFile(const std::string& strPath, std::string& strText) {
    strText.clear();
    // Non-blocking so that a FIFO at the path cannot hang the caller; only regular files are read.
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // Sized from the file so that a large file is read without growing the buffer again and again.
    strText.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        strText.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!ok)
        strText.clear();
    return ok;
}

bool ReplaceFile(const std::string& strPath, const std::string& strText) {
    std::string strTarget, strDir, strBase, strTemp;
    if (!ResolveTarget(strPath, strTarget))
        return false;
    struct stat old {};
    const bool bHadOld = ::stat(strTarget.c_str(), &old) == 0;
    if (bHadOld && !S_ISREG(old.st_mode))
        return false;
    SplitPath(strTarget, strDir, strBase);

    const int fd = CreateTemporary(strDir, strBase, strTemp);
    if (fd < 0)
        return false;
    bool ok = true;
    if (bHadOld) {
        // Owner first: a change of owner may clear set-id bits that the mode then restores. Only root may give the
        // file away, so a refused owner change is expected and harmless.
        [[maybe_unused]] const int chownResult = ::fchown(fd, old.st_uid, old.st_gid);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, strText) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(strTemp.c_str(), strTarget.c_str()) == 0;
    if (!ok) {
        ::unlink(strTemp.c_str());
        return false;
    }
    // The directory is not synced: after a crash the rename may be undone, but then the old file is there whole,
    // and a second sync would double the time a save takes.
    return true;
}

} // namespace lanwick::platform
