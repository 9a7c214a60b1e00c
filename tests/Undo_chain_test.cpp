// The undo chain over real edits: after every step the bytes a save writes are the
// picture shown, and Undo/Redo bring back exactly the pictures of earlier steps.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Edgedetection.h"
#include "ops/Hist_equal.h"
#include "ops/Pixel_commands.h"
#include "tests/test_support.h"
#include "viewer/logic/Image_edits.h"
#include "viewer/logic/Undo_chain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <sys/stat.h>

namespace {

struct Picture {
    int w = 0, h = 0;
    Bytes bgr;
    bool operator==(const Picture&) const = default;
};

Picture Shown(const TIMAGE_INFO& doc) { return {doc.display->Width(), doc.display->Height(), DisplayPixels(doc)}; }

// Writes a PPM of blue-green-red pixels.
void WritePpmFile(const std::string& path, const Picture& p)
{
    std::string s = "P6\n" + std::to_string(p.w) + " " + std::to_string(p.h) + "\n255\n";
    Bytes file(s.begin(), s.end());
    for (std::size_t i = 0; i < p.bgr.size(); i += 3)
        file.insert(file.end(), {p.bgr[i + 2], p.bgr[i + 1], p.bgr[i]});
    WriteBytes(path, file);
}

// What a save to a PPM file writes, as a picture.
Picture Saved(TIMAGE_INFO& doc, const std::string& path)
{
    Picture p;
    if (PrepareSave(doc, kSavePpm, path) != kOk || doc.Save() != kOk)
        return p;
    EXPECT_TRUE(ParsePpm(ReadBytes(path), p.w, p.h, p.bgr));
    return p;
}

Picture TwoColours(int w, int h)
{
    Picture p{w, h, Bytes(static_cast<std::size_t>(w) * h * 3)};
    for (std::size_t i = 0; i < p.bgr.size(); i += 3) {
        const bool a = (i / 3) % 3 == 0;
        p.bgr[i] = a ? 10 : 200;
        p.bgr[i + 1] = a ? 20 : 100;
        p.bgr[i + 2] = a ? 30 : 50;
    }
    return p;
}

enum Step {
    kMirror, kNegative, kNegativeArea, kSwapBrg, kGray, kGrayArea, kEqualize, kRotateLeft, kCrop, kCut, kPaste, kReduce,
    kUndo, kRedo, kSave, kSaveAs,
};

struct Script {
    const char* name;
    std::vector<Step> steps;
    bool ends_as_opened; // the picture shown at the end is the file as first read
    int edited;          // the edited flag at the end
};

class UndoChainTest : public ::testing::Test {
protected:
    TempDir dir;
    TIMAGE_INFO doc;
    UNDO_CHAIN chain;
    Picture original{12, 9, PatternPixels(12, 9)};

    void OpenOriginal()
    {
        WritePpmFile(dir.File("pic.ppm"), original);
        ASSERT_EQ(doc.Open(dir.File("pic.ppm")), kOk);
        chain.ResetChain(doc);
    }
};

} // namespace

