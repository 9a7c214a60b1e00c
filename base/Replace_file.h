// Replacing a user's file so that a failed write never costs the file it replaces.
//
// The new content goes to a temporary file in the target's directory (hidden, with the
// target's extension last so that writers looking at the name behave alike); it is synced
// and renamed over the target only when the writer succeeded, then the directory is
// synced. On failure the temporary file is removed and the target is untouched.
//
// The replacement keeps the replaced file's permission bits (and its owner and group where
// the process may set them); a new file gets 0666 less the umask. A symbolic link is
// followed: the file it points to is replaced and the link stays. A target that is not a
// regular file (a device, a pipe) is written in place, and a directory is refused. A file
// the process may not write is refused as before, even where its directory would allow
// the rename, and so is a file in a directory the process may not write (the temporary file
// has nowhere to go). Hard links to the replaced file keep the old content. A process
// killed while writing leaves its hidden temporary file behind, never a partial target.
#pragma once

#include <functional>
#include <string>

class ReplaceFile {
public:
    explicit ReplaceFile(std::string target) : target_(std::move(target)) {}
    ~ReplaceFile() { Abort(); }
    ReplaceFile(const ReplaceFile&) = delete;
    ReplaceFile& operator=(const ReplaceFile&) = delete;

    // Resolves the target and creates the empty temporary file. kOk or kOpenFileError.
    int Begin();
    // Where the writer writes: the temporary file (or the target itself, written in place).
    const std::string& WritePath() const { return write_path_; }
    // Syncs the written file, gives it the old file's permissions and renames it over the
    // target. kOk or kOpenFileError.
    int Commit();
    // Removes the temporary file unless it was committed.
    void Abort();
    // The system's error number behind the last failure, or 0.
    int Error() const { return error_; }

private:
    std::string target_;
    std::string final_path_; // the target with symbolic links followed
    std::string write_path_;
    bool in_place_ = false;
    bool existed_ = false;
    bool pending_ = false; // a temporary file exists and is ours to remove
    unsigned mode_ = 0;
    unsigned uid_ = 0, gid_ = 0;
    int error_ = 0;
};

// Writes target through write(path), which gets the path to write and returns a result
// code, so that the target is replaced only when write succeeds. Returns write's code or
// kOpenFileError; *sys_error (when given) gets the system's error number behind a
// failure, or 0. A writer's own failure is explained by the error it noted with
// NoteWriteError where the failing call returned (errno is not read afterwards: what the
// writer ran on its way out may have changed it); one that noted none gives 0.
int ReplaceFileWith(const std::string& target, const std::function<int(const std::string&)>& write,
                    int* sys_error = nullptr);

// Called by a writer right where a system call writing its file failed: the error number
// ReplaceFileWith reports for the write under way on this thread. The first one noted
// counts; without a ReplaceFileWith under way it is dropped. core/File_io's stream and
// FinishWrite note theirs.
void NoteWriteError(int sys_error);

// The result text with the system's reason: "Open File Error. (No space left on device)";
// the result text alone when sys_error is 0.
std::string ResultTextWithReason(int code, int sys_error);
