// The wallpaper through gsettings' keyfile backend in temporary XDG directories.
#include "system/Wallpaper.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "platform/Dib.h"
#include "system/Association.h"
#include "system/Run_program.h"
#include "system/tests/Private_desktop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string Get(const char* schema, const char* key)
{
    PROGRAM_RUN run = RunProgram({"gsettings", "get", schema, key});
    while (!run.output.empty() && run.output.back() == '\n')
        run.output.pop_back();
    return run.output;
}

// A 5 × 3 picture whose every byte differs from its neighbours.
void FillPicture(Dib& d)
{
    ASSERT_EQ(d.SetSize(5, 3, 24), kOk);
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 15; ++i)
            d.ScanLine(y)[i] = static_cast<std::uint8_t>(y * 40 + i * 7 + 1);
}

class WallpaperTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/ravelscope-wall-XXXXXX";
        root_ = mkdtemp(tmpl);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        setenv("GSETTINGS_BACKEND", "keyfile", 1);
        setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
        UsePrivateSystemDirs(root_);
        FillPicture(picture_);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
    Dib picture_;
};

TEST_F(WallpaperTest, EachStyleWritesUriAndOption)
{
    const struct {
        WallpaperStyle style;
        const char* option;
    } cases[] = {{WallpaperStyle::kCenter, "'centered'"},
                 {WallpaperStyle::kTile, "'wallpaper'"},
                 {WallpaperStyle::kStretch, "'stretched'"}};
    const std::string png = (root_ / "data/ravelscope/wallpaper/Ravelscope_my sea.png").string();
    for (const auto& c : cases) {
        const WALLPAPER_RESULT r = SetWallpaper(picture_, "/pictures/my sea.ppm", c.style);
        EXPECT_EQ(r.rc, kOk);
        EXPECT_TRUE(r.applied) << r.message;
        EXPECT_EQ(r.file, png);
        const std::string uri = "'file://" + (root_ / "data/ravelscope/wallpaper/Ravelscope_my%20sea.png").string() + "'";
        EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri"), uri);
        EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri-dark"), uri);
        EXPECT_EQ(Get("org.gnome.desktop.background", "picture-options"), c.option);
    }
}

TEST_F(WallpaperTest, ThePngHoldsThePictureAndTheDocumentStaysAsItWas)
{
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.display->SetSize(5, 3, 24), kOk);
    FillPicture(*doc.display);
    doc.current_path = "/pictures/sea.ppm";
    doc.edited = 1;
    char cwd_before[4096];
    ASSERT_NE(getcwd(cwd_before, sizeof cwd_before), nullptr);

    const WALLPAPER_RESULT r = SetWallpaper(*doc.display, doc.current_path, WallpaperStyle::kCenter);
    ASSERT_EQ(r.rc, kOk) << r.message;
    char cwd_after[4096];
    ASSERT_NE(getcwd(cwd_after, sizeof cwd_after), nullptr);
    EXPECT_STREQ(cwd_after, cwd_before);
    EXPECT_EQ(doc.current_path, "/pictures/sea.ppm");
    EXPECT_EQ(doc.edited, 1);

    TIMAGE_INFO back;
    ASSERT_EQ(back.Open(r.file), kOk);
    EXPECT_EQ(back.format_code, kFmtPng);
    ASSERT_EQ(back.display->Width(), 5);
    ASSERT_EQ(back.display->Height(), 3);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(back.display->ScanLine(y), picture_.ScanLine(y), 15), 0) << "row " << y;
}

TEST_F(WallpaperTest, SaysWhenTheDesktopDidNotKeepIt)
{
    // The memory backend forgets the value when gsettings ends, as a session without a
    // bus does.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    WALLPAPER_RESULT r = SetWallpaper(picture_, "/p/sea.ppm", WallpaperStyle::kTile);
    EXPECT_EQ(r.rc, kOk);
    EXPECT_FALSE(r.applied);
    EXPECT_NE(r.message.find("not applied"), std::string::npos) << r.message;

    // A desktop we do not know: the file is kept and its place said.
    setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    r = SetWallpaper(picture_, "/p/sea.ppm", WallpaperStyle::kTile);
    EXPECT_FALSE(r.applied);
    EXPECT_TRUE(fs::exists(r.file));
    EXPECT_NE(r.message.find(r.file), std::string::npos);
}

TEST_F(WallpaperTest, AFailedWriteLeavesTheDesktopAlone)
{
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    ASSERT_TRUE(SetWallpaper(picture_, "/p/first.ppm", WallpaperStyle::kCenter).applied);
    const std::string before = Get("org.gnome.desktop.background", "picture-uri");
    // The wallpaper directory cannot be made: a plain file stands in its way.
    std::ofstream(root_ / "data/ravelscope/wallpaper2");
    setenv("XDG_DATA_HOME", (root_ / "data/ravelscope/wallpaper2").c_str(), 1);
    const WALLPAPER_RESULT r = SetWallpaper(picture_, "/p/second.ppm", WallpaperStyle::kStretch);
    EXPECT_NE(r.rc, kOk);
    EXPECT_FALSE(r.applied);
    EXPECT_NE(r.message.find("not written"), std::string::npos);
    EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri"), before);
    EXPECT_EQ(Get("org.gnome.desktop.background", "picture-options"), "'centered'");
}

