// The shared thumbnail cache: names as GIO computes them, what a thumbnail carries, when it
// goes stale, failure records, where the cache is, and what is never written.
#include "base/Result_codes.h"
#include "tests/peers.h"
#include "tests/test_support.h"
#include "thumbnails/Md5.h"
#include "thumbnails/Thumbnail_cache.h"
#include "viewer/tests/Picture_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

namespace {

// Sets an environment variable for the test's lifetime (unset with null).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::unique_ptr<Dib> Solid(int w, int h, std::uint8_t level)
{
    auto d = std::make_unique<Dib>();
    EXPECT_EQ(d->SetSize(w, h, 24), kOk);
    for (int y = 0; y < h; ++y)
        std::memset(d->ScanLine(y), level, d->Stride());
    return d;
}

THUMB_SOURCE SourceOf(const std::string& path)
{
    THUMB_SOURCE s;
    EXPECT_TRUE(ReadThumbSource(path, s)) << path;
    return s;
}

void SetMtime(const std::string& path, std::int64_t seconds)
{
    utimbuf t {};
    t.actime = t.modtime = static_cast<time_t>(seconds);
    ASSERT_EQ(utime(path.c_str(), &t), 0);
}

int Mode(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

std::map<std::string, std::string> Keys(const std::string& png)
{
    std::map<std::string, std::string> keys;
    const Bytes bytes = ReadBytes(png);
    for (const PNG_TEXT& t : ReadPngText(bytes))
        keys.emplace(t.key, t.value);
    return keys;
}

// "key: value" of a `gio info` line, or "".
std::string GioField(const std::string& info, const std::string& key)
{
    const std::size_t at = info.find(key + ": ");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + key.size() + 2;
    return info.substr(start, info.find('\n', start) - start);
}

} // namespace

TEST(Md5, Rfc1321TestSuite)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : vectors) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Md5Hex(text), digest);
    }
    // Padding at the block edges: 55 bytes fit one block with the length, 56 need two.
    EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

// Every name GIO hashes the way we do: its URI is ours, and the thumbnail we stored is the
// one it finds and finds valid (its own check of Thumb::URI, Thumb::MTime, Thumb::Size).
TEST(ThumbnailCache, NamesAndKeysAgreeWithGio)
{
    ASSERT_TRUE(HaveTool("gio")) << "gio is missing (libglib2.0-bin, scripts/deps.sh)";
    TempDir dir;
    ScopedEnv cache_home("XDG_CACHE_HOME", (dir.path() + "/cache").c_str());
    ScopedEnv local("GIO_USE_VFS", "local");
    const THUMBNAIL_CACHE cache = THUMBNAIL_CACHE::FromEnvironment();
    ASSERT_EQ(cache.Root(), dir.path() + "/cache/thumbnails");
    std::filesystem::create_directories(dir.path() + "/pics/sub");
    const char* names[] = {
        "plain.ppm",        "with space.ppm",   "100%.ppm",           "#hash.ppm",
        "\xC3\xBCnic\xC3\xB6" "de \xE2\x82\xAC.ppm",                  "semi;colon?.ppm",
        "q'\"`.ppm",        "&=:@+$,!~*().ppm", "br[]{}^|\\<>.ppm",   "tab\there.ppm",
        "\xFF\xFE.ppm",     "sub/../dotted.ppm", "sub/./sub.ppm",
    };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const std::string path = dir.path() + "/pics/" + name;
        ASSERT_TRUE(WriteSolidPicture(path, 4, 4, 1, 2, 3));
        const THUMB_SOURCE source = SourceOf(path);
        ASSERT_EQ(cache.Store(source, kThumbNormal, *Solid(4, 4, 9), 4, 4), kOk);
        setenv("THUMB_FILE", path.c_str(), 1);
        const std::string info = CaptureCommand(
            "gio info -a standard::name,thumbnail::path,thumbnail::is-valid \"$THUMB_FILE\" 2>&1");
        EXPECT_EQ(GioField(info, "uri"), source.uri);
        EXPECT_EQ(GioField(info, "thumbnail::path"), cache.ThumbnailPath(source.uri, kThumbNormal));
        EXPECT_EQ(GioField(info, "thumbnail::is-valid"), "TRUE");
    }
    unsetenv("THUMB_FILE");
}

