#include "cinemill/base/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {

namespace {

std::atomic<SaveStageHook> g_stage_hook{nullptr};

// False when a test's hook makes the save fail at this stage.
bool Stage(SaveStage s) {
    SaveStageHook h = g_stage_hook.load();
    return !h || h(s);
}

std::string DirOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The prefix of our temporary files for a target named `name`. A long name
// is cut so that the whole temporary name stays within NAME_MAX (255).
std::string TempPrefix(const std::string& name) { return "." + name.substr(0, 200) + ".cinemill-"; }

// "-XXXXXX" after the process id.
constexpr size_t kRandomPartLength = 7;

// Removes temporary files that earlier saves of the same target left when
// their process was killed: same prefix, and the process id in the name
// names no running process. Files of running processes (a save going on at
// the same time) are left alone.
void SweepStaleTemps(const std::string& dir, const std::string& name) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    const std::string prefix = TempPrefix(name);
    while (dirent* e = readdir(d)) {
        const std::string_view entry(e->d_name);
        if (!entry.starts_with(prefix)) continue;
        const std::string rest(entry.substr(prefix.size()));
        char* end = nullptr;
        errno = 0;
        const long pid = std::strtol(rest.c_str(), &end, 10);
        if (errno != 0 || pid <= 0 || end == rest.c_str() || *end != '-' ||
            std::strlen(end) != kRandomPartLength)
            continue;
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        unlinkat(dirfd(d), e->d_name, 0);
    }
    closedir(d);
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = EIO;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

void SyncDir(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The permission bits a new file gets: 0666 less the process's umask (read
// from /proc, because umask() itself can only be read by changing it).
unsigned NewFileMode() {
    unsigned mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "Umask:", 6) == 0) mask = static_cast<unsigned>(std::strtoul(line + 6, nullptr, 8));
        std::fclose(f);
    }
    return 0666u & ~mask;
}

// Whether the user may write the existing regular file `st` names.
bool MayWrite(const std::string& path, const struct stat& st) {
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return false;
    // The system lets root write anything; a file marked read-only by its
    // permission bits is still treated as one the user does not mean to
    // have replaced.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Makes a temporary file for `name` in `dir`; -1 (errno set) on failure.
int MakeTemp(const std::string& dir, const std::string& name, std::string& path) {
    std::string templ = dir + "/" + TempPrefix(name) + std::to_string(getpid()) + "-XXXXXX";
    const int fd = mkostemp(templ.data(), O_CLOEXEC);
    if (fd >= 0) path = templ;
    return fd;
}

// The system's folder for temporary files.
std::string SystemTempDir() {
    const char* t = std::getenv("TMPDIR");
    if (t && *t) return t;
    return "/tmp";
}

}  // namespace

