// The image document: which file is shown, its decoder context, the display bitmap, the
// picture's facts, the browsable files of its directory and the undo counters.
#pragma once

#include "dec_enc/Codec_ctx.h"
#include "base/File_io.h"
#include "platform/Dib.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Format codes of the open file.
enum FormatCode : std::int32_t {
    kFmtBmp = 0, kFmtTga = 1, kFmtPcx = 2, kFmtJpeg = 3, kFmtGif = 4, kFmtPng = 5, kFmtPpm = 6,
    kFmtPgm = 7, kFmtDcx = 8, kFmtPict = 9, kFmtPcd = 10, kFmtSgi = 11, kFmtUtahRle = 12, kFmtLbm = 13,
    kFmtCorel = 14, kFmtSct = 15, kFmtQrt = 16, kFmtPixar = 17, kFmtPsp = 18, kFmtMacPaint = 19,
    kFmtPbm = 20, kFmtMsp = 21, kFmtXwd = 22, kFmtXpm = 23, kFmtXbm = 29, kFmtTiff = 31, kFmtWmf = 37,
    kFmtEmf = 38, kFmtNokia = 46, kFmtGimpPattern = 47, kFmtFits = 50, kFmtSun = 51, kFmtMtv = 52,
    kFmtVicar = 53, kFmtDicom = 54, kFmtFbm = 55, kFmtWebp = 56, kFmtAvif = 57, kFmtHeif = 58, kFmtJxl = 59,
    kFmtApng = 60,
    kFmtAu = 105, kFmtAiff = 106, kFmtAvi = 107, kFmtMpeg = 108, kFmtMp3 = 109, kFmtSnd = 110,
    kFmtWma = 111, kFmtWmv = 112, kFmtCdaMidi = 113, kFmtWav = 114,
};

// Save codes: the output format of the next save.
enum SaveCode : std::int32_t {
    kSaveBmp = 1, kSaveDcx = 2, kSaveGif = 3, kSaveJpeg = 4, kSavePat = 5, kSavePcx = 6, kSavePng = 7,
    kSavePgm = 8, kSavePpm = 9, kSaveSun = 10, kSaveTga = 11, kSaveTiff = 12, kSaveXwd = 13,
    kSaveWebp = 14, kSaveAvif = 15, kSaveJxl = 16,
};

// The name of a format code ("Windows bitmap", "JPEG", ...); "" for unknown codes.
const char* FormatName(std::int32_t format_code);
// Save code of an output extension such as ".png" (any case), or 0.
std::int32_t SaveCodeForExtension(const std::string& ext);
// The extension a save code writes (".bmp" ...), or "".
const char* SaveExtension(std::int32_t save_code);
// The format's name for a save code ("PNG", "Sun raster", ...).
const char* SaveFormatName(std::int32_t save_code);
// True for the extensions ".mp3", ".wav", ".avi", ... (any case) that open as media files.
bool IsMediaExtension(const std::string& ext);
// The directory part of a path ("" when it has none; "/" for a file in the root).
std::string DirectoryOf(const std::string& path);

enum DocState : std::uint8_t { kNothingOpen = 0, kPictureOpen = 1, kMediaOpen = 2 };

class TIMAGE_INFO {
public:
    TIMAGE_INFO();
    virtual ~TIMAGE_INFO();
    TIMAGE_INFO(const TIMAGE_INFO&) = delete;
    TIMAGE_INFO& operator=(const TIMAGE_INFO&) = delete;

    const char* GetName() const { return product_name; }
    double GetVersion() const { return version; }

    // Rebuilds the sorted list of browsable files of directory (absolute, so the entries
    // are) and makes it the browse directory; with_media lists the sound and video files
    // among the pictures (the viewer browses them too). False when the directory cannot be
    // read; the list is then left as it was.
    bool BuildFileList(const std::string& directory, bool with_media = false);
    // Stores and returns the index of the current path in the list, or -1.
    std::int32_t FindCurrent();
    // The list entry at index, or null past the end.
    const char* GetListEntry(std::int32_t index) const;
    // Opens the entry through Open; 0 on success, -1 on any failure.
    std::int32_t OpenListEntry(std::int32_t index);
    // Removes the entry equal to the current path.
    void DropCurrentFromList();
    // File size and last-write time of the current path; unchanged when it is gone.
    void ReadFileFacts();
    // Distinct colours of the display bitmap, or -1.
    std::int32_t CountColors();

