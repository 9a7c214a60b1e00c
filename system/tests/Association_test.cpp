// Association in temporary XDG directories, checked through GIO's own answers.
#include "system/Association.h"

#include "system/Run_program.h"
#include "system/tests/Private_desktop.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

int IndexOf(const char* ext)
{
    const auto list = AssociationList();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (std::string_view(list[i].ext) == ext)
            return static_cast<int>(i);
    return -1;
}

// The default application GIO names for a type, "" for none.
std::string GioDefault(const std::string& type)
{
    const PROGRAM_RUN run = RunProgram({"gio", "mime", type});
    const std::size_t colon = run.output.find(": ");
    const std::size_t nl = run.output.find('\n');
    if (run.output.rfind("Default application", 0) != 0 || colon == std::string::npos)
        return "";
    return run.output.substr(colon + 2, nl - colon - 2);
}

std::string ContentType(const fs::path& file)
{
    const PROGRAM_RUN run = RunProgram({"gio", "info", "-a", "standard::content-type", file.string()});
    const std::string key = "standard::content-type: ";
    const std::size_t at = run.output.find(key);
    if (at == std::string::npos)
        return "";
    return run.output.substr(at + key.size(), run.output.find('\n', at) - at - key.size());
}

const char kUserList[] = "# my own defaults\n"
                         "[Added Associations]\n"
                         "text/plain=gedit.desktop;\n"
                         "\n"
                         "[Default Applications]\n"
                         "image/x-portable-pixmap=other.desktop;\n"
                         "text/plain=gedit.desktop;\n"
                         "\n"
                         "[Removed Associations]\n"
                         "image/png=bad.desktop;\n";

class AssociationTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/ravelscope-assoc-XXXXXX";
        root_ = mkdtemp(tmpl);
        data_ = root_ / "data";
        config_ = root_ / "config";
        setenv("XDG_DATA_HOME", data_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
        unsetenv("XDG_CURRENT_DESKTOP");
        UsePrivateSystemDirs(root_);
        Write(data_ / "applications/other.desktop",
              "[Desktop Entry]\nType=Application\nName=Other\nExec=true %f\nMimeType=image/x-portable-pixmap;\n");
        Write(config_ / "mimeapps.list", kUserList);
        // GIO passes over a desktop entry whose program does not exist.
        exe_ = (root_ / "bin/ravelscope").string();
        Write(exe_, "#!/bin/sh\n");
        chmod(exe_.c_str(), 0755);
        paths_ = AssocPathsFromEnvironment();
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_, data_, config_;
    std::string exe_;
    ASSOC_PATHS paths_;
};

TEST_F(AssociationTest, OursFirstPreviousKeptOtherLinesUntouchedNoDuplicates)
{
    const std::vector<int> ticked = {IndexOf(".qrt"), IndexOf(".ppm"), IndexOf(".img")};
    const ASSOC_REPORT r = Associate(ticked, exe_, paths_, false);
    EXPECT_EQ(r.done, (std::vector<std::string>{".qrt", ".ppm", ".img"})) << r.Summary();
    EXPECT_TRUE(r.failed.empty()) << r.Summary();

    const std::string expected = "# my own defaults\n"
                                 "[Added Associations]\n"
                                 "text/plain=gedit.desktop;\n"
                                 "image/x-qrt=ravelscope.desktop;\n"
                                 "image/x-portable-pixmap=ravelscope.desktop;\n"
                                 "image/x-vicar=ravelscope.desktop;\n"
                                 "\n"
                                 "[Default Applications]\n"
                                 "image/x-portable-pixmap=ravelscope.desktop;other.desktop;\n"
                                 "text/plain=gedit.desktop;\n"
                                 "image/x-qrt=ravelscope.desktop;\n"
                                 "image/x-vicar=ravelscope.desktop;\n"
                                 "\n"
                                 "[Removed Associations]\n"
                                 "image/png=bad.desktop;\n";
    EXPECT_EQ(Read(config_ / "mimeapps.list"), expected);
    Associate(ticked, exe_, paths_, false);
    EXPECT_EQ(Read(config_ / "mimeapps.list"), expected) << "a second run adds nothing";

    for (const char* type : {"image/x-portable-pixmap", "image/x-qrt", "image/x-vicar"})
        EXPECT_EQ(GioDefault(type), "ravelscope.desktop") << type;

    // Our types are known by name, .img by the VICAR label: a disk image stays one.
    Write(root_ / "files/a.qrt", std::string(16, '\0'));
    Write(root_ / "files/picture.img", "LBLSIZE=1024   FORMAT='BYTE'");
    Write(root_ / "files/disk.img", std::string(4096, '\0'));
    EXPECT_EQ(ContentType(root_ / "files/a.qrt"), "image/x-qrt");
    EXPECT_EQ(ContentType(root_ / "files/picture.img"), "image/x-vicar");
    EXPECT_EQ(ContentType(root_ / "files/disk.img"), "application/x-raw-disk-image");

    // Without our desktop entry the previous opener answers again.
    fs::remove(data_ / "applications/ravelscope.desktop");
    EXPECT_EQ(GioDefault("image/x-portable-pixmap"), "other.desktop");
}