TEST_F(UndoChainTest, EverySavedPictureIsThePictureShown)
{
    const Script scripts[] = {
        {"mirror, negative, undo twice", {kMirror, kNegative, kUndo, kUndo}, true, 0},
        {"undo then redo twice", {kMirror, kNegative, kUndo, kUndo, kRedo, kRedo}, false, 1},
        {"rotate left three times, undo", {kRotateLeft, kRotateLeft, kRotateLeft, kUndo}, false, 1},
        {"crop, undo", {kCrop, kUndo}, true, 0},
        {"cut, undo, redo", {kCut, kUndo, kRedo}, false, 1},
        {"paste, mirror, undo twice", {kPaste, kMirror, kUndo, kUndo}, true, 0},
        {"save, edit, save as", {kNegative, kSave, kMirror, kSaveAs}, false, 1},
        {"save, then reduce colours", {kNegative, kSave, kReduce}, false, 1},
        {"an edit after undo drops the redo tail", {kMirror, kUndo, kNegative, kRedo}, false, 1},
        // Recorded edits (re-applied on undo and redo) mixed with kept pixels.
        {"grey, mirror, undo and redo across both", {kGray, kMirror, kUndo, kUndo, kRedo, kRedo, kUndo}, false, 1},
        {"a three-way swap undone by its inverse", {kSwapBrg, kSwapBrg, kUndo, kUndo}, true, 0},
        {"negative of the selection, grey, back and forth", {kNegativeArea, kGray, kNegativeArea, kUndo, kUndo, kUndo, kRedo, kRedo, kRedo}, false, 1},
        {"rotate, grey, crop, all undone", {kRotateLeft, kGray, kCrop, kUndo, kUndo, kUndo}, true, 0},
        {"equalize, grey of the selection, grey, back and forth", {kEqualize, kGrayArea, kGray, kUndo, kUndo, kUndo, kRedo, kRedo, kRedo}, false, 1},
        {"grey after undo drops the redo tail", {kGray, kMirror, kUndo, kUndo, kGray, kRedo, kUndo, kRedo}, false, 1},
    };
    for (const Script& s : scripts) {
        SCOPED_TRACE(s.name);
        OpenOriginal();
        std::vector<Picture> model{Shown(doc)};
        std::size_t pos = 0;
        const Picture pasted{5, 4, PatternPixels(5, 4)};
        for (const Step step : s.steps) {
            SCOPED_TRACE(static_cast<int>(step));
            const RECT_BOUNDS sel{2, 1, 7, 5};
            Dib clip;
            int rc = kOk;
            bool edit = true;
            switch (step) {
            case kMirror: rc = RunImageCommand(doc, chain, ImageCommand::kMirror, nullptr); break;
            case kNegative: rc = RunImageCommand(doc, chain, ImageCommand::kNegative, nullptr); break;
            case kNegativeArea: rc = RunImageCommand(doc, chain, ImageCommand::kNegative, &sel); break;
            case kSwapBrg: rc = RunImageCommand(doc, chain, ImageCommand::kSwapBRG, nullptr); break;
            case kGray: rc = RunImageCommand(doc, chain, ImageCommand::kGrayScale, nullptr); break;
            case kGrayArea: rc = RunImageCommand(doc, chain, ImageCommand::kGrayScale, &sel); break;
            case kEqualize: rc = RunImageCommand(doc, chain, ImageCommand::kHistogramEqualization, nullptr); break;
            case kRotateLeft: rc = RunImageCommand(doc, chain, ImageCommand::kRotateLeft, nullptr); break;
            case kReduce: rc = RunImageCommand(doc, chain, ImageCommand::kReduceColors, nullptr); break;
            case kCrop: rc = CropPicture(doc, chain, sel); break;
            case kCut: rc = CutArea(doc, chain, sel, clip); break;
            case kPaste: {
                Dib p;
                ASSERT_EQ(p.SetSize(pasted.w, pasted.h, 24), kOk);
                for (int y = 0; y < pasted.h; ++y)
                    std::memcpy(p.ScanLine(y), pasted.bgr.data() + y * pasted.w * 3, pasted.w * 3);
                rc = PastePicture(doc, chain, p);
                EXPECT_EQ(doc.edited, 1);
                break;
            }
            case kUndo:
                edit = false;
                ASSERT_EQ(chain.Undo(doc), kOk);
                --pos;
                break;
            case kRedo:
                edit = false;
                rc = chain.Redo(doc);
                if (pos + 1 < model.size()) {
                    ASSERT_EQ(rc, kOk);
                    ++pos;
                } else {
                    EXPECT_EQ(rc, kDataError) << "nothing to redo";
                    rc = kOk;
                }
                break;
            case kSave:
                edit = false;
                ASSERT_EQ(doc.SaveCommand(), kOk);
                chain.MarkSaved(doc);
                EXPECT_EQ(doc.edited, 0);
                break;
            case kSaveAs:
                edit = false;
                EXPECT_EQ(Saved(doc, dir.File("as.ppm")), Shown(doc));
                break;
            }
            ASSERT_EQ(rc, kOk);
            if (edit) {
                model.resize(pos + 1);
                model.push_back(Shown(doc));
                ++pos;
            }
            EXPECT_EQ(Shown(doc), model[pos]);
            EXPECT_EQ(Saved(doc, dir.File("check.ppm")), Shown(doc));
            EXPECT_EQ(doc.display_width, doc.display->Width());
            EXPECT_EQ(doc.display_height, doc.display->Height());
            EXPECT_EQ(chain.CanUndo(), doc.undo_position > 0);
            EXPECT_EQ(chain.CanRedo(), doc.undo_position < doc.undo_length);
            EXPECT_EQ(static_cast<std::size_t>(doc.undo_position), pos);
            EXPECT_EQ(static_cast<std::size_t>(doc.undo_length) + 1, model.size());
        }
        EXPECT_EQ(Shown(doc) == original, s.ends_as_opened);
        EXPECT_EQ(doc.edited, s.edited);
    }
}

