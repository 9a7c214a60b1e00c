#include "viewer/logic/Unsaved_edits.h"

#include "viewer/logic/Window_rules.h"

namespace {

struct FORMAT_SAVE {
    std::int32_t format_code;
    std::int32_t save_code;
};

// Save writes these formats back in kind.
constexpr FORMAT_SAVE kWrittenBack[] = {
    {kFmtBmp, kSaveBmp}, {kFmtTga, kSaveTga}, {kFmtPcx, kSavePcx}, {kFmtJpeg, kSaveJpeg},
    {kFmtGif, kSaveGif}, {kFmtPng, kSavePng}, {kFmtPpm, kSavePpm}, {kFmtPgm, kSavePgm},
};

// The files each save code writes.
constexpr FORMAT_SAVE kWritten[] = {
    {kFmtBmp, kSaveBmp},         {kFmtDcx, kSaveDcx}, {kFmtGif, kSaveGif}, {kFmtJpeg, kSaveJpeg},
    {kFmtGimpPattern, kSavePat}, {kFmtPcx, kSavePcx}, {kFmtPng, kSavePng}, {kFmtPgm, kSavePgm},
    {kFmtPpm, kSavePpm},         {kFmtSun, kSaveSun}, {kFmtTga, kSaveTga}, {kFmtTiff, kSaveTiff},
    {kFmtXwd, kSaveXwd},         {kFmtWebp, kSaveWebp}, {kFmtAvif, kSaveAvif}, {kFmtJxl, kSaveJxl},
};

constexpr char kUntitled[] = "Untitled";
constexpr char kProposedExtension[] = ".png"; // lossless, and every viewer reads it

} // namespace

DOC_FILE FileOf(const TIMAGE_INFO& doc) { return {doc.current_path, doc.format_code, doc.bits_per_pixel, 0}; }

std::int32_t SaveCodeOfFormat(std::int32_t format_code)
{
    for (const FORMAT_SAVE& f : kWrittenBack)
        if (f.format_code == format_code)
            return f.save_code;
    return 0;
}

std::int32_t FormatOfSaveCode(std::int32_t save_code)
{
    for (const FORMAT_SAVE& f : kWritten)
        if (f.save_code == save_code)
            return f.format_code;
    return kFmtBmp;
}

SAVE_PLAN PlanSave(const TIMAGE_INFO& doc, const DOC_FILE& file)
{
    SAVE_PLAN plan;
    if (doc.state != kPictureOpen || doc.current_path.empty()) {
        plan.ask_name = true;
        return plan;
    }
    plan.save_code = file.save_code != 0 && file.path == doc.current_path ? file.save_code
                                                                          : SaveCodeOfFormat(doc.format_code);
    plan.ask_name = plan.save_code == 0;
    if (!plan.ask_name)
        plan.path = doc.current_path;
    return plan;
}

std::string ProposedSavePath(const std::string& folder, const std::function<bool(const std::string&)>& taken)
{
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    std::string path = base + kUntitled + kProposedExtension;
    for (int n = 2; taken(path) && n < 10000; ++n)
        path = base + kUntitled + " " + std::to_string(n) + kProposedExtension;
    return path;
}

LeaveStep PlanLeave(const TIMAGE_INFO& doc) { return HoldsUnsavedEdits(doc) ? LeaveStep::kAsk : LeaveStep::kGo; }

LeaveStep PlanLeave(LeaveAnswer answer)
{
    switch (answer) {
    case LeaveAnswer::kSave: return LeaveStep::kSaveThenGo;
    case LeaveAnswer::kSaveAs: return LeaveStep::kSaveAsThenGo;
    case LeaveAnswer::kDiscard: return LeaveStep::kGo;
    case LeaveAnswer::kCancel: break;
    }
    return LeaveStep::kStay;
}

std::string LeaveQuestion(const TIMAGE_INFO& doc)
{
    if (doc.current_path.empty())
        return "Save the untitled picture?";
    return "Save the changes to " + FileNameOf(doc.current_path) + "?";
}
