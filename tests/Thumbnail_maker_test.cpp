// Making one file's thumbnail: which way it is made, the orientation, the cache reused,
// changed files made again, refused files recorded.
#include "base/Result_codes.h"
#include "tests/jpeg_fixtures.h"
#include "tests/test_support.h"
#include "thumbnails/Thumbnail_maker.h"
#include "viewer/tests/Picture_files.h"

#include <gtest/gtest.h>

#include <utime.h>

#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <filesystem>

namespace {

struct MAKER_FIXTURE {
    TempDir dir;
    THUMBNAIL_CACHE cache {dir.path() + "/cache/thumbnails"};
    std::atomic<bool> cancel {false};

    THUMB_RESULT Make(const std::string& path, int size, ThumbRoute* route = nullptr)
    {
        THUMBNAIL_MAKER maker(cache, size);
        THUMB_RESULT r = maker.Make(path, cancel);
        if (route != nullptr)
            *route = maker.LastRoute();
        return r;
    }
};

void SetMtime(const std::string& path, std::int64_t seconds)
{
    utimbuf t {};
    t.actime = t.modtime = static_cast<time_t>(seconds);
    ASSERT_EQ(utime(path.c_str(), &t), 0);
}

// Blue, green, red of the thumbnail's pixel.
std::array<int, 3> At(const THUMB_RESULT& r, int x, int y)
{
    const std::uint8_t* p = r.picture->ScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

bool Near(std::array<int, 3> a, std::array<int, 3> b)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(a[static_cast<std::size_t>(i)] - b[static_cast<std::size_t>(i)]) > 12)
            return false;
    return true;
}

constexpr std::array<int, 3> kRed = {0, 0, 255};
constexpr std::array<int, 3> kBlue = {255, 0, 0};

// Left half red, right half blue.
Bytes HalvesJpeg(int w, int h)
{
    return JpegOf(w, h, [w](int x, int, std::uint8_t* p) {
        p[0] = x < w / 2 ? 0 : 255;
        p[1] = 0;
        p[2] = x < w / 2 ? 255 : 0;
    });
}

} // namespace

TEST(ThumbnailMaker, MakesEachFormatOnceThenReadsTheCache)
{
    MAKER_FIXTURE f;
    WriteBytes(f.dir.File("photo.jpg"), JpegOf(640, 480, PhotoLikePixel));
    ASSERT_TRUE(WriteSolidPicture(f.dir.File("wide.ppm"), 300, 200, 10, 20, 30));
    ASSERT_TRUE(WriteSolidPicture(f.dir.File("small.ppm"), 50, 40, 10, 20, 30));
    struct Case {
        const char* name;
        int size;
        ThumbRoute route;
        int w, h;
    };
    const Case cases[] = {
        {"photo.jpg", kThumbNormal, ThumbRoute::kScaledJpeg, 128, 96},
        {"photo.jpg", kThumbXLarge, ThumbRoute::kScaledJpeg, 512, 384},
        {"wide.ppm", kThumbNormal, ThumbRoute::kOpen, 128, 85},
        {"small.ppm", kThumbNormal, ThumbRoute::kOpen, 50, 40}, // never enlarged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + kThumbSizes[c.size].folder);
        ThumbRoute route {};
        const THUMB_RESULT made = f.Make(f.dir.File(c.name), c.size, &route);
        ASSERT_EQ(made.status, THUMB_RESULT::Status::kReady) << made.reason;
        EXPECT_EQ(route, c.route);
        EXPECT_FALSE(made.from_cache);
        EXPECT_EQ(made.picture->Width(), c.w);
        EXPECT_EQ(made.picture->Height(), c.h);
        const THUMB_RESULT again = f.Make(f.dir.File(c.name), c.size, &route);
        ASSERT_EQ(again.status, THUMB_RESULT::Status::kReady);
        EXPECT_EQ(route, ThumbRoute::kCache);
        EXPECT_TRUE(again.from_cache);
        ASSERT_EQ(again.picture->Width(), c.w);
        const std::size_t row_bytes = 3 * static_cast<std::size_t>(c.w);
        for (int y = 0; y < c.h; ++y)
            ASSERT_EQ(std::memcmp(again.picture->ScanLine(y), made.picture->ScanLine(y), row_bytes), 0);
    }
}

