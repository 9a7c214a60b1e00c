// The trash in a temporary XDG_DATA_HOME: trash and restore, the .trashinfo against the one
// GIO writes for the same name, names taken, refusals that leave the file where it was.
#include "system/Trash.h"

#include "base/Result_codes.h"
#include "system/Run_program.h"
#include "system/tests/Private_desktop.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

// The Path= and DeletionDate= lines of a .trashinfo text, "" when missing.
std::string Line(const std::string& info, const std::string& key)
{
    const auto at = info.find("\n" + key + "=");
    if (at == std::string::npos)
        return {};
    const auto start = at + key.size() + 2;
    return info.substr(start, info.find('\n', start) - start);
}

class Trash : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("ravelscope_trash_" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "photos");
        UsePrivateSystemDirs(root_);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        trash_ = root_ / "data/Trash";
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_, trash_;
};

TEST_F(Trash, TrashThenRestoreGivesTheSamePathAndBytes)
{
    EXPECT_EQ(HomeTrashFolder(), trash_.string());
    const fs::path photo = root_ / "photos/img 1.jpg";
    const std::string bytes("\xff\xd8 picture \0 bytes", 19);
    Write(photo, bytes);

    TRASHED_FILE record;
    std::string reason;
    ASSERT_EQ(MoveToTrash(photo.string(), record, reason), kOk) << reason;
    EXPECT_FALSE(fs::exists(photo));
    EXPECT_EQ(record.original_path, photo.string());
    EXPECT_EQ(record.trashed_path, (trash_ / "files/img 1.jpg").string());
    EXPECT_EQ(record.info_path, (trash_ / "info/img 1.jpg.trashinfo").string());
    EXPECT_EQ(Read(record.trashed_path), bytes);
    struct stat st {};
    ASSERT_EQ(stat(trash_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_EQ(RestoreFromTrash(record, reason), kOk) << reason;
    EXPECT_EQ(Read(photo), bytes);
    EXPECT_FALSE(fs::exists(record.trashed_path));
    EXPECT_FALSE(fs::exists(record.info_path));
}

// Path= as GIO's own trash writes it for the same names; the date in the standard's form.
TEST_F(Trash, TrashInfoIsWhatGioWrites)
{
    if (!ProgramExists("gio"))
        GTEST_SKIP() << "gio is missing (libglib2.0-bin, scripts/deps.sh)";
    for (const std::string name : {"plain.jpg", "with space.png", "100% #1?.tif", "caf\xc3\xa9 \xe6\x97\xa5.jpg",
                                   "a+b=c&d;e,f'(g)~h.jpg"}) {
        SCOPED_TRACE(name);
        const fs::path ours = root_ / "photos/ours" / name;
        const fs::path theirs = root_ / "photos/gio" / name;
        Write(ours, "x");
        Write(theirs, "x");
        TRASHED_FILE record;
        std::string reason;
        ASSERT_EQ(MoveToTrash(ours.string(), record, reason), kOk) << reason;
        const std::string info = Read(record.info_path);
        ASSERT_EQ(RunProgram({"gio", "trash", theirs.string()}).exit_code, 0);
        ASSERT_FALSE(fs::exists(theirs));
        std::string expected;
        for (const auto& entry : fs::directory_iterator(trash_ / "info"))
            if (entry.path() != fs::path(record.info_path))
                expected = Read(entry.path());
        ASSERT_FALSE(expected.empty());
        std::string gio_path = Line(expected, "Path");
        gio_path.replace(gio_path.rfind("/gio/"), 5, "/ours/");
        EXPECT_EQ(Line(info, "Path"), gio_path);
        EXPECT_EQ(info.rfind("[Trash Info]\n", 0), 0u) << info;
        EXPECT_EQ(Line(info, "DeletionDate").size(), std::string("2026-01-31T12:00:00").size()) << info;
        EXPECT_EQ(Line(info, "DeletionDate")[10], 'T');
        fs::remove_all(trash_);
    }
}

TEST_F(Trash, DeletionDateIsLocalTime)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(TrashInfoText("/a b/c", 86400 * 365), "[Trash Info]\nPath=/a%20b/c\nDeletionDate=1971-01-01T00:00:00\n");
    unsetenv("TZ");
    tzset();
}

// A second file of the same name gets ".2" before its first dot, and each restores to its own path.
TEST_F(Trash, NamesTakenInTheTrashGetANumber)
{
    const fs::path a = root_ / "photos/a/img.jpg", b = root_ / "photos/b/img.jpg", c = root_ / "photos/c/img.jpg";
    Write(a, "a");
    Write(b, "b");
    Write(c, "c");
    Write(trash_ / "info/img.3.jpg.trashinfo", "[Trash Info]\n"); // taken in info/ only
    TRASHED_FILE ra, rb, rc;
    std::string reason;
    ASSERT_EQ(MoveToTrash(a.string(), ra, reason), kOk) << reason;
    ASSERT_EQ(MoveToTrash(b.string(), rb, reason), kOk) << reason;
    ASSERT_EQ(MoveToTrash(c.string(), rc, reason), kOk) << reason;
    EXPECT_EQ(fs::path(ra.trashed_path).filename(), "img.jpg");
    EXPECT_EQ(fs::path(rb.trashed_path).filename(), "img.2.jpg");
    EXPECT_EQ(fs::path(rc.trashed_path).filename(), "img.4.jpg");
    ASSERT_EQ(RestoreFromTrash(rb, reason), kOk) << reason;
    ASSERT_EQ(RestoreFromTrash(ra, reason), kOk) << reason;
    EXPECT_EQ(Read(a), "a");
    EXPECT_EQ(Read(b), "b");
    EXPECT_EQ(Read(rc.trashed_path), "c");
}

// Restoring refuses when something occupies the path or the folder is gone, and leaves
// the trashed file where it is; a missing file is refused at once.
TEST_F(Trash, RefusalsChangeNothing)
{
    const fs::path photo = root_ / "photos/sub/img.jpg";
    Write(photo, "old");
    TRASHED_FILE record;
    std::string reason;
    EXPECT_EQ(MoveToTrash((root_ / "photos/none.jpg").string(), record, reason), kOpenFileError);
    EXPECT_NE(reason.find("none.jpg"), std::string::npos) << reason;

    ASSERT_EQ(MoveToTrash(photo.string(), record, reason), kOk) << reason;
    Write(photo, "new");
    EXPECT_EQ(RestoreFromTrash(record, reason), kOpenFileError);
    EXPECT_NE(reason.find("something else is there"), std::string::npos) << reason;
    EXPECT_EQ(Read(photo), "new");
    EXPECT_EQ(Read(record.trashed_path), "old");
    EXPECT_TRUE(fs::exists(record.info_path));

    fs::remove_all(photo.parent_path());
    EXPECT_EQ(RestoreFromTrash(record, reason), kOpenFileError);
    EXPECT_NE(reason.find("folder is gone"), std::string::npos) << reason;
    EXPECT_EQ(Read(record.trashed_path), "old");

    fs::remove(record.trashed_path);
    EXPECT_EQ(RestoreFromTrash(record, reason), kOpenFileError);
    EXPECT_NE(reason.find("no longer in the trash"), std::string::npos) << reason;

    // The trash itself, and a folder holding it, are not trashed.
    EXPECT_EQ(MoveToTrash(trash_.string(), record, reason), kOpenFileError);
    EXPECT_EQ(MoveToTrash((root_ / "data").string(), record, reason), kOpenFileError);
    EXPECT_TRUE(fs::is_directory(trash_ / "files"));
}

// A file on another filesystem (/dev/shm, a tmpfs) without a usable trash there is refused
// and stays; with top-folder trashes allowed it goes to /dev/shm/.Trash-<uid> with a
// relative Path=.
TEST_F(Trash, OtherFilesystems)
{
    struct stat shm {}, tmp {};
    if (stat("/dev/shm", &shm) != 0 || stat(root_.c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "/dev/shm is not a filesystem of its own here";
    const fs::path folder = fs::path("/dev/shm") / ("ravelscope_trash_" + std::to_string(getpid()));
    const fs::path photo = folder / "img 2.jpg";
    Write(photo, "bytes");
    TRASHED_FILE record;
    std::string reason;
    TRASH_OPTIONS home_only;
    home_only.top_folder_trashes = false;
    EXPECT_EQ(MoveToTrash(photo.string(), record, reason, home_only), kOpenFileError);
    EXPECT_NE(reason.find("another filesystem"), std::string::npos) << reason;
    EXPECT_EQ(Read(photo), "bytes");
    EXPECT_FALSE(fs::exists(trash_ / "files/img 2.jpg"));

    const fs::path top_trash = fs::path("/dev/shm") / (".Trash-" + std::to_string(getuid()));
    const bool had_trash = fs::exists(top_trash) || fs::exists("/dev/shm/.Trash");
    ASSERT_EQ(MoveToTrash(photo.string(), record, reason), kOk) << reason;
    EXPECT_EQ(fs::path(record.trashed_path).parent_path().parent_path().parent_path(), fs::path("/dev/shm"));
    EXPECT_EQ(Line(Read(record.info_path), "Path"), folder.filename().string() + "/img%202.jpg");
    ASSERT_EQ(RestoreFromTrash(record, reason), kOk) << reason;
    EXPECT_EQ(Read(photo), "bytes");
    fs::remove_all(folder);
    if (!had_trash)
        fs::remove_all(top_trash);
}

} // namespace