void SetSaveStageHook(SaveStageHook hook) { g_stage_hook.store(hook); }

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t max_bytes) {
    out.clear();
    // Opened without blocking: opening a FIFO for reading would otherwise
    // wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= max_bytes &&
              static_cast<uint64_t>(st.st_size) <= SIZE_MAX;
    if (ok) {
        try {
            out.resize(static_cast<size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    size_t got = 0;
    while (ok && got < out.size()) {
        const ssize_t r = ::read(fd, out.data() + got, out.size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) ok = false;
        else got += static_cast<size_t>(r);
    }
    close(fd);
    if (!ok) {
        out.clear();
        out.shrink_to_fit();
    }
    return ok;
}

std::string ResolveWriteTarget(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = readlink(p.c_str(), buf.data(), buf.size() - 1);
        if (n < 0) return p;
        const std::string link(buf.data(), static_cast<size_t>(n));
        p = link.starts_with('/') ? link : DirOf(p) + "/" + link;
    }
    return {};
}

WriteProblem CheckWriteTarget(const std::string& path) {
    const std::string real = ResolveWriteTarget(path);
    if (real.empty()) return WriteProblem::NotRegular;
    struct stat st {};
    if (stat(real.c_str(), &st) != 0) return errno == ENOENT ? WriteProblem::None : WriteProblem::Failed;
    if (!S_ISREG(st.st_mode)) return WriteProblem::NotRegular;
    if (!MayWrite(real, st)) return WriteProblem::ReadOnly;
    return WriteProblem::None;
}

std::string WriteProblemText(WriteProblem problem, const std::string& path) {
    switch (problem) {
        case WriteProblem::None: return {};
        case WriteProblem::NotRegular: return FormatString(StringId::TargetNotRegular, path);
        case WriteProblem::ReadOnly: return FormatString(StringId::TargetReadOnly, path);
        case WriteProblem::Failed: return FormatString(StringId::WriteToFailed, path);
    }
    return {};
}

void TellWriteProblem(UiHost& host, WriteProblem problem, const std::string& path) {
    if (problem != WriteProblem::None) host.Error(WriteProblemText(problem, path));
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
    const int saved_errno = errno;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    errno = saved_errno;
}

WriteProblem AtomicFile::Open(const std::string& target) {
    Discard();
    failed_ = false;
    in_place_ = false;
    const WriteProblem p = CheckWriteTarget(target);
    if (p != WriteProblem::None) return p;
    target_ = ResolveWriteTarget(target);
    struct stat st {};
    const bool exists = stat(target_.c_str(), &st) == 0;
    mode_ = exists ? static_cast<unsigned>(st.st_mode & 07777) & ~static_cast<unsigned>(S_ISUID | S_ISGID)
                   : NewFileMode();
    const std::string dir = DirOf(target_);
    const std::string name = NameOf(target_);
    SweepStaleTemps(dir, name);
    fd_ = MakeTemp(dir, name, temp_);
    if (fd_ < 0 && exists && (errno == EACCES || errno == EPERM)) {
        // The folder takes no new file but the file itself may be written:
        // build the new bytes in TMPDIR and copy them over it at the end.
        fd_ = MakeTemp(SystemTempDir(), name, temp_);
        in_place_ = fd_ >= 0;
    }
    if (fd_ < 0) return WriteProblem::Failed;
    // Keep the owner and group where allowed (root may; other users keep
    // their own and, where they belong to it, the file's group).
    if (exists && !in_place_ && fchown(fd_, st.st_uid, st.st_gid) != 0 &&
        fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Not permitted: the new file is the saver's own.
    }
    if (!Stage(SaveStage::TempCreated)) {
        Discard();
        return WriteProblem::Failed;
    }
    return WriteProblem::None;
}

bool AtomicFile::Write(const void* data, size_t size) {
    if (fd_ < 0 || failed_) return false;
    if (!WriteAll(fd_, static_cast<const uint8_t*>(data), size)) failed_ = true;
    return !failed_;
}

WriteProblem AtomicFile::Commit() {
    if (fd_ < 0 || failed_ || !Stage(SaveStage::DataWritten)) {
        Discard();
        return WriteProblem::Failed;
    }
    if (in_place_) return CommitInPlace();
    bool ok = fchmod(fd_, static_cast<mode_t>(mode_)) == 0;
    ok = fsync(fd_) == 0 && ok;
    ok = close(fd_) == 0 && ok;
    fd_ = -1;
    ok = ok && Stage(SaveStage::TempSynced);
    ok = ok && std::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        Discard();
        return WriteProblem::Failed;
    }
    temp_.clear();
    Stage(SaveStage::Renamed);
    SyncDir(DirOf(target_));
    return WriteProblem::None;
}

WriteProblem AtomicFile::CommitInPlace() {
    // The new bytes are complete in the temporary file; only now is the
    // target opened and overwritten.
    bool ok = fsync(fd_) == 0 && Stage(SaveStage::TempSynced);
    struct stat st {};
    ok = ok && fstat(fd_, &st) == 0 && lseek(fd_, 0, SEEK_SET) == 0;
    const int out = ok ? ::open(target_.c_str(), O_WRONLY | O_CLOEXEC) : -1;
    ok = out >= 0;
    // Room for the new bytes first, so that a full disk stops the save
    // before the old bytes are touched (where the file system can tell).
    if (ok && st.st_size > 0 && fallocate(out, FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        ok = false;
    std::vector<uint8_t> buf(ok ? 1 << 16 : 0);
    while (ok) {
        const ssize_t r = ::read(fd_, buf.data(), buf.size());
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ok = r == 0;
            break;
        }
        ok = WriteAll(out, buf.data(), static_cast<size_t>(r));
    }
    ok = ok && ftruncate(out, st.st_size) == 0 && fsync(out) == 0;
    if (out >= 0) ok = close(out) == 0 && ok;
    Discard();
    if (!ok) return WriteProblem::Failed;
    Stage(SaveStage::Renamed);
    return WriteProblem::None;
}

WriteProblem WriteFileAtomically(const std::string& target, const void* data, size_t size) {
    AtomicFile f;
    if (const WriteProblem p = f.Open(target); p != WriteProblem::None) return p;
    if (!f.Write(data, size)) return WriteProblem::Failed;
    return f.Commit();
}

WriteProblem ReplaceFileWithCopy(const std::string& source, const std::string& target) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return WriteProblem::Failed;
    struct stat st {};
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(in);
        return WriteProblem::Failed;
    }
    AtomicFile f;
    WriteProblem p = f.Open(target);
    std::vector<uint8_t> buf(p == WriteProblem::None ? 1 << 16 : 0);
    while (p == WriteProblem::None) {
        const ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) break;
        if (r < 0 || !f.Write(buf.data(), static_cast<size_t>(r))) p = WriteProblem::Failed;
    }
    close(in);
    if (p != WriteProblem::None) return p;
    return f.Commit();
}

}  // namespace cinemill