// The camera's embedded thumbnail (blue here; the photo is red) serves only when it has
// the pixels asked for and the photo's shape.
TEST(ThumbnailMaker, TheExifThumbnailServesWhenLargeEnough)
{
    MAKER_FIXTURE f;
    struct Case {
        const char* name;
        int photo_w, photo_h, thumb_w, thumb_h, size;
        bool exif;
    };
    const Case cases[] = {
        {"160 x 120 for the normal size", 640, 480, 160, 120, kThumbNormal, true},
        {"160 x 120 is too small for large", 640, 480, 160, 120, kThumbLarge, false},
        {"100 x 75 is too small for normal", 640, 480, 100, 75, kThumbNormal, false},
        {"letterboxed: 4:3 thumbnail of a 3:2 photo", 600, 400, 160, 120, kThumbNormal, false},
        {"a small photo's exact thumbnail", 120, 90, 120, 90, kThumbNormal, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = f.dir.File("p" + std::to_string(n++) + ".jpg");
        WriteBytes(path, WithExif(SolidJpeg(c.photo_w, c.photo_h, 0, 0, 255), 0,
                                  SolidJpeg(c.thumb_w, c.thumb_h, 255, 0, 0)));
        ThumbRoute route {};
        const THUMB_RESULT r = f.Make(path, c.size, &route);
        ASSERT_EQ(r.status, THUMB_RESULT::Status::kReady) << r.reason;
        EXPECT_EQ(route, c.exif ? ThumbRoute::kExifThumbnail : ThumbRoute::kScaledJpeg);
        EXPECT_TRUE(Near(At(r, 1, 1), c.exif ? kBlue : kRed));
    }
}

// Orientation 6 (turned a quarter clockwise when shown): the stored left half, red, is
// the top, whichever way the thumbnail was made.
TEST(ThumbnailMaker, TurnsTheThumbnailByTheExifOrientation)
{
    MAKER_FIXTURE f;
    WriteBytes(f.dir.File("scaled.jpg"), WithExif(HalvesJpeg(640, 320), 6, {}));
    WriteBytes(f.dir.File("embedded.jpg"), WithExif(HalvesJpeg(640, 320), 6, HalvesJpeg(160, 80)));
    ASSERT_TRUE(WriteSolidPicture(f.dir.File("plain.ppm"), 8, 8, 0, 0, 0));
    for (const char* name : {"scaled.jpg", "embedded.jpg"}) {
        SCOPED_TRACE(name);
        ThumbRoute route {};
        const THUMB_RESULT r = f.Make(f.dir.File(name), kThumbNormal, &route);
        ASSERT_EQ(r.status, THUMB_RESULT::Status::kReady) << r.reason;
        EXPECT_EQ(route, name[0] == 's' ? ThumbRoute::kScaledJpeg : ThumbRoute::kExifThumbnail);
        ASSERT_EQ(r.picture->Width(), 64);
        ASSERT_EQ(r.picture->Height(), 128);
        EXPECT_TRUE(Near(At(r, 32, 10), kRed));
        EXPECT_TRUE(Near(At(r, 32, 117), kBlue));
        const std::map<std::string, std::string> keys = [&] {
            std::map<std::string, std::string> k;
            THUMB_SOURCE s;
            EXPECT_TRUE(ReadThumbSource(f.dir.File(name), s));
            for (const PNG_TEXT& t : ReadPngText(ReadBytes(f.cache.ThumbnailPath(s.uri, kThumbNormal))))
                k[t.key] = t.value;
            return k;
        }();
        EXPECT_EQ(keys.at("Thumb::Image::Width"), "320"); // the picture as shown
        EXPECT_EQ(keys.at("Thumb::Image::Height"), "640");
    }
}

TEST(ThumbnailMaker, AChangedFileIsMadeAgain)
{
    MAKER_FIXTURE f;
    const std::string path = f.dir.File("photo.jpg");
    WriteBytes(path, SolidJpeg(400, 300, 0, 0, 255));
    SetMtime(path, 1600000000);
    ASSERT_TRUE(Near(At(f.Make(path, kThumbNormal), 5, 5), kRed));
    WriteBytes(path, SolidJpeg(400, 300, 255, 0, 0));
    SetMtime(path, 1600000100);
    ThumbRoute route {};
    const THUMB_RESULT r = f.Make(path, kThumbNormal, &route);
    EXPECT_EQ(route, ThumbRoute::kScaledJpeg);
    EXPECT_TRUE(Near(At(r, 5, 5), kBlue));
    EXPECT_TRUE(Near(At(f.Make(path, kThumbNormal, &route), 5, 5), kBlue));
    EXPECT_EQ(route, ThumbRoute::kCache) << "the new thumbnail replaced the stale one";
}

TEST(ThumbnailMaker, ARefusedFileLeavesAFailureRecord)
{
    MAKER_FIXTURE f;
    const Bytes huge = WithFrameSize(SolidJpeg(64, 48, 0, 0, 255), 5000, 5000);
    const Bytes png = [&] {
        EXPECT_TRUE(WriteSolidPicture(f.dir.File("src.ppm"), 4, 4, 1, 2, 3));
        TIMAGE_INFO doc;
        EXPECT_EQ(doc.Open(f.dir.File("src.ppm")), kOk);
        EXPECT_EQ(PrepareSave(doc, kSavePng, f.dir.File("src.png")), kOk);
        EXPECT_EQ(doc.Save(), kOk);
        return ReadBytes(f.dir.File("src.png"));
    }();
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"junk.jpg", ToBytes("not a picture at all")},
        {"huge.jpg", huge},
        {"cut.png", Bytes(png.begin(), png.begin() + 20)},
        {"tune.mp3", ToBytes("ID3")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = f.dir.File(c.name);
        WriteBytes(path, c.bytes);
        SetMtime(path, 1600000000);
        THUMB_SOURCE source;
        ASSERT_TRUE(ReadThumbSource(path, source));
        const THUMB_RESULT r = f.Make(path, kThumbNormal);
        EXPECT_EQ(r.status, THUMB_RESULT::Status::kFailed);
        EXPECT_NE(r.code, kOk);
        EXPECT_TRUE(std::filesystem::exists(f.cache.FailurePath(source.uri)));
        EXPECT_FALSE(std::filesystem::exists(f.cache.ThumbnailPath(source.uri, kThumbNormal)));
        ThumbRoute route {};
        EXPECT_EQ(f.Make(path, kThumbNormal, &route).status, THUMB_RESULT::Status::kFailed);
        EXPECT_EQ(route, ThumbRoute::kFailureRecord) << "not tried again";
    }
    // Once the file is a picture, the record no longer stands.
    const std::string fixed = f.dir.File("junk.jpg");
    WriteBytes(fixed, SolidJpeg(32, 32, 0, 0, 255));
    SetMtime(fixed, 1600000001);
    EXPECT_EQ(f.Make(fixed, kThumbNormal).status, THUMB_RESULT::Status::kReady);
    // A file that is not there is no failure of the file.
    const THUMB_RESULT gone = f.Make(f.dir.File("gone.jpg"), kThumbNormal);
    EXPECT_EQ(gone.status, THUMB_RESULT::Status::kFailed);
    EXPECT_EQ(gone.code, kOpenFileError);
    EXPECT_FALSE(std::filesystem::exists(f.cache.FailurePath(CanonicalFileUri(f.dir.File("gone.jpg")))));
}

