#include "viewer/logic/Window_rules.h"

#include <gtest/gtest.h>

TEST(WindowTexts, TitleAndKeyTitle)
{
    TIMAGE_INFO doc;
    EXPECT_EQ(TitleText(doc), "Ravelscope -- ");
    doc.current_path = "/home/me/pics/name.jpg";
    EXPECT_EQ(TitleText(doc), "Ravelscope -- name.jpg");
    doc.edited = 1;
    EXPECT_EQ(TitleText(doc), "Ravelscope -- *name.jpg");
    doc.state = kPictureOpen;
    doc.current_path.clear(); // a pasted picture
    EXPECT_EQ(TitleText(doc), "Ravelscope -- *Untitled");

    doc.context->input_file_name = "/d/b.ppm";
    doc.file_list = {"/d/a.ppm", "/d/b.ppm"};
    doc.current_index = 1;
    EXPECT_EQ(KeyTitleText(doc, 7), "/d/b.ppm -- 2 / 2 -- 7");

    EXPECT_EQ(FileNameOf("/a/b/c.ppm"), "c.ppm");
    EXPECT_EQ(FileNameOf("c.ppm"), "c.ppm");
    EXPECT_EQ(DirectoryOf("/a/b/c.ppm"), "/a/b");
    EXPECT_EQ(DirectoryOf("/c.ppm"), "/");
    EXPECT_EQ(DirectoryOf("c.ppm"), "");
}

