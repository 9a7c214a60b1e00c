// The save dispatcher, the shared preparation of the context, and the Save command.
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> Listing(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

constexpr std::int32_t kAllSaveCodes[] = {kSaveBmp, kSaveDcx, kSaveGif, kSaveJpeg, kSavePat, kSavePcx, kSavePng,
                                          kSavePgm, kSavePpm, kSaveSun, kSaveTga, kSaveTiff, kSaveXwd};

// Noise that no writer compresses below a few kilobytes.
Bytes Noise(int w, int h)
{
    Bytes p(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    std::uint32_t x = 12345;
    for (std::uint8_t& b : p) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 23);
    }
    return p;
}

// Saves in a child process whose files may not grow past limit bytes. Returns the child's
// verdict: 0 saved, 1 failed with EFBIG as the reason, 2 failed for another reason.
int SaveWithFileLimit(TIMAGE_INFO& doc, std::int32_t code, const std::string& path, rlim_t limit)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        const int rc = PrepareSave(doc, code, path) == kOk ? doc.Save() : kUnknownError;
        _exit(rc == kOk ? 0 : doc.last_save_errno == EFBIG ? 1 : 2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(SafeSave, AWriteThatFailsLeavesTheOldFileAndNoTemporary)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 64, 64, Noise(64, 64));
    const Bytes old_bytes = ToBytes("the picture the user had before\n");
    for (std::int32_t code : kAllSaveCodes) {
        SCOPED_TRACE(SaveFormatName(code));
        TempDir dir;
        const std::string name = std::string("keep") + SaveExtension(code);
        const std::string target = dir.File(name);
        WriteBytes(target, old_bytes);
        EXPECT_EQ(SaveWithFileLimit(doc, code, target, 1000), 1) << "the file size limit is the reason";
        EXPECT_EQ(ReadBytes(target), old_bytes);
        EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{name});

        std::remove(target.c_str());
        EXPECT_EQ(SaveWithFileLimit(doc, code, target, 1000), 1);
        EXPECT_TRUE(Listing(dir.path()).empty()) << "a failed new file leaves nothing behind";

        EXPECT_EQ(SaveWithFileLimit(doc, code, target, RLIM_INFINITY), 0);
        EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{name});
        EXPECT_GT(ReadBytes(target).size(), 1000u);
    }
}

TEST(SafeSave, TargetsThatCannotBeWrittenAreLeftAlone)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 4, 3, PatternPixels(4, 3));
    const bool root = geteuid() == 0; // permission bits do not stop root
    for (std::int32_t code : kAllSaveCodes) {
        SCOPED_TRACE(SaveFormatName(code));
        TempDir dir;
        const std::string ext = SaveExtension(code);
        WriteBytes(dir.File("file"), ToBytes("a file"));
        mkdir(dir.File("dir" + ext).c_str(), 0755);
        WriteBytes(dir.File("dir" + ext + "/inside"), ToBytes("kept"));
        mkdir(dir.File("ro").c_str(), 0755);
        WriteBytes(dir.File("ro/keep" + ext), ToBytes("old"));
        chmod(dir.File("ro").c_str(), 0555);
        struct Case {
            std::string target;
            int reason;
        } cases[] = {
            {dir.File("file/x" + ext), ENOTDIR},
            {dir.File("dir" + ext), EISDIR},
            {dir.File("missing/x" + ext), ENOENT},
            {dir.File("ro/keep" + ext), EACCES},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.target);
            if (c.reason == EACCES && root)
                continue;
            ASSERT_EQ(PrepareSave(doc, code, c.target), kOk);
            EXPECT_EQ(doc.Save(), kOpenFileError);
            EXPECT_EQ(doc.last_save_errno, c.reason) << std::strerror(doc.last_save_errno);
            EXPECT_EQ(doc.context->output_file_name, c.target) << "the output name is the target again";
        }
        chmod(dir.File("ro").c_str(), 0755);
        EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"dir" + ext, "file", "ro"}));
        EXPECT_EQ(Listing(dir.File("dir" + ext)), std::vector<std::string>{"inside"});
        EXPECT_EQ(Listing(dir.File("ro")), std::vector<std::string>{"keep" + ext});
        EXPECT_EQ(ReadBytes(dir.File("ro/keep" + ext)), ToBytes("old"));
        EXPECT_EQ(ReadBytes(dir.File("file")), ToBytes("a file"));
    }
}