// Cinnamon's and MATE's schemas (the keys we write) compiled into a directory of the test,
// and a stand-in for xfconf-query that keeps each property in a file.
TEST_F(WallpaperTest, OtherDesktopsGetTheirOwnKeys)
{
    const fs::path schemas = root_ / "schemas";
    fs::create_directories(schemas);
    std::ofstream(schemas / "test.gschema.xml") << R"(<schemalist>
  <schema id="org.cinnamon.desktop.background" path="/org/cinnamon/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
</schemalist>
)";
    ASSERT_EQ(RunProgram({"glib-compile-schemas", schemas.string()}).exit_code, 0);
    setenv("GSETTINGS_SCHEMA_DIR", schemas.c_str(), 1);

    const fs::path bin = root_ / "bin";
    const fs::path store = root_ / "xfconf";
    fs::create_directories(bin);
    fs::create_directories(store);
    std::ofstream(bin / "xfconf-query") << "#!/bin/sh\nstore='" + store.string() + "'\n" + R"SH(prop=; val=; set=0
while [ $# -gt 0 ]; do case "$1" in
  -p) prop=$2; shift;; -s) val=$2; set=1; shift;; -c|-t) shift;;
esac; shift; done
f="$store/$(printf %s "$prop" | tr / _)"
if [ $set = 1 ]; then printf %s "$val" > "$f"; else cat "$f" && echo; fi
)SH";
    fs::permissions(bin / "xfconf-query", fs::perms::owner_all);
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (bin.string() + ":" + path).c_str(), 1);

    const std::string file = (root_ / "data/ravelscope/wallpaper/Ravelscope_sea.png").string();
    const std::string uri = "'file://" + file + "'";
    const auto xfconf = [&store](const char* property) {
        std::ifstream in(store / property);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const char* const kStyles[] = {"centered", "wallpaper", "stretched"};
    const char* const kXfceStyles[] = {"1", "2", "3"};
    for (int k = 0; k < 3; ++k) {
        const auto style = static_cast<WallpaperStyle>(k);
        setenv("XDG_CURRENT_DESKTOP", "X-Cinnamon", 1);
        EXPECT_TRUE(SetWallpaper(picture_, "/p/sea.ppm", style).applied);
        EXPECT_EQ(Get("org.cinnamon.desktop.background", "picture-uri"), uri);
        EXPECT_EQ(Get("org.cinnamon.desktop.background", "picture-options"), std::string("'") + kStyles[k] + "'");

        setenv("XDG_CURRENT_DESKTOP", "MATE", 1);
        EXPECT_TRUE(SetWallpaper(picture_, "/p/sea.ppm", style).applied);
        EXPECT_EQ(Get("org.mate.background", "picture-filename"), "'" + file + "'");
        EXPECT_EQ(Get("org.mate.background", "picture-options"), std::string("'") + kStyles[k] + "'");

        setenv("XDG_CURRENT_DESKTOP", "XFCE", 1);
        EXPECT_TRUE(SetWallpaper(picture_, "/p/sea.ppm", style).applied);
        EXPECT_EQ(xfconf("_backdrop_screen0_monitor0_workspace0_last-image"), file);
        EXPECT_EQ(xfconf("_backdrop_screen0_monitor0_workspace0_image-style"), kXfceStyles[k]);
    }
    setenv("PATH", path.c_str(), 1);
    unsetenv("GSETTINGS_SCHEMA_DIR");
}

TEST(WallpaperDesktop, FamilyOfTheCurrentDesktop)
{
    const struct {
        const char* value;
        DesktopFamily family;
    } cases[] = {{"GNOME", DesktopFamily::kGnome},         {"ubuntu:GNOME", DesktopFamily::kGnome},
                 {"Unity", DesktopFamily::kGnome},         {"Budgie:GNOME", DesktopFamily::kGnome},
                 {"X-Cinnamon", DesktopFamily::kCinnamon}, {"MATE", DesktopFamily::kMate},
                 {"XFCE", DesktopFamily::kXfce},           {"KDE", DesktopFamily::kOther},
                 {"", DesktopFamily::kOther}};
    for (const auto& c : cases)
        EXPECT_EQ(DesktopFamilyOf(c.value), c.family) << c.value;
}

} // namespace

// Without a home folder and without an absolute XDG_DATA_HOME there is nowhere the desktop
// would look: the wallpaper is refused with its reason, and the file association writes
// nothing either (both once wrote into /tmp, where nothing reads them).
TEST_F(WallpaperTest, NoHomeFolderIsRefused)
{
    const char* old_home = std::getenv("HOME");
    const std::string saved_home = old_home != nullptr ? old_home : "";
    unsetenv("HOME");
    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1);

    const WALLPAPER_RESULT r = SetWallpaper(picture_, "/pics/sea.bmp", WallpaperStyle::kStretch);
    EXPECT_EQ(r.rc, kOpenFileError);
    EXPECT_EQ(r.message, "Wallpaper not written: no home folder (HOME is not set)");
    EXPECT_FALSE(r.applied);
    EXPECT_EQ(WallpaperFileFor("/pics/sea.bmp"), "");

    const ASSOC_PATHS paths = AssocPathsFromEnvironment();
    EXPECT_EQ(paths.refusal, "no home folder (HOME is not set)");
    const ASSOC_REPORT a = Associate({0}, "/usr/bin/ravelscope", paths, false);
    ASSERT_EQ(a.failed.size(), 1u);
    EXPECT_EQ(a.failed[0], ".bmp: no home folder (HOME is not set)");
    EXPECT_TRUE(a.done.empty());
    EXPECT_EQ(RemoveAssociations(paths).failed.size(), 1u);
    if (old_home != nullptr)
        setenv("HOME", saved_home.c_str(), 1);
}
