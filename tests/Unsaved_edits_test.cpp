// Keeping edits: what Save writes (and where), the name proposed for a picture no file
// holds, and what leaving an edited picture does with each answer.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "tests/test_support.h"
#include "viewer/logic/Unsaved_edits.h"

#include <gtest/gtest.h>

#include <set>

TEST(UnsavedEdits, SaveWritesTheDocumentsOwnFileOrAsksForAName)
{
    const struct {
        const char* name;
        const char* path;
        std::int32_t format;
        DOC_FILE file;
        bool ask;
        std::int32_t code;
    } cases[] = {
        {"JPEG back in kind", "/p/photo.jpg", kFmtJpeg, {"/p/photo.jpg", kFmtJpeg, 24, 0}, false, kSaveJpeg},
        // The file opened, not a twin with another case or spelling of its extension.
        {"capital extension", "/p/PHOTO.JPG", kFmtJpeg, {"/p/PHOTO.JPG", kFmtJpeg, 24, 0}, false, kSaveJpeg},
        {"sniffed name", "/p/scan.dat", kFmtPng, {"/p/scan.dat", kFmtPng, 24, 0}, false, kSavePng},
        {"a picture no file holds", "", kFmtBmp, {"/p/photo.jpg", kFmtJpeg, 24, 0}, true, 0},
        {"a format Save does not write over its file", "/p/a.tif", kFmtTiff, {"/p/a.tif", kFmtTiff, 24, 0}, true,
         0},
        {"after Save As: the type written", "/q/r.tif", kFmtTiff, {"/q/r.tif", kFmtTiff, 24, kSaveTiff}, false,
         kSaveTiff},
        {"a Save As type of another file", "/q/s.ppm", kFmtPpm, {"/q/r.tif", kFmtTiff, 24, kSaveTiff}, false,
         kSavePpm},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TIMAGE_INFO doc;
        doc.state = kPictureOpen;
        doc.current_path = c.path;
        doc.format_code = c.format;
        const SAVE_PLAN plan = PlanSave(doc, c.file);
        EXPECT_EQ(plan.ask_name, c.ask);
        EXPECT_EQ(plan.save_code, c.code);
        EXPECT_EQ(plan.path, c.ask ? std::string() : std::string(c.path));
    }
}

// The format a Save As records for its file is the one the file opens as, so Save, Info
// and the title agree with what is on disk.
TEST(UnsavedEdits, FormatOfASavedFileIsTheOneItOpensAs)
{
    TempDir dir;
    TIMAGE_INFO doc;
    Bytes file = ToBytes("P6 6 4 255\n");
    const Bytes pixels = PatternPixels(6, 4);
    file.insert(file.end(), pixels.begin(), pixels.end());
    WriteBytes(dir.File("src.ppm"), file);
    ASSERT_EQ(doc.Open(dir.File("src.ppm")), kOk);
    std::set<std::int32_t> formats;
    for (std::int32_t code = kSaveBmp; code <= kSaveJxl; ++code) {
        SCOPED_TRACE(code);
        const std::string path = dir.File("out" + std::to_string(code) + SaveExtension(code));
        ASSERT_EQ(PrepareSave(doc, code, path), kOk);
        ASSERT_EQ(doc.Save(), kOk);
        formats.insert(FormatOfSaveCode(code));
        TIMAGE_INFO back;
        if (code == kSaveDcx) {
            EXPECT_EQ(FormatOfSaveCode(code), kFmtDcx) << "the viewer does not open DCX files";
            continue;
        }
        ASSERT_EQ(back.Open(path), kOk);
        EXPECT_EQ(back.format_code, FormatOfSaveCode(code));
        const std::int32_t again = SaveCodeOfFormat(back.format_code);
        EXPECT_TRUE(again == 0 || again == code) << "Save writes a file back in its own type";
    }
    EXPECT_EQ(formats.size(), static_cast<std::size_t>(kSaveJxl)) << "every save code writes a format of its own";
}

TEST(UnsavedEdits, ProposedNameIsFreeInTheFolder)
{
    std::set<std::string> taken;
    const auto exists = [&](const std::string& p) { return taken.count(p) != 0; };
    EXPECT_EQ(ProposedSavePath("/d", exists), "/d/Untitled.png");
    EXPECT_EQ(ProposedSavePath("/", exists), "/Untitled.png");
    taken = {"/d/Untitled.png", "/d/Untitled 2.png"};
    EXPECT_EQ(ProposedSavePath("/d", exists), "/d/Untitled 3.png");
    EXPECT_EQ(ProposedSavePath("/d/", exists), "/d/Untitled 3.png");
}

TEST(UnsavedEdits, LeavingAsksOnlyForUnsavedEditsAndEachAnswerDoesWhatItSays)
{
    const struct {
        const char* name;
        std::uint8_t state, edited;
        LeaveStep step;
    } docs[] = {
        {"nothing open", kNothingOpen, 0, LeaveStep::kGo},
        {"a picture as read or saved", kPictureOpen, 0, LeaveStep::kGo},
        {"an edited picture", kPictureOpen, 1, LeaveStep::kAsk},
        {"a media file", kMediaOpen, 1, LeaveStep::kGo},
    };
    for (const auto& d : docs) {
        SCOPED_TRACE(d.name);
        TIMAGE_INFO doc;
        doc.state = d.state;
        doc.edited = d.edited;
        EXPECT_EQ(PlanLeave(doc), d.step);
        EXPECT_EQ(HoldsUnsavedEdits(doc), d.step == LeaveStep::kAsk);
    }
    EXPECT_EQ(PlanLeave(LeaveAnswer::kSave), LeaveStep::kSaveThenGo);
    EXPECT_EQ(PlanLeave(LeaveAnswer::kSaveAs), LeaveStep::kSaveAsThenGo);
    EXPECT_EQ(PlanLeave(LeaveAnswer::kDiscard), LeaveStep::kGo);
    EXPECT_EQ(PlanLeave(LeaveAnswer::kCancel), LeaveStep::kStay);
    EXPECT_EQ(PlanLeave(kDefaultLeaveAnswer), LeaveStep::kStay) << "the default loses and writes nothing";

    TIMAGE_INFO doc;
    doc.current_path = "/p/photo.jpg";
    EXPECT_EQ(LeaveQuestion(doc), "Save the changes to photo.jpg?");
    doc.current_path.clear();
    EXPECT_EQ(LeaveQuestion(doc), "Save the untitled picture?");
}