TEST_F(UndoChainTest, ColourReductionAfterASaveReducesThePictureShown)
{
    original = TwoColours(8, 6);
    OpenOriginal();
    ASSERT_EQ(RunImageCommand(doc, chain, ImageCommand::kNegative, nullptr), kOk);
    const Picture negative = Shown(doc);
    ASSERT_EQ(doc.SaveCommand(), kOk);
    chain.MarkSaved(doc);
    ASSERT_EQ(RunImageCommand(doc, chain, ImageCommand::kReduceColors, nullptr), kOk);
    EXPECT_EQ(Shown(doc), negative) << "two colours reduce to themselves";
}

TEST_F(UndoChainTest, SelectionsAreIntersectedWithThePicture)
{
    OpenOriginal();
    struct Case {
        RECT_BOUNDS sel;
        RECT_BOUNDS area;
    } cases[] = {
        {{2, 3, 6, 8}, {2, 3, 6, 8}},
        {{6, 8, 2, 3}, {2, 3, 6, 8}},       // corners in any order
        {{-5, -5, 4, 4}, {0, 0, 4, 4}},     // partly outside
        {{10, 7, 40, 30}, {10, 7, 12, 9}},  // past the right and bottom
        {{20, 20, 30, 30}, {12, 9, 12, 9}}, // wholly outside
        {{4, 4, 4, 8}, {4, 4, 4, 8}},       // zero width
    };
    for (const Case& c : cases) {
        const RECT_BOUNDS a = ClampArea(c.sel, 12, 9);
        EXPECT_EQ(std::vector<int>({a.left, a.top, a.right, a.bottom}),
                  std::vector<int>({c.area.left, c.area.top, c.area.right, c.area.bottom}));
    }
    // An empty area changes nothing and pushes no state; a partial one stays inside.
    const RECT_BOUNDS outside{20, 20, 30, 30}, flat{4, 4, 4, 8}, corner{-3, -3, 2, 2};
    for (const RECT_BOUNDS* sel : {&outside, &flat}) {
        for (const ImageCommand c : {ImageCommand::kNegative, ImageCommand::kEdgeDetection}) {
            EXPECT_EQ(RunImageCommand(doc, chain, c, sel), kOk);
            EXPECT_EQ(CropPicture(doc, chain, *sel), kOk);
            EXPECT_EQ(chain.Length(), 0);
            EXPECT_EQ(Shown(doc), original);
        }
        Dib clip;
        EXPECT_EQ(CutArea(doc, chain, *sel, clip), kDataError);
        EXPECT_EQ(chain.Length(), 0);
    }
    ASSERT_EQ(RunImageCommand(doc, chain, ImageCommand::kNegative, &corner), kOk);
    const Picture now = Shown(doc);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * 12 + x) * 3;
            const bool inside = x < 2 && y < 2;
            EXPECT_EQ(now.bgr[i] == 255 - original.bgr[i], inside) << x << "," << y;
        }
}