TEST(SafeSave, KeepsPermissionBitsAndSymbolicLinks)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 2, 2, PatternPixels(2, 2));
    TempDir dir;
    auto save = [&](const std::string& path) {
        EXPECT_EQ(PrepareSave(doc, kSavePpm, path), kOk);
        return doc.Save();
    };
    auto mode_of = [](const std::string& path) {
        struct stat st {};
        lstat(path.c_str(), &st);
        return st.st_mode;
    };

    WriteBytes(dir.File("private.ppm"), ToBytes("old"));
    chmod(dir.File("private.ppm").c_str(), 0640);
    ASSERT_EQ(save(dir.File("private.ppm")), kOk);
    EXPECT_EQ(mode_of(dir.File("private.ppm")) & 07777, 0640u);

    const mode_t old_mask = umask(027);
    ASSERT_EQ(save(dir.File("new.ppm")), kOk);
    umask(old_mask);
    EXPECT_EQ(mode_of(dir.File("new.ppm")) & 07777, 0640u) << "a new file gets 0666 less the umask";

    // A relative link into another directory: the file it names is replaced, the link stays.
    mkdir(dir.File("real").c_str(), 0755);
    WriteBytes(dir.File("real/pic.ppm"), ToBytes("old"));
    ASSERT_EQ(symlink("real/pic.ppm", dir.File("link.ppm").c_str()), 0);
    ASSERT_EQ(symlink("link.ppm", dir.File("link2.ppm").c_str()), 0);
    ASSERT_EQ(save(dir.File("link2.ppm")), kOk);
    EXPECT_TRUE(S_ISLNK(mode_of(dir.File("link.ppm"))));
    EXPECT_TRUE(S_ISLNK(mode_of(dir.File("link2.ppm"))));
    int w = 0, h = 0;
    Bytes px;
    ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("real/pic.ppm")), w, h, px));
    EXPECT_EQ(px, PatternPixels(2, 2));
    EXPECT_EQ(Listing(dir.File("real")), std::vector<std::string>{"pic.ppm"});

    // A dangling link gets its file created where it points.
    ASSERT_EQ(symlink("real/later.ppm", dir.File("dangling.ppm").c_str()), 0);
    ASSERT_EQ(save(dir.File("dangling.ppm")), kOk);
    EXPECT_TRUE(Exists(dir.File("real/later.ppm")));
    EXPECT_TRUE(S_ISLNK(mode_of(dir.File("dangling.ppm"))));

    // A loop of links is an error with its reason.
    ASSERT_EQ(symlink("loop_b.ppm", dir.File("loop_a.ppm").c_str()), 0);
    ASSERT_EQ(symlink("loop_a.ppm", dir.File("loop_b.ppm").c_str()), 0);
    EXPECT_EQ(save(dir.File("loop_a.ppm")), kOpenFileError);
    EXPECT_EQ(doc.last_save_errno, ELOOP);
}

TEST(SafeSave, ReasonsAreWorded)
{
    EXPECT_EQ(ResultTextWithReason(kOpenFileError, ENOSPC), "Open File Error. (No space left on device)");
    EXPECT_EQ(ResultTextWithReason(kDataError, 0), "Data Error.");

    // Anything that replaces a file goes through the same path: a writer's failure leaves
    // the target as it was, and so does a writer that throws nothing but reports a code.
    // The reason is the error noted where the write failed, not what errno holds after the
    // writer cleaned up.
    TempDir dir;
    WriteBytes(dir.File("a.txt"), ToBytes("old"));
    int reason = -1;
    EXPECT_EQ(ReplaceFileWith(dir.File("a.txt"),
                              [](const std::string& tmp) {
                                  WriteBytes(tmp, ToBytes("half"));
                                  NoteWriteError(ENOSPC);
                                  close(-1); // cleanup that leaves EBADF in errno
                                  return kOpenFileError;
                              },
                              &reason),
              kOpenFileError);
    EXPECT_EQ(reason, ENOSPC);
    EXPECT_EQ(ReplaceFileWith(dir.File("a.txt"),
                              [](const std::string&) {
                                  errno = EIO; // failed without a system call failing
                                  return kDataError;
                              },
                              &reason),
              kDataError);
    EXPECT_EQ(reason, 0) << "no system error to give";
    EXPECT_EQ(ReadBytes(dir.File("a.txt")), ToBytes("old"));
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"a.txt"});

    std::string seen;
    EXPECT_EQ(ReplaceFileWith(dir.File("a.txt"),
                              [&seen](const std::string& tmp) {
                                  seen = tmp;
                                  WriteBytes(tmp, ToBytes("new"));
                                  return kOk;
                              },
                              &reason),
              kOk);
    EXPECT_EQ(reason, 0);
    EXPECT_EQ(ReadBytes(dir.File("a.txt")), ToBytes("new"));
    EXPECT_TRUE(seen.ends_with(".txt")) << "the temporary file keeps the extension last: " << seen;
    EXPECT_EQ(seen.substr(0, dir.path().size() + 1), dir.path() + "/") << "beside the target";
}

