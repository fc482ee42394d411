#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cinemill {

class UiHost;

// Reading and replacing whole files, for every reader and writer of both
// programs.
//
// A save never leaves a user's file half-written: the bytes go to a
// temporary file beside the target (".NAME.cinemill-PID-XXXXXX", made with
// mkstemp), which is synced, given the target's permission bits and renamed
// over the target; the folder is synced after the rename. Every failure
// removes the temporary file. A target that is a symbolic link is written
// through to the file it names (the link stays a link); a target that exists
// and is not a regular file (a device, a FIFO, a folder), or that the user
// may not write, is refused and left alone.
//
// Only when the target's folder cannot take a new file (no write permission
// there) but the target itself may be written, the temporary file is made in
// TMPDIR instead; once it is complete and synced, its bytes are copied over
// the target in place (room for them is reserved first). The system's
// temporary folder is not used otherwise, so a read-only or full TMPDIR does
// not stop a save into a writable folder.
//
// A process killed during a save can leave its temporary file beside the
// target (nothing removes a file when a process is killed with SIGKILL); the
// target itself is then the old or the new file, whole. The next save of the
// same target removes such leftovers: files of the same name pattern whose
// process id names no running process.

// ---- reading ----------------------------------------------------------------

// Reads a whole regular file into memory. False when it cannot be read, is
// not a regular file (a FIFO is not waited on), or is larger than
// `max_bytes`.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t max_bytes = UINT64_MAX);

// ---- replacing --------------------------------------------------------------

enum class WriteProblem {
    None,
    NotRegular,  // the target exists and is not a regular file
    ReadOnly,    // the target exists and the user may not write it
    Failed,      // making, writing, syncing or renaming the temporary file failed
};

// The file a write to `path` really changes: symbolic links followed to the
// file they name (which need not exist yet). Empty when the links loop.
std::string ResolveWriteTarget(const std::string& path);

// Whether `path` may be replaced: None when it does not exist or is a
// regular file the user may write (after following links). A file without
// any write permission bit counts as read-only even for a user (root) whom
// the system would let write it.
WriteProblem CheckWriteTarget(const std::string& path);

// Why `path` was not written, as a message ("'...' is not a regular file,
// so it was not replaced.", "... is read-only ...", "Unable to write to
// ..."); empty for None.
std::string WriteProblemText(WriteProblem problem, const std::string& path);
// The same, told to the user as an error.
void TellWriteProblem(UiHost& host, WriteProblem problem, const std::string& path);

// Replaces (or creates) `target` with the bytes. The target is unchanged
// unless the answer is None.
WriteProblem WriteFileAtomically(const std::string& target, const void* data, size_t size);
inline WriteProblem WriteFileAtomically(const std::string& target, std::string_view bytes) {
    return WriteFileAtomically(target, bytes.data(), bytes.size());
}

// Replaces (or creates) `target` with a copy of `source`'s bytes (`source`
// must be a regular file).
WriteProblem ReplaceFileWithCopy(const std::string& source, const std::string& target);

// A file being written in place of a target: the bytes go to the temporary
// file; Commit() puts it in place. Destroyed without a commit, it removes
// the temporary file and the target stays as it was.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    // Checks the target and makes the temporary file.
    WriteProblem Open(const std::string& target);
    // Appends bytes to the temporary file; false once any write failed.
    bool Write(const void* data, size_t size);
    // Syncs, renames over the target, syncs the folder. The temporary file
    // is gone afterwards whatever the answer.
    WriteProblem Commit();
    // Removes the temporary file (also done by the destructor).
    void Discard();

    // The temporary file, for writers (an encoder library) that open the
    // file by name themselves; empty when not open.
    const std::string& TempPath() const { return temp_; }
    // The file that Commit replaces (links resolved).
    const std::string& Target() const { return target_; }

private:
    WriteProblem CommitInPlace();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool failed_ = false;
    bool in_place_ = false;  // the temporary file is in TMPDIR: copy, do not rename
    unsigned mode_ = 0;
};

// The stages of a save, for tests that stop or fail a save in the middle.
enum class SaveStage {
    TempCreated,  // the temporary file exists, empty
    DataWritten,  // all bytes handed to the temporary file
    TempSynced,   // the temporary file is on disk and closed
    Renamed,      // the target is the new file; the folder is not yet synced
};
// Called at each stage; answering false makes the save fail there (as a
// fault of the disk would; at Renamed, where the target is already the new
// file, the answer is not used), true lets it go on.
using SaveStageHook = bool (*)(SaveStage);
// Installs the hook (nullptr removes it).
void SetSaveStageHook(SaveStageHook hook);

}  // namespace cinemill