TEST(ThumbnailCache, CanonicalUriAndFit)
{
    EXPECT_EQ(CanonicalFileUri("/"), "file:///");
    EXPECT_EQ(CanonicalFileUri("//a//b/./c/../d/"), "file:///a/b/d");
    EXPECT_EQ(CanonicalFileUri("/../x"), "file:///x");
    EXPECT_EQ(CanonicalFileUri("relative/x.jpg"), "");
    EXPECT_EQ(CanonicalFileUri(""), "");
    struct Case {
        int w, h, edge, want_w, want_h;
    };
    const Case fits[] = {
        {4000, 3000, 128, 128, 96}, {3000, 4000, 128, 96, 128},  {100, 50, 128, 100, 50},
        {128, 128, 128, 128, 128},  {1000, 1, 128, 128, 1},      {129, 128, 128, 128, 127},
        {6000, 4000, 256, 256, 171}, {300, 7, 256, 256, 6},
    };
    for (const Case& c : fits) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " in " + std::to_string(c.edge));
        int w = 0, h = 0;
        ThumbnailFit(c.w, c.h, c.edge, w, h);
        EXPECT_EQ(w, c.want_w);
        EXPECT_EQ(h, c.want_h);
    }
}

TEST(ThumbnailCache, StoredThumbnailCarriesItsKeysAndIsPrivate)
{
    TempDir dir;
    const THUMBNAIL_CACHE cache(dir.path() + "/cache/thumbnails");
    const std::string photo = dir.File("photo.ppm");
    ASSERT_TRUE(WriteSolidPicture(photo, 300, 200, 1, 2, 3));
    SetMtime(photo, 1700000123);
    const THUMB_SOURCE source = SourceOf(photo);
    ASSERT_EQ(cache.Store(source, kThumbLarge, *Solid(256, 171, 77), 300, 200), kOk);

    const std::string png = cache.ThumbnailPath(source.uri, kThumbLarge);
    EXPECT_EQ(png, dir.path() + "/cache/thumbnails/large/" + Md5Hex("file://" + photo) + ".png");
    const std::map<std::string, std::string> want = {
        {"Thumb::URI", "file://" + photo},   {"Thumb::MTime", "1700000123"},
        {"Thumb::Size", std::to_string(source.size)}, {"Thumb::Image::Width", "300"},
        {"Thumb::Image::Height", "200"},     {"Software", "Ravelscope"},
    };
    EXPECT_EQ(Keys(png), want);
    // Pillow reads the same keys and the picture's size.
    const std::string py = PillowPython();
    ASSERT_FALSE(py.empty()) << "Pillow is missing (python3-pil, scripts/deps.sh)";
    EXPECT_EQ(CaptureCommand(py + " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                                  "print(im.size, im.mode, im.text[\"Thumb::MTime\"], "
                                  "im.text[\"Thumb::Size\"])' '" + png + "'"),
              "(256, 171) RGB 1700000123 " + std::to_string(source.size) + "\n");

    EXPECT_EQ(Mode(png), 0600);
    for (const char* folder : {"/cache", "/cache/thumbnails", "/cache/thumbnails/large"})
        EXPECT_EQ(Mode(dir.path() + folder), 0700) << folder;
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path() + "/cache/thumbnails/large")) {
        EXPECT_EQ(e.path().string(), png) << "a temporary file was left behind";
        ++files;
    }
    EXPECT_EQ(files, 1);

    Dib back;
    ASSERT_EQ(cache.Find(source, kThumbLarge, back), THUMBNAIL_CACHE::Lookup::kValid);
    EXPECT_EQ(back.Width(), 256);
    EXPECT_EQ(back.Height(), 171);
    EXPECT_EQ(back.ScanLine(170)[255 * 3], 77);
    EXPECT_EQ(cache.Find(source, kThumbNormal, back), THUMBNAIL_CACHE::Lookup::kMissing);
    // A picture larger than the size's square is not stored as that size.
    EXPECT_EQ(cache.Store(source, kThumbNormal, *Solid(129, 10, 1), 300, 200), kDataError);
}

