// POSIX file services: the new text goes to an unnamed file in the target's folder, is flushed to disk and only
// then given a name and renamed over the old file, so that a crash, a kill or a full disk never leaves a damaged or
// empty file, nor a stray temporary one, and nobody can claim or read the temporary file before it is complete.
#include "platform/FileStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace lanwick::platform {

namespace {

constexpr int kMaxLinkHops = 40; // as the kernel's own limit, after which it says ELOOP

bool WriteAll(int fd, const std::string& strText) {
    std::size_t done = 0;
    while (done < strText.size()) {
        const ssize_t n = ::write(fd, strText.data() + done, strText.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
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

std::string ErrnoText() {
    return std::strerror(errno);
}

// Follows the links that end strPath one by one, each only where the kernel would follow it with
// fs.protected_symlinks on: in a sticky world-writable folder (/tmp) a link is followed only when it belongs to us
// or to the folder's owner. Resolving with realpath() and renaming over the result would step around that rule and
// let another user's planted link aim our save at any file we may write.
bool ResolveTarget(const std::string& strPath, std::string& strTarget, std::string& strReason) {
    strTarget = strPath;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat link {};
        // A missing file is created where the path says.
        if (::lstat(strTarget.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            return true;
        std::string strDir, strBase;
        SplitPath(strTarget, strDir, strBase);
        struct stat dir {};
        if (::stat(strDir.c_str(), &dir) != 0) {
            strReason = ErrnoText();
            return false;
        }
        const bool bShared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
        if (bShared && link.st_uid != ::geteuid() && link.st_uid != dir.st_uid) {
            strReason = "it leads through a link of another user (uid " + std::to_string(link.st_uid) +
                        ") in a shared folder, which is not followed";
            return false;
        }
        std::vector<char> buf(static_cast<std::size_t>(link.st_size > 0 ? link.st_size : 255) + 1);
        const ssize_t n = ::readlink(strTarget.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size()) {
            strReason = n < 0 ? ErrnoText() : std::string("the link changed while it was read");
            return false;
        }
        const std::string strLink(buf.data(), static_cast<std::size_t>(n));
        strTarget = strLink.front() == '/' ? strLink : strDir + "/" + strLink;
    }
    strReason = std::strerror(ELOOP);
    return false;
}

std::string RandomName(const std::string& strDir, const std::string& strBase) {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits))
        bits ^= static_cast<std::uint64_t>(::getpid()) << 32 ^ static_cast<std::uint64_t>(std::time(nullptr));
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    std::string strSuffix;
    for (int i = 0; i < 12; ++i, bits >>= 5)
        strSuffix += kDigits[bits & 31];
    // Hidden and ending in ".tmp", so that no "*.prom" or "*.xml" pattern picks it up in its short life.
    return strDir + "/." + strBase + "." + strSuffix + ".tmp";
}

// The file the new text goes to: unnamed where the file system can (O_TMPFILE), else a new file under a random
// name. 0666 as a plain create would use, so the umask applies to a file that did not exist before.
int CreateTemporary(const std::string& strDir, const std::string& strBase, std::string& strNamed) {
    strNamed.clear();
    const int fd = ::open(strDir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        strNamed = RandomName(strDir, strBase);
        const int named = ::open(strNamed.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (named >= 0)
            return named;
        if (errno != EEXIST)
            break;
    }
    strNamed.clear();
    return -1;
}

// Gives the unnamed file a random name in its folder, the step before the rename that puts it in place: link()
// cannot replace an existing file, rename() can, atomically.
bool NameTemporary(int fd, const std::string& strDir, const std::string& strBase, std::string& strNamed) {
    const std::string strProc = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        strNamed = RandomName(strDir, strBase);
        if (::linkat(AT_FDCWD, strProc.c_str(), AT_FDCWD, strNamed.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        // Without /proc only the privileged form is left.
        if (errno == ENOENT && ::linkat(fd, "", AT_FDCWD, strNamed.c_str(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    strNamed.clear();
    return false;
}

bool Fail(std::string* pstrError, const std::string& strReason) {
    if (pstrError != nullptr)
        *pstrError = strReason;
    return false;
}

} // namespace

bool FileExists(const std::string& strPath) {
    // Only "no such file" means there is none: a refusal (a protected link answers EACCES) is no licence to
    // create the file anew.
    return ::access(strPath.c_str(), F_OK) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

bool IsReadWritable(const std::string& strPath) {
    return ::access(strPath.c_str(), R_OK | W_OK) == 0;
}

bool ReadWholeFile(const std::string& strPath, std::string& strText, std::size_t nMaxBytes) {
    strText.clear();
    // Non-blocking so that a FIFO at the path cannot hang the caller; only regular files are read.
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > nMaxBytes) {
        ::close(fd);
        errno = EFBIG;
        return false;
    }
    // Sized from the file so that a large file is read without growing the buffer again and again.
    strText.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    bool ok = true;
    int nError = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            nError = errno;
        }
        if (n <= 0)
            break;
        // A file that grows while it is read is held to the same limit.
        if (strText.size() + static_cast<std::size_t>(n) > nMaxBytes) {
            ok = false;
            nError = EFBIG;
            break;
        }
        strText.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!ok) {
        strText.clear();
        strText.shrink_to_fit();
        errno = nError;
    }
    return ok;
}

std::string ReplaceRefusal(const std::string& strPath) {
    std::string strTarget, strReason, strDir, strBase;
    if (!ResolveTarget(strPath, strTarget, strReason))
        return strReason;
    struct stat st {};
    if (::stat(strTarget.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
    SplitPath(strTarget, strDir, strBase);
    if (::access(strDir.c_str(), W_OK | X_OK) != 0)
        return "its folder cannot take a new file: " + ErrnoText();
    return {};
}

std::string ResolveFolders(const std::string& strPath, std::string* pstrError) {
    std::string strDir, strBase;
    SplitPath(strPath, strDir, strBase);
    std::string strDone;
    if (strDir.front() != '/') {
        // The working folder is already resolved by the kernel.
        std::vector<char> cwd(4096);
        if (::getcwd(cwd.data(), cwd.size()) == nullptr) {
            Fail(pstrError, ErrnoText());
            return {};
        }
        strDone = cwd.data();
    }
    // Components still to walk, the next at the back; a link's target is pushed in their place.
    std::vector<std::string> todo;
    const auto push = [&todo](const std::string& strPart) {
        std::vector<std::string> parts;
        for (std::size_t at = 0; at <= strPart.size();) {
            const std::size_t slash = std::min(strPart.find('/', at), strPart.size());
            if (slash > at)
                parts.push_back(strPart.substr(at, slash - at));
            at = slash + 1;
        }
        todo.insert(todo.end(), parts.rbegin(), parts.rend());
    };
    push(strDir);
    for (int nHops = 0; !todo.empty();) {
        const std::string strPart = todo.back();
        todo.pop_back();
        if (strPart == ".")
            continue;
        if (strPart == "..") {
            strDone = strDone.substr(0, strDone.rfind('/'));
            continue;
        }
        const std::string strNext = strDone + "/" + strPart;
        struct stat link {};
        if (::lstat(strNext.c_str(), &link) != 0) {
            Fail(pstrError, strNext + ": " + ErrnoText());
            return {};
        }
        if (!S_ISLNK(link.st_mode)) {
            strDone = strNext;
            continue;
        }
        struct stat dir {};
        const bool bShared = ::stat(strDone.empty() ? "/" : strDone.c_str(), &dir) == 0 &&
                             (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
        if (bShared && link.st_uid != ::geteuid() && link.st_uid != dir.st_uid) {
            Fail(pstrError, strNext + " is a link of another user (uid " + std::to_string(link.st_uid) +
                                ") in a shared folder, which is not followed");
            return {};
        }
        std::vector<char> buf(static_cast<std::size_t>(link.st_size > 0 ? link.st_size : 255) + 1);
        const ssize_t n = ::readlink(strNext.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buf.size() || ++nHops > kMaxLinkHops) {
            Fail(pstrError, strNext + ": " + (n < 0 ? ErrnoText() : std::string(std::strerror(ELOOP))));
            return {};
        }
        const std::string strLink(buf.data(), static_cast<std::size_t>(n));
        if (strLink.front() == '/')
            strDone.clear();
        push(strLink);
    }
    return (strDone.empty() ? std::string() : strDone) + "/" + strBase;
}

bool ReplaceFile(const std::string& strPath, const std::string& strText, std::string* pstrError) {
    std::string strTarget, strReason, strDir, strBase, strTemp;
    if (!ResolveTarget(strPath, strTarget, strReason)) {
        errno = EACCES;
        return Fail(pstrError, strReason);
    }
    struct stat old {};
    const bool bHadOld = ::stat(strTarget.c_str(), &old) == 0;
    if (bHadOld && !S_ISREG(old.st_mode)) {
        errno = EINVAL;
        return Fail(pstrError, "it is not a regular file");
    }
    SplitPath(strTarget, strDir, strBase);

    const int fd = CreateTemporary(strDir, strBase, strTemp);
    if (fd < 0)
        return Fail(pstrError, ErrnoText());
    bool ok = true;
    if (bHadOld) {
        // Owner first: a change of owner may clear set-id bits that the mode then restores. Only root may give the
        // file away, so a refused owner change is expected and harmless.
        [[maybe_unused]] const int chownResult = ::fchown(fd, old.st_uid, old.st_gid);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, strText) && ::fsync(fd) == 0;
    // Named only now, whole and on disk: a kill before this point leaves nothing behind.
    if (ok && strTemp.empty())
        ok = NameTemporary(fd, strDir, strBase, strTemp);
    int nError = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        nError = errno;
    }
    if (ok && ::rename(strTemp.c_str(), strTarget.c_str()) != 0) {
        ok = false;
        nError = errno;
    }
    if (!ok) {
        if (!strTemp.empty())
            ::unlink(strTemp.c_str());
        errno = nError;
        return Fail(pstrError, std::strerror(nError));
    }
    // The directory is not synced: after a crash the rename may be undone, but then the old file is there whole,
    // and a second sync would double the time a save takes.
    return true;
}

FileStamp StampOf(const std::string& strPath) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0)
        return {};
    return {true, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

CWriteLock::~CWriteLock() {
    Unlock();
}

bool CWriteLock::Lock(const std::string& strPath, std::string* pstrError) {
    Unlock();
    std::string strTarget, strReason, strDir, strBase;
    if (!ResolveTarget(strPath, strTarget, strReason))
        return Fail(pstrError, strReason);
    SplitPath(strTarget, strDir, strBase);
    const std::string strLock = strDir + "/." + strBase + ".lock";
    // Read-only is enough for flock, so every user who may write the file can take the lock another created. No
    // link is followed, and O_NONBLOCK keeps a planted FIFO from holding the open.
    const int fd = ::open(strLock.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return Fail(pstrError, "cannot open the lock file " + strLock + ": " + ErrnoText());
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return Fail(pstrError, "the lock file " + strLock + " is not a regular file");
    }
    // Writers hold the lock for milliseconds; one that holds it for seconds is stuck or hostile (anyone who can
    // write the folder can open the file), and must not freeze a window or a scan for ever.
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    int result = 0;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && (errno == EINTR || errno == EWOULDBLOCK) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (result != 0) {
        const std::string strError = errno == EWOULDBLOCK ? std::string("another program holds it") : ErrnoText();
        ::close(fd);
        return Fail(pstrError, "cannot lock " + strLock + ": " + strError);
    }
    m_fd = fd;
    return true;
}

void CWriteLock::Unlock() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace lanwick::platform