TEST_F(AssociationTest, RemoveRestoresTheUsersFile)
{
    Associate({IndexOf(".ppm"), IndexOf(".png")}, exe_, paths_, false);
    const ASSOC_REPORT r = RemoveAssociations(paths_);
    EXPECT_EQ(r.done, (std::vector<std::string>{".png", ".ppm"}));
    EXPECT_EQ(Read(config_ / "mimeapps.list"), kUserList);
    EXPECT_EQ(GioDefault("image/x-portable-pixmap"), "other.desktop");
}

TEST_F(AssociationTest, SkipsRefusesAndReportsOverrides)
{
    setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
    paths_ = AssocPathsFromEnvironment();
    Write(config_ / "gnome-mimeapps.list", "[Default Applications]\nimage/png=eog.desktop;\n");
    const ASSOC_REPORT r = Associate({IndexOf(".bmp"), IndexOf(".png"), IndexOf(".dib"), IndexOf(".lbm"),
                                      IndexOf(".wmf"), IndexOf(".mp3")},
                                     exe_, paths_, false);
    EXPECT_EQ(r.done, (std::vector<std::string>{".bmp", ".png"}));
    ASSERT_EQ(r.skipped.size(), 4u) << r.Summary();
    EXPECT_EQ(r.skipped[0].rfind(".dib: same type", 0), 0u);
    EXPECT_EQ(r.skipped[3].rfind(".mp3: no playback", 0), 0u);
    EXPECT_EQ(r.overridden, (std::vector<std::string>{".png: gnome-mimeapps.list names eog.desktop"}));

    // A program path holding '%' cannot be started from a desktop entry: nothing is written.
    fs::remove_all(data_ / "applications");
    const std::string before = Read(config_ / "mimeapps.list");
    const ASSOC_REPORT refused = Associate({IndexOf(".jpg")}, "/opt/100%/ravelscope", paths_, false);
    EXPECT_TRUE(refused.done.empty());
    EXPECT_EQ(refused.failed.size(), 1u);
    EXPECT_FALSE(fs::exists(data_ / "applications/ravelscope.desktop"));
    EXPECT_EQ(Read(config_ / "mimeapps.list"), before);
}

TEST_F(AssociationTest, AListKeptElsewhereStaysALink)
{
    fs::rename(config_ / "mimeapps.list", root_ / "dotfiles.list");
    fs::create_symlink(root_ / "dotfiles.list", config_ / "mimeapps.list");
    ASSERT_EQ(Associate({IndexOf(".ppm")}, exe_, paths_, false).done.size(), 1u);
    EXPECT_TRUE(fs::is_symlink(config_ / "mimeapps.list"));
    EXPECT_NE(Read(root_ / "dotfiles.list").find("image/x-portable-pixmap=ravelscope.desktop;other.desktop;"),
              std::string::npos);
}

TEST_F(AssociationTest, AnAwkwardFileNameOpensThroughGio)
{
    // The program is a script in a directory whose name needs quoting on the Exec line;
    // it writes the argument it was given.
    const fs::path bin = root_ / "my \"bin\" $HOME";
    const fs::path out = root_ / "opened.txt";
    Write(bin / "viewer", "#!/bin/sh\nprintf '%s' \"$1\" > '" + out.string() + "'\n");
    chmod((bin / "viewer").c_str(), 0755);
    const ASSOC_REPORT r = Associate({IndexOf(".ppm")}, (bin / "viewer").string(), paths_, false);
    ASSERT_EQ(r.done.size(), 1u) << r.Summary();

    const fs::path picture = root_ / "files/a b\"c$d.ppm";
    Write(picture, "P6\n1 1\n255\n\x01\x02\x03");
    const PROGRAM_RUN open = RunProgram({"gio", "open", picture.string()});
    ASSERT_EQ(open.exit_code, 0);
    for (int i = 0; i < 100 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Read(out), picture.string());
}

} // namespace