TEST(ThumbnailCache, AChangedFileMakesItsThumbnailStale)
{
    TempDir dir;
    const THUMBNAIL_CACHE cache(dir.path() + "/thumbnails");
    const std::string photo = dir.File("photo.ppm");
    ASSERT_TRUE(WriteSolidPicture(photo, 8, 8, 1, 2, 3));
    SetMtime(photo, 1600000000);
    const THUMB_SOURCE stored = SourceOf(photo);
    ASSERT_EQ(cache.Store(stored, kThumbNormal, *Solid(8, 8, 5), 8, 8), kOk);
    struct Case {
        const char* name;
        std::int64_t mtime_change;
        std::int64_t size_change;
        THUMBNAIL_CACHE::Lookup want;
    };
    const Case cases[] = {
        {"unchanged", 0, 0, THUMBNAIL_CACHE::Lookup::kValid},
        {"touched", 1, 0, THUMBNAIL_CACHE::Lookup::kStale},
        {"older copy put back", -3600, 0, THUMBNAIL_CACHE::Lookup::kStale},
        {"rewritten within the second", 0, 1, THUMBNAIL_CACHE::Lookup::kStale},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        THUMB_SOURCE now = stored;
        now.mtime += c.mtime_change;
        now.size += c.size_change;
        Dib picture;
        EXPECT_EQ(cache.Find(now, kThumbNormal, picture), c.want);
    }
    // A thumbnail without Thumb::Size (as other programs may write) is judged by URI and
    // MTime; one whose URI is another file's is stale.
    const std::string png = cache.ThumbnailPath(stored.uri, kThumbNormal);
    Bytes bytes = ReadBytes(png);
    const std::string size_key = "Thumb::Size";
    auto at = std::search(bytes.begin(), bytes.end(), size_key.begin(), size_key.end());
    ASSERT_NE(at, bytes.end());
    *(at + 6) = 'X'; // "Thumb::XXze": an unknown key now (its CRC no longer matters)
    WriteBytes(png, bytes);
    THUMB_SOURCE resized = stored;
    resized.size += 10;
    Dib picture;
    EXPECT_EQ(cache.Find(resized, kThumbNormal, picture), THUMBNAIL_CACHE::Lookup::kValid);
    THUMB_SOURCE other = stored;
    other.uri += "x";
    std::filesystem::copy_file(png, cache.ThumbnailPath(other.uri, kThumbNormal));
    EXPECT_EQ(cache.Find(other, kThumbNormal, picture), THUMBNAIL_CACHE::Lookup::kStale);
}

TEST(ThumbnailCache, FailureRecordsHoldUntilTheFileChanges)
{
    TempDir dir;
    const THUMBNAIL_CACHE cache(dir.path() + "/thumbnails");
    const std::string junk = dir.File("junk.jpg");
    WriteBytes(junk, ToBytes("not a picture"));
    SetMtime(junk, 1500000000);
    const THUMB_SOURCE source = SourceOf(junk);
    EXPECT_FALSE(cache.Failed(source));
    ASSERT_EQ(cache.StoreFailure(source), kOk);
    const std::string record = cache.FailurePath(source.uri);
    EXPECT_EQ(record, dir.path() + "/thumbnails/fail/ravelscope/" + Md5Hex(source.uri) + ".png");
    EXPECT_EQ(Keys(record).at("Thumb::MTime"), "1500000000");
    EXPECT_EQ(Mode(record), 0600);
    EXPECT_EQ(Mode(dir.path() + "/thumbnails/fail/ravelscope"), 0700);
    EXPECT_TRUE(cache.Failed(source));
    SetMtime(junk, 1500000001);
    EXPECT_FALSE(cache.Failed(SourceOf(junk)));
}