TEST(SaveCommand, WritesThePictureBackInItsOwnFormat)
{
    TempDir dir;
    struct Case {
        const char* file;
        std::string bytes;
        const char* written;
    } cases[] = {
        {"a.b.ppm", "P6\n1 1\n255\n\x01\x02\x03", "a.b.ppm"},
        {"grey.PGM", "P5\n1 1\n255\n\x42", "grey.pgm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TIMAGE_INFO doc;
        WriteBytes(dir.File(c.file), ToBytes(c.bytes));
        ASSERT_EQ(doc.Open(dir.File(c.file)), kOk);
        doc.edited = 1;
        ASSERT_EQ(doc.context->work.Reserve(3), kOk);
        std::copy(doc.context->decoded.data(), doc.context->decoded.data() + 3, doc.context->work.data());
        std::remove(dir.File(c.file).c_str());
        EXPECT_EQ(doc.SaveCommand(), kOk);
        EXPECT_TRUE(Exists(dir.File(c.written)));
        EXPECT_EQ(doc.edited, 0);
        EXPECT_EQ(doc.context->output_file_name, dir.File(c.written));
    }
}

TEST(SaveCommand, LeavesOtherFormatsAndFailuresAlone)
{
    TempDir dir;
    TIMAGE_INFO doc;
    WriteBytes(dir.File("a.pbm"), ToBytes("P4\n8 1\n\x0f"));
    ASSERT_EQ(doc.Open(dir.File("a.pbm")), kOk);
    doc.edited = 1;
    EXPECT_EQ(doc.SaveCommand(), kFormatNotSupported) << "PBM pictures are not written back";
    EXPECT_EQ(doc.edited, 1);

    // A picture whose directory vanished cannot be written: the edited flag stays.
    const std::string sub = dir.File("sub");
    mkdir(sub.c_str(), 0755);
    WriteBytes(sub + "/b.ppm", ToBytes("P6\n1 1\n255\nabc"));
    ASSERT_EQ(doc.Open(sub + "/b.ppm"), kOk);
    std::remove((sub + "/b.ppm").c_str());
    rmdir(sub.c_str());
    doc.edited = 1;
    EXPECT_EQ(doc.SaveCommand(), kOpenFileError);
    EXPECT_EQ(doc.edited, 1);
}

TEST(PrepareSave, FillsWhatEachWriterReads)
{
    TIMAGE_INFO doc;
    const Bytes px{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}; // 2 x 2, blue-green-red
    LoadPicture(doc, 2, 2, px);
    CODEC_CTX& ctx = *doc.context;
    ctx.width = ctx.height = 99; // stale sizes are replaced by the display size
    ctx.right_to_left = ctx.top_to_bottom = true;

    ASSERT_EQ(PrepareSave(doc, kSaveTga, "x.tga"), kOk);
    EXPECT_EQ(doc.save_code, kSaveTga);
    EXPECT_EQ(ctx.output_file_name, "x.tga");
    EXPECT_EQ(ctx.width, 2);
    EXPECT_EQ(ctx.height, 2);
    EXPECT_EQ(ctx.out_bits_per_pixel, 24);
    EXPECT_FALSE(ctx.right_to_left);
    EXPECT_FALSE(ctx.top_to_bottom);

    // The writers read the display bitmap's rows: no preparation copies the picture.
    for (std::int32_t code : {kSavePcx, kSaveDcx, kSaveJpeg, kSavePng}) {
        ASSERT_EQ(PrepareSave(doc, code, "x"), kOk);
        EXPECT_EQ(ctx.planar.size() + ctx.save_rows.size() + ctx.quad.size(), 0u) << code;
    }
    EXPECT_EQ(Bytes(ctx.decoded.data(), ctx.decoded.data() + 12), px) << "the picture as read survives";

    doc.state = kMediaOpen;
    EXPECT_EQ(PrepareSave(doc, kSavePpm, "x.ppm"), kDataError) << "nothing to save";
}

TEST(SaveDispatcher, AnswersUnknownAndMissingWriters)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 1, 1, Bytes{1, 2, 3});
    doc.save_code = 42;
    EXPECT_EQ(doc.Save(), kOpenFileError);
}
