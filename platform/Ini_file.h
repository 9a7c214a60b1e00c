// The settings file object: an INI file of sections in square brackets and key=value
// lines.
//
// Writes are kept in memory, for the whole process and by path, and reach the file in one
// atomic replacement (base/Replace_file) when Flush() is called: the viewer flushes once,
// when its window has closed, instead of replacing the file at every key. Every IniFile
// of the same path sees the writes kept: a read is the file as it is on disk with the
// kept changes applied in their order, and so is the flush, so keys another process wrote
// meanwhile survive. The first-start text (WriteRaw) is the exception: it creates the
// file at once.
//
// Sections and keys match in any case; the first section of a name and the first key of
// a name in it count. Values are trimmed of surrounding blanks, and one pair of matching
// quotes around a value is removed. Lines that are neither a section, a key nor a comment
// (such as the first-start line with its NUL byte) are kept byte for byte and ignored. A
// write keeps every other byte of the file as it was and replaces the file in one rename,
// so a failed write leaves the old file whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The reading and editing of the file's bytes, which IniFile applies between one load and one
// store. Names are matched trimmed and in any case.
namespace ini_bytes {
// The value of the first key of the name in the first section of the name.
std::optional<std::string> Read(const std::string& bytes, const std::string& section, const std::string& key);
bool HasSection(const std::string& bytes, const std::string& section);
// Sets the key, replacing the text of its line or adding a line (and the section at the end
// when it is missing). False, with the bytes untouched, for what the file cannot hold: a
// line break or NUL byte in any of the three, an empty key, a key with '=' or starting with
// ';' or '[', a section with ']'.
bool Write(std::string& bytes, const std::string& section, const std::string& key, const std::string& value);
// Remove the key's line, or the section from its header up to the next section; false when
// there was nothing to remove.
bool DeleteKey(std::string& bytes, const std::string& section, const std::string& key);
bool EraseSection(std::string& bytes, const std::string& section);
} // namespace ini_bytes

class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& FileName() const { return path_; }
    bool Exists() const;

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // The value as a decimal number (or 0x hexadecimal); def when it is missing or not a number.
    std::int32_t ReadInteger(const std::string& section, const std::string& key, std::int32_t def) const;
    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Kept until the next Flush(). False when the names or value cannot be stored (see
    // ini_bytes::Write); DeleteKey and EraseSection are false when there is nothing to remove.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool EraseSection(const std::string& section);
    // Replaces the whole file by these bytes (the first-start text), at once and with what
    // was kept before; false when the file could not be written.
    bool WriteRaw(const std::string& bytes);

    // Writes the kept changes in one replacement of the file. kOk (also when nothing was
    // kept or nothing changed) or kOpenFileError with *reason ("Permission denied", or why
    // there is no place for the file); the changes stay kept after a failure.
    int Flush(std::string* reason = nullptr);
    // Whether changes are kept that no flush has written yet.
    bool HasUnsaved() const;

private:
    std::string path_;
};

// The directory of the running executable, or "" when it cannot be told.
std::string ExecutableDirectory();

// Settings at path live in memory only: nothing is read from or written to the file, and a
// flush fails with reason. For a run without a place for its settings (no home folder).
void KeepSettingsInMemory(const std::string& path, const std::string& reason);

// The message for settings that could not be written: "Settings not saved: <path> (<reason>)".
std::string SettingsNotSavedText(const std::string& path, const std::string& reason);

// Where the settings file lives: $RAVELSCOPE_SETTINGS_DIR when set; else the executable's
// directory when it is writable (a portable build); else the user's configuration
// directory (platform/Xdg_dirs) + "/ravelscope", created when missing. "" with *refusal set
// when there is none of these.
std::string SettingsDirectory(const std::string& exe_dir, std::string* refusal = nullptr);