TEST(WindowTexts, StatusPanels)
{
    const struct {
        const char* name;
        int w, h, bpp;
        std::int64_t bytes;
        const char* panel0;
        const char* panel1;
        bool widen;
    } cases[] = {
        {"24-bit 1200 x 1000", 1200, 1000, 24, 2048, "1200 x 1000 x 24 BPP", "2.00 KB", true},
        {"3 MiB", 640, 480, 8, 3 << 20, "640 x 480 x 8 BPP", "3.00 MB", false},
        {"exactly 1 MiB stays KB", 1000, 2000, 24, 1 << 20, "1000 x 2000 x 24 BPP", "1024.00 KB", true},
        {"999 wide", 999, 2000, 1, 100, "999 x 2000 x 1 BPP", "0.10 KB", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TIMAGE_INFO doc;
        doc.state = kPictureOpen;
        doc.display_width = c.w;
        doc.display_height = c.h;
        doc.bits_per_pixel = c.bpp;
        doc.file_size = c.bytes;
        doc.file_size_kb = static_cast<double>(c.bytes) / 1024.0;
        doc.month = 1, doc.day = 16, doc.year = 2006, doc.hour = 3, doc.minute = 29, doc.second = 22;
        doc.current_path = "/p/x.ppm";
        const STATUS_TEXTS t = StatusTexts(doc);
        EXPECT_EQ(t.panel[0], c.panel0);
        EXPECT_EQ(t.panel[1], c.panel1);
        EXPECT_EQ(t.panel[2], "1/16/2006 -- 3:29:22");
        EXPECT_EQ(t.widen_first, c.widen);
        // A picture no file holds has a size but no file size or date.
        doc.current_path.clear();
        const STATUS_TEXTS untitled = StatusTexts(doc);
        EXPECT_EQ(untitled.panel[0], c.panel0);
        EXPECT_TRUE(untitled.panel[1].empty() && untitled.panel[2].empty());
    }
    TIMAGE_INFO media;
    media.state = kMediaOpen;
    const STATUS_TEXTS t = StatusTexts(media);
    EXPECT_TRUE(t.panel[0].empty() && t.panel[1].empty() && t.panel[2].empty());
}

TEST(WindowRules, WindowFitsPicture)
{
    const struct {
        const char* name;
        int pic_w, pic_h;
        WINDOW_FIT want;
    } cases[] = {
        // Screen 1280 x 1024, window 630 x 514, chrome 104.
        {"200 x 100", 200, 100, {360, 204, false}},
        {"600 x 100", 600, 100, {610, 204, false}},
        {"350 x 110 at the limits", 350, 110, {360, 214, false}},
        {"taller than the screen allows", 800, 889, {810, 992, true}},
        {"as tall as the screen allows", 800, 888, {810, 992, false}},
        {"between the limits fits the picture", 400, 300, {410, 404, false}},
        {"as wide as the screen: no strip of it", 1280, 300, {1280, 404, false, true}},
        {"a photo at its natural size", 4000, 3000, {1280, 992, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WINDOW_FIT f = FitWindow(c.pic_w, c.pic_h, 1280, 1024, 630, 514);
        EXPECT_EQ(f.width, c.want.width);
        EXPECT_EQ(f.height, c.want.height);
        EXPECT_EQ(f.move_to_top, c.want.move_to_top);
        EXPECT_EQ(f.move_to_left, c.want.move_to_left);
    }
    EXPECT_EQ(MaxViewHeight(1024), 888);
}

// Copy follows the picture (without a selection it copies all of it); Cut, Delete and
// Crop need a selection, whatever the clipboard state; a selection drawn after a Paste or
// a Crop stays.
TEST(WindowRules, EditCommandsFollowSelectionAndClipboard)
{
    const struct {
        const char* name;
        bool picture, selection;
        int clip;
        bool copy, cut, crop;
        int clip_after;
    } cases[] = {
        {"nothing shown", false, false, 0, false, false, false, 0},
        {"picture, no selection", true, false, 0, true, false, false, 0},
        {"picture and selection", true, true, 0, true, true, true, 0},
        {"after copy", true, true, 2, true, true, true, 2},
        {"selection drawn after paste", true, true, 1, true, true, true, 0},
        {"selection drawn after crop", true, true, 3, true, true, true, 0},
        {"after crop, no selection", true, false, 3, true, false, false, 3},
        {"after cut, no selection", true, false, 4, true, false, false, 4},
        {"nothing shown after crop", false, false, 3, false, false, false, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TIMAGE_INFO doc;
        COMMAND_STATES s;
        s.copy = s.cut = s.crop = !c.copy; // the rule must set them
        COMMAND_INPUTS in{c.picture, c.selection, c.clip, false, true};
        const REFRESH_RESULT r = UpdateCommandStates(s, doc, in);
        EXPECT_EQ(s.copy, c.copy);
        EXPECT_EQ(s.cut, c.cut);
        EXPECT_EQ(s.crop, c.crop);
        EXPECT_EQ(s.del, c.cut);
        EXPECT_EQ(r.clipboard_state, c.clip_after);
    }
}

TEST(WindowRules, CommandsFollowDocument)
{
    TIMAGE_INFO doc;
    doc.state = kPictureOpen;
    doc.bits_per_pixel = 24;
    doc.file_list = {"/d/a.ppm", "/d/b.ppm"};
    doc.undo_length = 2;
    doc.undo_position = 1;
    COMMAND_STATES s;
    UpdateCommandStates(s, doc, COMMAND_INPUTS{true, false, 0, true, false});
    EXPECT_TRUE(s.save && s.print && s.info && s.reduce_colors && s.next_file && s.previous_file);
    EXPECT_TRUE(s.undo && s.redo && s.paste && s.clear_clipboard);
    EXPECT_FALSE(s.full_screen); // nothing was ever opened
    EXPECT_FALSE(s.toolbar_checked);

    doc.bits_per_pixel = 8;
    doc.undo_position = 2;
    doc.picture_present = 1;
    doc.file_list.resize(1);
    UpdateCommandStates(s, doc, COMMAND_INPUTS{true, false, 0, false, true});
    EXPECT_FALSE(s.reduce_colors || s.redo || s.next_file || s.previous_file || s.paste);
    EXPECT_TRUE(s.full_screen && s.toolbar_checked);

    const struct {
        std::int32_t format;
        bool browse;
    } media[] = {{kFmtMp3, true}, {kFmtWma, false}, {kFmtWmv, false}, {kFmtAvi, true}};
    doc.state = kMediaOpen;
    doc.file_list = {"/d/a.ppm", "/d/b.mp3"};
    for (const auto& m : media) {
        SCOPED_TRACE(m.format);
        doc.format_code = m.format;
        UpdateCommandStates(s, doc, COMMAND_INPUTS{false, false, 0, false, true});
        EXPECT_EQ(s.next_file, m.browse);
        EXPECT_EQ(s.previous_file, m.browse);
        EXPECT_FALSE(s.save);
    }
}

TEST(PanState, FollowsTheMouseWithinTheLimits)
{
    PAN_STATE pan;
    pan.Begin(500, 400);
    EXPECT_TRUE(pan.Move(450, 380, 502, 300)); // dragged left and up: shows more right and below
    EXPECT_EQ(pan.offset_x, 50);
    EXPECT_EQ(pan.offset_y, 20);
    EXPECT_FALSE(pan.Move(450, 380, 502, 300)); // unchanged
    EXPECT_TRUE(pan.Move(-10, 380, 502, 300));  // past the right end: stops there, y goes on
    EXPECT_EQ(pan.offset_x, 502);
    EXPECT_EQ(pan.offset_y, 20);
    EXPECT_TRUE(pan.Move(900, 900, 502, 300)); // past the start on both axes
    EXPECT_EQ(pan.offset_x, 0);
    EXPECT_EQ(pan.offset_y, 0);
    EXPECT_TRUE(pan.Move(400, 300, 502, 300));
    pan.End();

    pan.Begin(10, 10); // the next gesture goes on from there
    EXPECT_TRUE(pan.Move(20, 10, 502, 300));
    EXPECT_EQ(pan.offset_x, 90);
    EXPECT_EQ(pan.offset_y, 100);

    // An axis along which the picture fits the view does not move.
    PAN_STATE narrow;
    narrow.Begin(500, 400);
    EXPECT_TRUE(narrow.Move(400, 300, 0, 600));
    EXPECT_EQ(narrow.offset_x, 0);
    EXPECT_EQ(narrow.offset_y, 100);
    // A picture that became smaller (a crop, another zoom) brings the pan within it.
    narrow.Clamp(0, 40);
    EXPECT_EQ(narrow.offset_y, 40);
    narrow.Begin(0, 0);
    EXPECT_FALSE(narrow.Move(0, -1, 0, 40));
}

TEST(WindowSizing, FollowsThePicturesUntilTheUserSizesTheWindow)
{
    WINDOW_SIZING s;
    EXPECT_FALSE(s.Kept());
    // Stepping quickly: the window system answers requests late, each with a size asked for.
    for (const int w : {500, 700, 600, 900}) {
        s.Asked(w, w / 2);
        s.Reported(w, w / 2);
    }
    s.Reported(500, 250);
    EXPECT_FALSE(s.Kept());
    s.StateChanged(false);
    EXPECT_FALSE(s.Kept());
    s.Reported(899, 450); // a size nobody asked for: the user's
    EXPECT_TRUE(s.Kept());

    WINDOW_SIZING maximised;
    maximised.StateChanged(true);
    EXPECT_TRUE(maximised.Kept());

    WINDOW_SIZING old; // a size asked for long ago is no longer an answer
    old.Asked(100, 100);
    for (int i = 0; i < 4; ++i)
        old.Asked(200 + i, 200);
    old.Reported(100, 100);
    EXPECT_TRUE(old.Kept());
}

TEST(ViewKeys, ArrowsPanAPictureLargerThanTheViewElseBrowse)
{
    using K = ViewKey;
    using A = ViewKeyAction;
    const struct {
        K key;
        bool pans_x, pans_y;
        A want;
    } cases[] = {
        {K::kLeft, false, false, A::kPrevious}, {K::kUp, false, false, A::kPrevious},
        {K::kRight, false, false, A::kNext},    {K::kDown, false, false, A::kNext},
        {K::kLeft, true, false, A::kPanLeft},   {K::kRight, true, false, A::kPanRight},
        {K::kUp, true, false, A::kPrevious},    {K::kDown, true, false, A::kNext}, // only wider than the view
        {K::kUp, false, true, A::kPanUp},       {K::kDown, true, true, A::kPanDown},
        {K::kRight, false, true, A::kNext},     {K::kPageUp, true, true, A::kPrevious},
        {K::kPageDown, true, true, A::kNext},   {K::kHome, true, true, A::kFirst},
        {K::kEnd, false, false, A::kLast},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.key) << " pans " << c.pans_x << c.pans_y);
        EXPECT_EQ(ActionOfViewKey(c.key, c.pans_x, c.pans_y), c.want);
    }
}
