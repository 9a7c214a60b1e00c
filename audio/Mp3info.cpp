#include "audio/Mp3info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

namespace {

// Random access to the bytes being walked; reads stop at the size fixed when the source
// was made, so a growing file cannot keep the walk going.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to n bytes from offset to dst; fewer (or none) at the end.
    virtual std::size_t ReadAt(std::uint64_t offset, std::uint8_t* dst, std::size_t n) = 0;
    virtual std::uint64_t Size() const = 0;
};

class SpanSource final : public ByteSource {
public:
    explicit SpanSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* dst, std::size_t n) override
    {
        if (offset >= bytes_.size())
            return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, bytes_.size() - offset));
        std::memcpy(dst, bytes_.data() + offset, n);
        return n;
    }
    std::uint64_t Size() const override { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
};

// A regular file read through one window of kWindow bytes: the byte-by-byte header
// search runs in memory, and skipping a frame body costs nothing until the next header
// falls outside the window.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size), window_(kWindow) {}
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* dst, std::size_t n) override
    {
        std::size_t copied = 0;
        while (copied < n && offset < size_) {
            if (offset < start_ || offset >= start_ + filled_) {
                if (!Fill(offset))
                    break;
            }
            const std::size_t at = static_cast<std::size_t>(offset - start_);
            const std::size_t take = std::min(n - copied, filled_ - at);
            std::memcpy(dst + copied, window_.data() + at, take);
            copied += take;
            offset += take;
        }
        return copied;
    }
    std::uint64_t Size() const override { return size_; }

private:
    static constexpr std::size_t kWindow = 64 * 1024;

    bool Fill(std::uint64_t offset)
    {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - offset));
        ssize_t got = 0;
        do
            got = pread(fd_, window_.data(), want, static_cast<off_t>(offset));
        while (got < 0 && errno == EINTR);
        start_ = offset;
        filled_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        return filled_ > 0;
    }

    int fd_;
    std::uint64_t size_;
    std::vector<std::uint8_t> window_;
    std::uint64_t start_ = 0;
    std::size_t filled_ = 0;
};

// Bit rates in kbit/s by 4-bit index: MPEG 1 layers 1, 2, 3, then the lower sampling
// frequencies' layer 1 and layers 2 and 3. Index 15 is not a rate; headers carrying it
// are not taken as frames.
constexpr std::int32_t kBitRates[4][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
};
constexpr std::int32_t kLowBitRates[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1};