TEST(ThumbnailMaker, ALargerCachedThumbnailIsReduced)
{
    MAKER_FIXTURE f;
    const std::string path = f.dir.File("photo.jpg");
    WriteBytes(path, JpegOf(600, 400, PhotoLikePixel));
    ASSERT_EQ(f.Make(path, kThumbLarge).status, THUMB_RESULT::Status::kReady);
    ThumbRoute route {};
    const THUMB_RESULT r = f.Make(path, kThumbNormal, &route);
    ASSERT_EQ(r.status, THUMB_RESULT::Status::kReady);
    EXPECT_EQ(route, ThumbRoute::kLargerCache);
    EXPECT_EQ(r.picture->Width(), 128);
    EXPECT_NEAR(r.picture->Height(), 85, 1); // 85.3 from the photo, 85.5 from the 256 x 171 thumbnail
}

TEST(ThumbnailMaker, CacheFilesAndCancelledWorkStoreNothing)
{
    MAKER_FIXTURE f;
    const std::string inside = f.cache.Root() + "/large/abc.ppm";
    std::filesystem::create_directories(f.cache.Root() + "/large");
    ASSERT_TRUE(WriteSolidPicture(inside, 300, 300, 1, 2, 3));
    const THUMB_RESULT shown = f.Make(inside, kThumbNormal);
    EXPECT_EQ(shown.status, THUMB_RESULT::Status::kReady) << "shown, not stored";
    EXPECT_FALSE(std::filesystem::exists(f.cache.Root() + "/normal"));

    const std::string path = f.dir.File("photo.jpg");
    WriteBytes(path, JpegOf(300, 200, PhotoLikePixel));
    f.cancel = true;
    EXPECT_EQ(f.Make(path, kThumbNormal).status, THUMB_RESULT::Status::kCancelled);
    EXPECT_FALSE(std::filesystem::exists(f.cache.Root() + "/normal"));
}
