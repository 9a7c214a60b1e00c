// Keeping edits: the file the picture shown belongs to, what Save does with it, the name
// proposed for a picture no file holds, and what leaving an edited picture does with the
// user's answer. Nothing here writes: the window carries out the plans.
//
// A picture pasted, scanned or captured is one no file holds ("untitled"): Save asks for a
// name, proposing one in the folder of the picture it replaced, and never writes over that
// picture's file. After a Save As the document is the file written: Save writes there, in
// the type chosen.
#pragma once

#include "core/Imageinfo.h"
#include "dialogs/logic/Browse.h" // HoldsUnsavedEdits

#include <cstdint>
#include <functional>
#include <string>

// The file a picture belongs to.
struct DOC_FILE {
    std::string path; // "": no file holds the picture
    std::int32_t format_code = kFmtBmp;
    std::int32_t bits_per_pixel = 24;
    std::int32_t save_code = 0; // the type a Save As wrote it in; 0: its own format
};

// The document's file as opened: its path, format and depth.
DOC_FILE FileOf(const TIMAGE_INFO& doc);

// The save code that writes a format back in kind (BMP, TGA, PCX, JPEG, GIF, PNG, PPM,
// PGM), or 0: Save does not write other formats over their files.
std::int32_t SaveCodeOfFormat(std::int32_t format_code);
// The format code of the files a save code writes (kFmtBmp for an unknown code).
std::int32_t FormatOfSaveCode(std::int32_t save_code);

struct SAVE_PLAN {
    // Save runs Save As: no file holds the picture, or Save does not write its format.
    bool ask_name = false;
    std::int32_t save_code = 0;
    std::string path; // the document's own file, whatever case its extension is written in
};
// What Save does with the document shown (file: the chain's file, for the type of the
// last Save As).
SAVE_PLAN PlanSave(const TIMAGE_INFO& doc, const DOC_FILE& file);

// The name a Save As proposes for a picture no file holds: "Untitled.png" in folder, or
// the first of "Untitled 2.png", "Untitled 3.png", ... that taken() says no file has.
std::string ProposedSavePath(const std::string& folder, const std::function<bool(const std::string&)>& taken);

// The answers to "Save the changes ...?" before an edited picture is left. Cancel is the
// default: it loses nothing and writes nothing.
enum class LeaveAnswer : std::uint8_t { kSave, kSaveAs, kDiscard, kCancel };
inline constexpr LeaveAnswer kDefaultLeaveAnswer = LeaveAnswer::kCancel;

enum class LeaveStep : std::uint8_t {
    kGo,           // nothing is lost: leave
    kAsk,          // ask the question first
    kSaveThenGo,   // Save (Save As when the plan asks a name); a failed or cancelled save stays
    kSaveAsThenGo, // Save As; a failed or cancelled save stays
    kStay,         // keep the picture and its edits
};
// Leaving the picture shown: go, or ask.
LeaveStep PlanLeave(const TIMAGE_INFO& doc);
// What the answer asks for.
LeaveStep PlanLeave(LeaveAnswer answer);

// The question: "Save the changes to name?" or, for a picture no file holds, "Save the
// untitled picture?".
std::string LeaveQuestion(const TIMAGE_INFO& doc);