// The cache folder comes from XDG_CACHE_HOME, else HOME; relative values do not count,
// and without a folder nothing is written at all.
TEST(ThumbnailCache, ItsFolderComesFromTheEnvironmentOrNothingIsWritten)
{
    struct Case {
        const char* name;
        const char* xdg;
        const char* home;
        std::string want; // the root, "" for none
    };
    const Case cases[] = {
        {"XDG_CACHE_HOME", "/tmp/xdg", "/tmp/home", "/tmp/xdg/thumbnails"},
        {"HOME's .cache", nullptr, "/tmp/home", "/tmp/home/.cache/thumbnails"},
        {"a relative XDG_CACHE_HOME is ignored", "rel/cache", "/tmp/home", "/tmp/home/.cache/thumbnails"},
        {"an empty XDG_CACHE_HOME is ignored", "", "/tmp/home", "/tmp/home/.cache/thumbnails"},
        {"neither", nullptr, nullptr, ""},
        {"neither absolute", "rel", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv xdg("XDG_CACHE_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        const THUMBNAIL_CACHE cache = THUMBNAIL_CACHE::FromEnvironment();
        EXPECT_EQ(cache.Root(), c.want);
        EXPECT_EQ(cache.Usable(), !c.want.empty());
        EXPECT_EQ(cache.Refusal().empty(), !c.want.empty());
    }

    TempDir dir;
    ScopedEnv xdg("XDG_CACHE_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    const THUMBNAIL_CACHE none = THUMBNAIL_CACHE::FromEnvironment();
    const std::string photo = dir.File("photo.ppm");
    ASSERT_TRUE(WriteSolidPicture(photo, 8, 8, 1, 2, 3));
    std::string reason;
    EXPECT_EQ(none.Store(SourceOf(photo), kThumbNormal, *Solid(8, 8, 1), 8, 8, &reason), kOpenFileError);
    EXPECT_EQ(reason, none.Refusal());
    EXPECT_EQ(none.StoreFailure(SourceOf(photo)), kOpenFileError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "only the photo";
}

TEST(ThumbnailCache, FilesOfTheCacheGetNoThumbnails)
{
    TempDir dir;
    const std::string root = dir.path() + "/thumbnails";
    const THUMBNAIL_CACHE cache(root + "/");
    std::filesystem::create_directories(root + "/normal");
    std::filesystem::create_symlink(root, dir.File("link"));
    const std::string inside = root + "/normal/0123.ppm";
    ASSERT_TRUE(WriteSolidPicture(inside, 8, 8, 1, 2, 3));
    for (const std::string& path : {inside, dir.File("link/normal/0123.ppm")}) {
        SCOPED_TRACE(path);
        const THUMB_SOURCE source = SourceOf(path);
        EXPECT_FALSE(cache.Storable(source));
        EXPECT_EQ(cache.Store(source, kThumbNormal, *Solid(8, 8, 1), 8, 8), kOpenFileError);
        EXPECT_EQ(cache.StoreFailure(source), kOpenFileError);
    }
    const std::string beside = dir.File("thumbnails-not.ppm"); // a name that only starts alike
    ASSERT_TRUE(WriteSolidPicture(beside, 8, 8, 1, 2, 3));
    EXPECT_TRUE(cache.Storable(SourceOf(beside)));
}

TEST(ThumbnailCache, PngTextReaderStaysInsideTheBytes)
{
    const Bytes signature = {137, 80, 78, 71, 13, 10, 26, 10};
    auto chunk = [](const char* type, const std::string& data, std::uint32_t claimed = 0xFFFFFFFF) {
        const std::uint32_t n = claimed != 0xFFFFFFFF ? claimed : static_cast<std::uint32_t>(data.size());
        Bytes b = {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                   static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
        b.insert(b.end(), type, type + 4);
        b.insert(b.end(), data.begin(), data.end());
        b.insert(b.end(), 4, 0);
        return b;
    };
    auto png = [&](std::vector<Bytes> chunks) {
        Bytes b = signature;
        for (const Bytes& c : chunks)
            b.insert(b.end(), c.begin(), c.end());
        return b;
    };
    const std::string kv = std::string("Thumb::URI") + '\0' + "file:///a";
    struct Case {
        const char* name;
        Bytes bytes;
        std::size_t want;
    };
    const Case cases[] = {
        {"one key", png({chunk("IHDR", std::string(13, '\0')), chunk("tEXt", kv), chunk("IEND", "")}), 1},
        {"keys after IEND are not read", png({chunk("IEND", ""), chunk("tEXt", kv)}), 0},
        {"no separator", png({chunk("tEXt", "Thumb::URI")}), 0},
        {"empty value", png({chunk("tEXt", std::string("k") + '\0')}), 1},
        {"length past the end", png({chunk("tEXt", kv, 1000)}), 0},
        {"length 2^32 - 1", png({chunk("tEXt", kv, 0xFFFFFFFE)}), 0},
        {"not a PNG", ToBytes("GIF89a"), 0},
        {"signature only", signature, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadPngText(c.bytes).size(), c.want);
    }
    const std::vector<PNG_TEXT> texts = ReadPngText(cases[0].bytes);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].key, "Thumb::URI");
    EXPECT_EQ(texts[0].value, "file:///a");
}