TEST_F(UndoChainTest, EdgeDetectionWorksOnTheSelectionOrTheWholePicture)
{
    // The detector's own result on the picture; its one-pixel frame keeps the picture.
    Dib src, edges;
    ASSERT_EQ(src.SetSize(12, 9, 24), kOk);
    ASSERT_EQ(edges.SetSize(12, 9, 24), kOk);
    for (int y = 0; y < 9; ++y)
        std::memcpy(src.ScanLine(y), original.bgr.data() + y * 36, 36);
    DetectEdges(src, edges);
    struct Case {
        const char* name;
        bool selected;
        RECT_BOUNDS sel;
        RECT_BOUNDS inner; // where the edges show
    } cases[] = {
        {"no selection", false, {}, {1, 1, 11, 8}},
        {"inside", true, {3, 2, 9, 7}, {3, 2, 9, 7}},
        {"over the top left corner", true, {-2, -2, 5, 5}, {1, 1, 5, 5}},
        {"over the bottom right corner", true, {8, 6, 20, 20}, {8, 6, 11, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenOriginal();
        ASSERT_EQ(RunImageCommand(doc, chain, ImageCommand::kEdgeDetection, c.selected ? &c.sel : nullptr), kOk);
        EXPECT_EQ(chain.Length(), 1);
        const Picture now = Shown(doc);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool in = x >= c.inner.left && x < c.inner.right && y >= c.inner.top && y < c.inner.bottom;
                const std::uint8_t* want = in ? edges.ScanLine(y) + x * 3 : original.bgr.data() + (y * 12 + x) * 3;
                EXPECT_EQ(std::memcmp(now.bgr.data() + (y * 12 + x) * 3, want, 3), 0) << x << "," << y;
            }
        ASSERT_EQ(chain.Undo(doc), kOk);
        EXPECT_EQ(Shown(doc), original);
    }
}

TEST_F(UndoChainTest, CutFillsWithTheFillColourAndCopiesTheArea)
{
    OpenOriginal();
    const RECT_BOUNDS sel{3, 2, 5, 3};
    Dib copied, cut;
    ASSERT_EQ(CopyArea(doc, sel, copied), kOk);
    ASSERT_EQ(CutArea(doc, chain, sel, cut), kOk);
    ASSERT_EQ(cut.Width(), 2);
    ASSERT_EQ(cut.Height(), 1);
    EXPECT_EQ(std::memcmp(cut.ScanLine(0), copied.ScanLine(0), 6), 0);
    const std::uint8_t white[6] = {255, 255, 255, 255, 255, 255};
    EXPECT_EQ(std::memcmp(doc.display->ScanLine(2) + 9, white, 6), 0);
    EXPECT_EQ(doc.edited, 1);
}

TEST_F(UndoChainTest, FailedEditsKeepThePictureAndTheChain)
{
    OpenOriginal();
    ASSERT_EQ(RunImageCommand(doc, chain, ImageCommand::kMirror, nullptr), kOk);
    const Picture before = Shown(doc);
    const std::function<int(TIMAGE_INFO&)> failures[] = {
        [](TIMAGE_INFO& d) { Negative(*d.display); return static_cast<int>(kMemoryError); },
        [](TIMAGE_INFO& d) -> int { Negative(*d.display); throw std::bad_alloc(); },
        [](TIMAGE_INFO& d) { return d.display->SetSize(3, 3, 32); }, // not a 24-bit picture
    };
    for (const auto& f : failures) {
        EXPECT_NE(chain.PushState(doc, f), kOk);
        EXPECT_EQ(Shown(doc), before);
        EXPECT_EQ(chain.Length(), 1);
        EXPECT_EQ(chain.Position(), 1);
        EXPECT_EQ(Saved(doc, dir.File("check.ppm")), before);
    }
    const UNDO_CHAIN::Make make_failures[] = {
        [](const Dib&, Dib& out) { return out.SetSize(4, 4, 24) == kOk ? static_cast<int>(kMemoryError) : 0; },
        [](const Dib&, Dib& out) -> int { (void)out.SetSize(4, 4, 24); throw std::bad_alloc(); },
        [](const Dib&, Dib& out) { return out.SetSize(3, 3, 8); }, // not a 24-bit picture
    };
    for (const auto& f : make_failures) {
        EXPECT_NE(chain.PushReplacement(doc, f), kOk);
        EXPECT_EQ(Shown(doc), before);
        EXPECT_EQ(chain.Length(), 1);
        EXPECT_EQ(chain.Snapshots(), 0) << "a mirror keeps none, a failed edit leaves none";
        EXPECT_EQ(Saved(doc, dir.File("check.ppm")), before);
    }
    ASSERT_EQ(chain.Undo(doc), kOk);
    EXPECT_EQ(Shown(doc), original);
}

// Grey over the whole picture and the equalization write into a pooled bitmap: the picture
// shown is the operation's result, and Undo gives back the picture as it was.
TEST_F(UndoChainTest, CommandsIntoAPooledBitmapGiveTheOperationsPixels)
{
    struct Case {
        const char* name;
        ImageCommand cmd;
        void (*op)(Dib&);
    } cases[] = {
        {"grey", ImageCommand::kGrayScale, [](Dib& d) { GrayScale(d); }},
        {"equalize", ImageCommand::kHistogramEqualization, [](Dib& d) { ASSERT_EQ(EqualizeHistogram(d, d), kOk); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenOriginal();
        TIMAGE_INFO reference;
        ASSERT_EQ(reference.Open(dir.File("pic.ppm")), kOk);
        c.op(*reference.display);
        for (int round = 0; round < 2; ++round) { // the second takes the block the first gave back
            ASSERT_EQ(RunImageCommand(doc, chain, c.cmd, nullptr), kOk);
            EXPECT_EQ(Shown(doc), Shown(reference));
            ASSERT_EQ(chain.Undo(doc), kOk);
            EXPECT_EQ(Shown(doc), original);
        }
    }
}

TEST_F(UndoChainTest, KeepsWithinItsBudgetDroppingTheOldestSteps)
{
    // The budget counts the picture shown and the snapshots: room for two steps that keep
    // pixels; recorded edits keep none and are never dropped for memory.
    const std::size_t one = 12 * 9 * 3;
    struct Case {
        const char* name;
        ImageCommand cmd;
        std::int32_t length;      // after six commands
        std::int32_t undos;       // that succeed after them
        std::int32_t snapshots;   // held after six commands
        int edited;               // at the first state left
    } cases[] = {
        {"grey scale keeps pixels", ImageCommand::kGrayScale, 2, 2, 2, 1},
        {"negative is recorded", ImageCommand::kNegative, 6, 6, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UNDO_CHAIN small(3 * one);
        OpenOriginal();
        small.ResetChain(doc);
        for (int i = 0; i < 6; ++i)
            ASSERT_EQ(RunImageCommand(doc, small, c.cmd, nullptr), kOk);
        EXPECT_LE(small.Bytes(), 3 * one);
        EXPECT_EQ(small.Length(), c.length);
        EXPECT_EQ(small.Snapshots(), c.snapshots);
        for (int i = 0; i < c.undos; ++i) {
            ASSERT_EQ(small.Undo(doc), kOk);
            EXPECT_LE(small.Bytes(), 3 * one) << "undo keeps within the budget";
        }
        EXPECT_EQ(small.Undo(doc), kDataError);
        EXPECT_EQ(small.Position(), 0);
        EXPECT_EQ(doc.edited, c.edited) << "1: the picture as read was dropped, nothing says it is the file";
        EXPECT_EQ(Saved(doc, dir.File("check.ppm")), Shown(doc));
        ASSERT_EQ(small.Redo(doc), kOk);
        EXPECT_EQ(Saved(doc, dir.File("check.ppm")), Shown(doc));
        small.ResetChain(doc);
        EXPECT_EQ(small.Bytes(), 0u);
        EXPECT_EQ(small.Snapshots(), 0);
    }
    UNDO_CHAIN small(3 * one);
    OpenOriginal();
    small.ResetChain(doc);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(RunImageCommand(doc, small, ImageCommand::kNegative, nullptr), kOk);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(small.Undo(doc), kOk);
    EXPECT_EQ(Shown(doc), original);
    ASSERT_EQ(RunImageCommand(doc, small, ImageCommand::kGrayScale, nullptr), kOk);
    EXPECT_EQ(small.Length(), 1) << "the redo tail is gone";
}

TEST_F(UndoChainTest, APasteWithNothingOpenIsADocumentWithoutAFile)
{
    Dib p;
    ASSERT_EQ(p.SetSize(4, 3, 24), kOk);
    std::memset(p.Bits(), 77, p.Stride() * 3);
    ASSERT_EQ(PastePicture(doc, chain, p), kOk);
    EXPECT_EQ(doc.state, kPictureOpen);
    EXPECT_TRUE(doc.current_path.empty());
    EXPECT_EQ(doc.edited, 1);
    EXPECT_FALSE(chain.CanUndo());
    EXPECT_EQ(doc.SaveCommand(), kOpenFileError) << "the caller asks for a name";
    struct stat st {};
    EXPECT_NE(stat(".bmp", &st), 0);
    const Picture saved = Saved(doc, dir.File("pasted.ppm"));
    EXPECT_EQ(saved, Shown(doc));
    EXPECT_EQ(saved.w, 4);

    Dib empty;
    EXPECT_EQ(PastePicture(doc, chain, empty), kDataError);
    EXPECT_EQ(Shown(doc), saved);
}

// A pasted picture belongs to no file: while it, or an edit after it, is shown the document
// has no path (so Save cannot write over the file it replaced); Undo back across the paste
// gives the file's path, format and depth back; a Save As makes every state the new file's.
TEST_F(UndoChainTest, APasteIsUntitledUntilUndoneOrSavedAs)
{
    OpenOriginal();
    doc.bits_per_pixel = 8; // as a grey file would report
    chain.ResetChain(doc);
    const std::string file = dir.File("pic.ppm");
    Dib p;
    ASSERT_EQ(p.SetSize(5, 4, 24), kOk);
    std::memset(p.Bits(), 9, p.Stride() * 4);

    struct Step {
        const char* name;
        std::function<int()> run;
        const char* path; // "" untitled, "file", or "as"
        int edited;
    } steps[] = {
        {"mirror", [&] { return RunImageCommand(doc, chain, ImageCommand::kMirror, nullptr); }, "file", 1},
        {"paste", [&] { return PastePicture(doc, chain, p); }, "", 1},
        {"an edit of the pasted picture",
         [&] { return RunImageCommand(doc, chain, ImageCommand::kNegative, nullptr); }, "", 1},
        {"undo the edit", [&] { return chain.Undo(doc); }, "", 1},
        {"undo the paste", [&] { return chain.Undo(doc); }, "file", 1},
        {"undo the mirror", [&] { return chain.Undo(doc); }, "file", 0},
        {"redo to the paste", [&] { chain.Redo(doc); return chain.Redo(doc); }, "", 1},
        {"save as",
         [&] {
             chain.SavedAs(doc, {dir.File("as.png"), kFmtPng, 24, kSavePng});
             return static_cast<int>(kOk);
         },
         "as", 0},
        {"undo the paste after the save as", [&] { return chain.Undo(doc); }, "as", 1},
        {"redo", [&] { return chain.Redo(doc); }, "as", 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        ASSERT_EQ(s.run(), kOk);
        const std::string kind = s.path;
        const std::string want = kind == "file" ? file : kind == "as" ? dir.File("as.png") : "";
        EXPECT_EQ(doc.current_path, want);
        EXPECT_EQ(chain.Untitled(), want.empty());
        EXPECT_EQ(doc.edited, s.edited);
        EXPECT_EQ(doc.format_code, want == file ? kFmtPpm : want.empty() ? kFmtBmp : kFmtPng);
        EXPECT_EQ(doc.bits_per_pixel, want == file ? 8 : 24);
        EXPECT_EQ(chain.File().path, kind == "as" ? dir.File("as.png") : file)
            << "the folder a name is proposed in";
    }

    // An edit after undoing back across a paste drops it: the file's picture again.
    OpenOriginal();
    ASSERT_EQ(PastePicture(doc, chain, p), kOk);
    ASSERT_EQ(chain.Undo(doc), kOk);
    ASSERT_EQ(RunImageCommand(doc, chain, ImageCommand::kMirror, nullptr), kOk);
    EXPECT_EQ(doc.current_path, file);
    EXPECT_FALSE(chain.Untitled());
    EXPECT_FALSE(chain.CanRedo());
}