    // The open dispatcher: opens current_path.
    std::int32_t Open();
    // Sets current_path and opens it.
    std::int32_t Open(const std::string& path);
    // What Open does once the file is loaded: decodes bytes as a file called name (its
    // extension picks the reader) without touching the file system or current_path.
    std::int32_t OpenBytes(const std::string& name, std::span<const std::uint8_t> bytes);
    // Takes over what an open of opened (a document of its own, so a failure there touched
    // nothing here) set: the context and the display bitmap trade places with opened's, and
    // the path, format, depth, sizes, state, picture facts, file facts and load time are
    // copied. The context's writer settings (quality, lossless, speed) stay this
    // document's; the edited flag clears and the list position follows the path. opened is
    // left holding this document's former picture, ready to be opened into again.
    void AdoptOpened(TIMAGE_INFO& opened);
    // The save dispatcher: writes the context with the writer of save_code.
    std::int32_t Save();
    // The Save command: writes the open picture back beside its file in its own format.
    // Returns the save's result, or kFormatNotSupported when the format is not saved by it.
    std::int32_t SaveCommand();

    std::unique_ptr<CODEC_CTX> context;
    CODEC_CTX* current_state = nullptr;
    std::uint8_t edited = 0;
    const char* product_name = "Ravelscope";
    double version = 1.07;
    std::unique_ptr<Dib> display; // null while a media file is open
    Dib result_bitmap;            // filled by the effect dialogs with their confirmed result
    std::int32_t display_width = 0;
    std::int32_t display_height = 0;
    std::uint8_t direct_decode = 0;
    std::uint8_t* current_row = nullptr;
    std::int32_t bits_per_pixel = 0;
    std::int32_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    std::uint8_t state = kNothingOpen;
    std::int64_t file_size = 0;
    double file_size_kb = 0.0;
    std::string current_path;
    std::int32_t format_code = 0;
    // What the open picture's file says beside its pixels, from the reader (0, false or -1
    // where it does not say): the samples' depth as stored, alpha, the frames of an
    // animation with their delays added up and how often it plays (0 forever), and the
    // size of its ICC profile.
    struct PICTURE_FACTS {
        std::int32_t bits_per_sample = 0;
        bool alpha = false;
        std::int32_t frame_count = 0;
        std::int64_t duration_ms = 0;
        std::int32_t loop_count = -1;
        std::size_t icc_bytes = 0;
    } facts;
    std::int32_t orientation = 0; // Exif orientation of the open JPEG (1..8), 0 without one
    std::int32_t save_code = 0;
    // The quality of the JPEG, WebP, AVIF and JPEG XL files a save writes, 1 to 100: the
    // save dialog's setting, kept in the settings file ("SaveFileDlg" "Quality"); PrepareSave hands it on.
    std::int32_t save_quality = 90;
    // The system's error number behind the last failed Save (ENOSPC, EACCES ...), or 0;
    // ResultTextWithReason (base/Replace_file.h) words it.
    std::int32_t last_save_errno = 0;
    std::string open_directory;   // the directory part of the path last opened
    std::string browse_directory; // the directory the file list was built for
    std::string batch_output_directory;
    std::uint8_t picture_present = 0;
    std::uint8_t rotation_dialog_flag = 0;
    std::uint8_t load_timing = 1;
    std::int32_t last_load_time = 0;
    std::uint8_t dialog_accepted = 0;
    double rotation_angle = 0.0;
    std::uint32_t fill_colour = 0xFFFFFF;
    std::uint32_t fullscreen_background = 0xFFFFFF;
    std::int32_t effect_parameter = 0;
    std::uint8_t rotation_options[3] = {};
    std::vector<std::string> file_list;
    std::int32_t current_index = -1;
    std::int32_t undo_length = 0;
    std::int32_t undo_position = 0;

private:
    // The open from the extension on: media, reader lookup, the bytes (name's file loaded
    // into the context first when load is set), decoding and the display bitmap.
    std::int32_t OpenStep(const std::string& name, std::span<const std::uint8_t> bytes, bool load);
};

// Fills the context for a save with the given code, as the save dialog's "OK" does:
// output name, size from the display, output depth, TGA flags, the document's quality for
// the lossy writers. Sets the save code. No copy of the picture is made: the writers read
// the display bitmap's rows as they are (CODEC_CTX::SourceRow), the PCX, DCX and PNG
// writers converting one row at a time.
// Returns kOk, or a code when the display bitmap cannot be turned to 24 bits.
std::int32_t PrepareSave(TIMAGE_INFO& doc, std::int32_t save_code, const std::string& output_path);

// True when the writer of a save code takes its pixels from the display bitmap alone (after
// PrepareSave), so an open with the direct-decode flag gives it everything it needs.
bool SaveReadsDisplay(std::int32_t save_code);

// The program-wide load timer, in milliseconds.
void StartLoadTimer();
std::int32_t StopLoadTimer();