// Sample rates by version code (1 MPEG 2.5, 2 MPEG 2, 3 MPEG 1) and 2-bit index.
constexpr std::int32_t kSampleRates[4][3] = {
    {0, 0, 0}, {11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};

constexpr std::uint8_t kVersionCodes[4] = {1, 0, 2, 3};
constexpr std::int32_t kLayers[4] = {0, 3, 2, 1};

std::int32_t BitRate(std::uint8_t version_code, std::int32_t layer, int index)
{
    if (layer < 1 || layer > 3)
        return 0;
    if (version_code == 3)
        return kBitRates[layer - 1][index];
    return layer == 1 ? kBitRates[3][index] : kLowBitRates[index];
}

// Eleven sync bits, a layer other than 00 and a bit-rate index other than 15.
bool IsFrameHeader(const std::uint8_t* h)
{
    return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && ((h[1] >> 1) & 3) != 0 && (h[2] >> 4) != 15;
}

// Searches a header from pos on, one byte at a time, for at most kSyncSearchSteps steps;
// pos ends at the header found.
bool FindFrameHeader(ByteSource& src, std::uint64_t& pos, std::uint8_t* header)
{
    for (int step = 0;; ++step) {
        if (src.ReadAt(pos, header, 4) < 4)
            return false;
        if (IsFrameHeader(header))
            return true;
        if (step == CMP3INFO::kSyncSearchSteps)
            return false;
        ++pos;
    }
}

// Where the audio begins: after the ID3v2 tags at the start of the file, each skipped by
// its declared (synchsafe) size, plus ten bytes when it has a footer.
std::uint64_t AudioStart(ByteSource& src)
{
    std::uint64_t pos = 0;
    std::uint8_t h[10];
    while (src.ReadAt(pos, h, 10) == 10 && h[0] == 'I' && h[1] == 'D' && h[2] == '3' && h[3] != 0xFF &&
           h[4] != 0xFF && ((h[6] | h[7] | h[8] | h[9]) & 0x80) == 0) {
        const std::uint64_t size = (std::uint64_t{h[6]} << 21) | (std::uint64_t{h[7]} << 14) |
                                   (std::uint64_t{h[8]} << 7) | h[9];
        pos += 10 + size + ((h[5] & 0x10) != 0 ? 10 : 0);
    }
    return pos;
}

std::string Field(const std::uint8_t* tag, int from, int width)
{
    const auto* begin = reinterpret_cast<const char*>(tag + from);
    return std::string(begin, strnlen(begin, static_cast<std::size_t>(width)));
}

void Walk(ByteSource& src, CMP3INFO& info)
{
    std::uint64_t pos = AudioStart(src);
    std::uint64_t frames = 0, rate_sum = 0;
    double duration = 0.0;
    std::uint8_t h[4];
    while (FindFrameHeader(src, pos, h)) {
        const std::uint8_t b1 = h[1], b2 = h[2], b3 = h[3];
        if (frames == 0) {
            info.version_code = kVersionCodes[(b1 >> 3) & 3];
            info.layer = kLayers[(b1 >> 1) & 3];
            info.protection_bit = b1 & 1;
        }
        const std::int32_t rate = BitRate(info.version_code, info.layer, b2 >> 4);
        if (rate > 0)
            rate_sum += static_cast<std::uint64_t>(rate);
        // A reserved rate index or version keeps the rate of the frame before.
        if (const int index = (b2 >> 2) & 3; index != 3 && info.version_code != 0)
            info.sample_rate = kSampleRates[info.version_code][index];
        if (info.sample_rate == 0)
            break;
        info.channel_mode = static_cast<std::uint8_t>(b3 >> 6);
        info.copyright = (b3 >> 3) & 1;
        info.original = (b3 >> 2) & 1;
        info.emphasis = static_cast<std::uint8_t>(b3 & 3);

        const std::int64_t padding = (b2 >> 1) & 1;
        const std::int64_t r = rate, sr = info.sample_rate;
        std::int64_t frame_length = 0;
        if (info.layer == 1)
            frame_length = (12000 * r / sr + padding) * 4;
        else if (info.layer == 3 && (info.version_code == 1 || info.version_code == 2))
            frame_length = 72000 * r / sr + padding;
        else
            frame_length = 144000 * r / sr + padding;
        ++frames;
        if (rate > 0)
            duration += static_cast<double>(frame_length) * 8.0 / (static_cast<double>(rate) * 1000.0);
        // A frame shorter than its header (free format) moves on past the header.
        pos += static_cast<std::uint64_t>(std::max<std::int64_t>(frame_length, 4));
    }
    if (frames != 0) {
        info.flags |= CMP3INFO::kHasFrames;
        info.frame_count = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, std::numeric_limits<std::uint32_t>::max()));
        info.bit_rate = static_cast<std::int32_t>(rate_sum / frames);
        info.length = static_cast<std::int32_t>(std::min(duration, double{std::numeric_limits<std::int32_t>::max()}));
    }

    // A file under 128 bytes has no room for a tag.
    std::uint8_t tag[128];
    if (src.Size() < 128 || src.ReadAt(src.Size() - 128, tag, 128) != 128 || std::memcmp(tag, "TAG", 3) != 0)
        return;
    info.title = Field(tag, 3, 30);
    info.artist = Field(tag, 33, 30);
    info.album = Field(tag, 63, 30);
    info.year = Field(tag, 93, 4);
    if (tag[125] != 0) {
        info.comment = Field(tag, 97, 30);
    } else {
        info.comment = Field(tag, 97, 28);
        info.track = tag[126];
    }
    info.genre = tag[127];
    info.flags |= CMP3INFO::kHasTag;
}

// The ID3v1 genres with the later additions, spelled as that list spells them.
constexpr const char* kGenres[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music",
    "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba",
    "Folklore", "Ballad", "Power Ballad", "Rhytmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo",
    "Acapella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal",
    "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime", "JPop",
    "SynthPop",
};
static_assert(std::size(kGenres) == 148);

} // namespace

CMP3INFO::CMP3INFO(const std::string& path)
{
    Reset();
    Parse(path);
}

void CMP3INFO::Reset()
{
    *this = CMP3INFO{};
}

std::int32_t CMP3INFO::Parse(const std::string& path)
{
    Reset();
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 0;
    }
    FileSource src(fd, static_cast<std::uint64_t>(st.st_size));
    Walk(src, *this);
    close(fd);
    file_name = path;
    return 1;
}

void CMP3INFO::ParseBytes(std::span<const std::uint8_t> bytes)
{
    Reset();
    SpanSource src(bytes);
    Walk(src, *this);
}

const char* CMP3INFO::GenreName(std::int32_t index)
{
    return index >= 0 && index < 148 ? kGenres[index] : "";
}

const char* MpegVersionName(std::uint8_t version_code)
{
    switch (version_code) {
    case 1:
        return "MPEG 2.5";
    case 2:
        return "MPEG 2";
    case 3:
        return "MPEG 1";
    default:
        return "reserved";
    }
}

