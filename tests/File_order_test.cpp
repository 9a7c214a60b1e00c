// The orders of a folder's file list: natural names, date taken from Exif files made here,
// modification time, size, type; descending; ties by name.
#include "viewer/logic/File_order.h"

#include "dec_enc/Exif_date.h"
#include "tests/jpeg_fixtures.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// names sorted by NaturalCompare (the byte order breaking its ties, as SortFiles does).
Names Sorted(Names names)
{
    std::vector<FILE_FACTS> files;
    for (const auto& n : names)
        files.push_back({"/folder/" + n});
    SortFiles(files, {});
    names.clear();
    for (const auto& f : files)
        names.push_back(f.path.substr(8));
    return names;
}

TEST(NaturalCompare, OrdersNamesAsTheCollatorDoes)
{
    // Each row is in the order a numeric collator for English gives.
    const Names rows[] = {
        {"img1.jpg", "img2.jpg", "img10.jpg", "img11.jpg", "img100.jpg"},
        {"a", "A", "ab", "aB", "Ab", "AB", "abc"},               // case last, lower first
        {"x 1.jpg", "x_1.jpg", "x-1.jpg", "x.jpg", "x1.jpg", "xa.jpg"}, // space, punctuation, digits, letters
        {"1.5", "1.10", "2", "10"},
        {"IMG_0009.JPG", "img_0010.jpg", "IMG_0011.JPG"},
        {"e", "E", "\xc3\xa9", "\xc3\x89", "f"},                  // e, E, é, É: accents before case
        {"caf\xc3\xa9" "1", "cafe2", "caf\xc3\xa9" "2", "cafe10"},   // accents only when the rest is equal
        {"z", "\xce\xb1", "\xe6\x97\xa5"},                       // other letters after the Latin ones
        {"007", "7", "08"},                                      // equal numbers keep their bytes' order
        {"photo 9.png", "photo 10.png", "photo10.png"},
    };
    for (const Names& row : rows) {
        Names reversed(row.rbegin(), row.rend());
        EXPECT_EQ(Sorted(reversed), row);
        for (std::size_t i = 1; i < row.size(); ++i)
            EXPECT_LE(NaturalCompare(row[i - 1], row[i]), 0) << row[i - 1] << " / " << row[i];
    }
    EXPECT_EQ(NaturalCompare("img02", "img2"), 0);
    EXPECT_EQ(NaturalCompare("a\x01" "b", "ab"), 0); // control characters are ignored
    // Broken UTF-8 compares without reading past the end.
    EXPECT_NE(NaturalCompare("a\xe6\x97", "a\xe6"), 0);
}

// A little-endian Exif segment whose Exif IFD holds DateTimeOriginal (or the text given).
Bytes WithDateTaken(const Bytes& jpeg, const std::string& date)
{
    Bytes t = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](std::uint32_t v) {
        t.push_back(static_cast<std::uint8_t>(v));
        t.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    // IFD0 at 8: one entry, the Exif IFD pointer to 26; the Exif IFD: DateTimeOriginal at 44.
    put16(1);
    put16(0x8769), put16(4), put32(1), put32(26);
    put32(0);
    put16(1);
    put16(0x9003), put16(2), put32(20), put32(44);
    put32(0);
    t.insert(t.end(), date.begin(), date.end());
    t.push_back(0);
    const std::size_t length = 2 + 6 + t.size();
    Bytes out = {0xFF, 0xD8, 0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
                 'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), t.begin(), t.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

TEST(ExifDateTaken, ReadsDateTimeOriginalAndRefusesBadValues)
{
    const Bytes jpeg = SolidJpeg(8, 8, 1, 2, 3);
    EXIF_DATE d;
    ASSERT_TRUE(ExifDateTaken(WithDateTaken(jpeg, "2024:07:31 23:59:58"), d));
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 7);
    EXPECT_EQ(d.day, 31);
    EXPECT_EQ(d.hour, 23);
    EXPECT_EQ(d.minute, 59);
    EXPECT_EQ(d.second, 58);
    for (const char* bad : {"0000:00:00 00:00:00", "                   ", "2024-07-31 23:59:58", "2024:13:01 00:00:00"})
        EXPECT_FALSE(ExifDateTaken(WithDateTaken(jpeg, bad), d)) << bad;
    EXPECT_FALSE(ExifDateTaken(jpeg, d));
    // Cut anywhere inside the segment (76 bytes with the start-of-image marker): refused,
    // never read past the bytes.
    const Bytes whole = WithDateTaken(jpeg, "2024:07:31 23:59:58");
    ASSERT_TRUE(ExifDateTaken(std::span(whole).first(76), d));
    for (std::size_t n = 0; n < 76; ++n)
        EXPECT_FALSE(ExifDateTaken(std::span(whole).first(n), d)) << n;
}

class FileOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }
    // A file of size bytes modified at mtime (seconds); a JPEG with that date taken when date is set.
    std::string Make(const std::string& name, std::size_t size, std::time_t mtime, const std::string& date = {})
    {
        const std::string path = dir_.File(name);
        Bytes bytes = date.empty() ? Bytes(size, 'x') : WithDateTaken(SolidJpeg(8, 8, 1, 2, 3), date);
        WriteBytes(path, bytes);
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
        paths_.push_back(path);
        return path;
    }
    Names Order(SORT_ORDER order)
    {
        Names out;
        for (const auto& p : SortedFileList(paths_, order))
            out.push_back(p.substr(dir_.path().size() + 1));
        return out;
    }

    TempDir dir_;
    Names paths_;
};

TEST_F(FileOrder, EachKeyBothWaysWithTiesByName)
{
    const std::time_t day = 86400, y2020 = 1577836800;
    Make("b10.txt", 30, y2020 + 5 * day);
    Make("b2.txt", 30, y2020 + 3 * day);
    Make("A1.jpg", 0, y2020 + 9 * day, "2001:01:01 12:00:00"); // taken long before it was copied here
    Make("a1.png", 10, y2020 + 4 * day);
    Make("c.jpg", 0, y2020 + 1 * day, "2030:06:01 08:00:00");
    Make("d", 20, y2020 + 3 * day);
    const std::int64_t jpeg_size = static_cast<std::int64_t>(ReadBytes(dir_.File("c.jpg")).size());
    ASSERT_GT(jpeg_size, 30);

    const struct {
        SORT_ORDER order;
        Names want;
    } cases[] = {
        {{SortKey::kName, false}, {"A1.jpg", "a1.png", "b2.txt", "b10.txt", "c.jpg", "d"}},
        {{SortKey::kName, true}, {"d", "c.jpg", "b10.txt", "b2.txt", "a1.png", "A1.jpg"}},
        {{SortKey::kModified, false}, {"c.jpg", "b2.txt", "d", "a1.png", "b10.txt", "A1.jpg"}},
        {{SortKey::kModified, true}, {"A1.jpg", "b10.txt", "a1.png", "b2.txt", "d", "c.jpg"}},
        {{SortKey::kDateTaken, false}, {"A1.jpg", "b2.txt", "d", "a1.png", "b10.txt", "c.jpg"}},
        {{SortKey::kDateTaken, true}, {"c.jpg", "b10.txt", "a1.png", "b2.txt", "d", "A1.jpg"}},
        {{SortKey::kSize, false}, {"a1.png", "d", "b2.txt", "b10.txt", "A1.jpg", "c.jpg"}},
        {{SortKey::kSize, true}, {"A1.jpg", "c.jpg", "b2.txt", "b10.txt", "d", "a1.png"}},
        {{SortKey::kType, false}, {"d", "A1.jpg", "c.jpg", "a1.png", "b2.txt", "b10.txt"}},
        {{SortKey::kType, true}, {"b2.txt", "b10.txt", "a1.png", "A1.jpg", "c.jpg", "d"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Order(c.order), c.want) << static_cast<int>(c.order.key) << (c.order.descending ? " down" : " up");
}

// A collator passed in decides the names (here: plain byte order), in ties too.
TEST_F(FileOrder, ACollatorPassedInOrdersTheNames)
{
    Make("img10.jpg", 1, 100);
    Make("img2.jpg", 1, 100);
    Make("Img3.jpg", 1, 100);
    const NameCompare bytes = [](std::string_view a, std::string_view b) { return a.compare(b); };
    Names out;
    for (const auto& p : SortedFileList(paths_, {SortKey::kSize, false}, bytes))
        out.push_back(p.substr(dir_.path().size() + 1));
    EXPECT_EQ(out, (Names{"Img3.jpg", "img10.jpg", "img2.jpg"}));
    EXPECT_EQ(Order({SortKey::kSize, false}), (Names{"img2.jpg", "Img3.jpg", "img10.jpg"}));
}

} // namespace
