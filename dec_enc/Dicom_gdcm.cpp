// DICOM data sets through GDCM, which parses the file and decodes every common transfer
// syntax (native, deflate, RLE, JPEG, JPEG-LS, JPEG 2000). Read from memory; only the
// first frame is shown.
//
// Grey pictures: stored values masked to Bits Stored (sign-extended when signed), then the
// rescale slope and intercept, then the first window centre and width (the linear VOI
// function); without a usable window the first frame's range is stretched to 0..255.
// MONOCHROME1 is inverted. Colour: RGB as stored (16-bit samples keep their top 8 stored
// bits), YBR_FULL and YBR_FULL_422 through the full-range YCbCr equations, PALETTE COLOR
// through its lookup tables. Data sets without the 128-byte preamble and meta group get a
// meta group naming the little-endian syntax their first element shows.
//
// GDCM lives in a module of its own (dec_enc/gdcm/), loaded on the first DICOM file, and
// runs in a child process (see ReadInChild): its failures, exceptions and crashes alike
// come back as result codes.
#include "core/File_io.h"
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"
#include "dec_enc/gdcm/Gdcm_frame.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace dicom_gdcm;

bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }

void PutU16(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A preamble and meta group (File Meta Information Version, Transfer Syntax UID) for a
// bare little-endian data set, followed by the data set; empty when the bytes do not start
// like one.
std::vector<std::uint8_t> WithMetaGroup(std::span<const std::uint8_t> b)
{
    // Some such files carry a stray byte or two before their first element.
    std::size_t skip = 0;
    while (skip < 4 && !(b.size() >= skip + 8 && b[skip] == 0x08 && b[skip + 1] == 0x00 && b[skip + 3] == 0x00))
        ++skip;
    if (skip == 4)
        return {};
    b = b.subspan(skip);
    const bool explicit_vr = IsUpper(b[4]) && IsUpper(b[5]);
    std::string uid = explicit_vr ? "1.2.840.10008.1.2.1" : "1.2.840.10008.1.2";
    if (uid.size() % 2 != 0)
        uid.push_back('\0'); // values have even lengths
    std::vector<std::uint8_t> meta;
    PutU16(meta, 0x0002);
    PutU16(meta, 0x0001);
    meta.insert(meta.end(), {'O', 'B', 0, 0, 2, 0, 0, 0, 0, 1});
    PutU16(meta, 0x0002);
    PutU16(meta, 0x0010);
    meta.insert(meta.end(), {'U', 'I'});
    PutU16(meta, static_cast<unsigned>(uid.size()));
    meta.insert(meta.end(), uid.begin(), uid.end());

    std::vector<std::uint8_t> out(128, 0);
    out.insert(out.end(), {'D', 'I', 'C', 'M'});
    PutU16(out, 0x0002);
    PutU16(out, 0x0000);
    out.insert(out.end(), {'U', 'L', 4, 0});
    const auto n = static_cast<std::uint32_t>(meta.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    out.insert(out.end(), meta.begin(), meta.end());
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::uint8_t Clamp8(double v)
{
    return static_cast<std::uint8_t>(v <= 0.0 ? 0 : v >= 255.0 ? 255 : std::lround(v));
}

// GDCM sizes every value from its declared length before it reads it, so a length of
// 4 GiB in a file of a few bytes costs gigabytes of zeroed memory. This walk over the
// element structure refuses such lengths first; whatever it does not understand it
// leaves to GDCM.
class LengthCheck {
public:
    LengthCheck(std::span<const std::uint8_t> b, bool big) : b_(b), big_(big) {}

    // Elements from pos to end, or to the item delimiter of a delimited item; false when
    // a length runs past its container.
    bool Elements(std::size_t& pos, std::size_t end, bool explicit_vr, int depth)
    {
        bool more = true;
        while (more && end - pos >= 8)
            if (!One(pos, end, explicit_vr, depth, more))
                return false;
        return true;
    }

    // One element at pos; more turns false at a delimiter or at something not understood.
    bool One(std::size_t& pos, std::size_t end, bool explicit_vr, int depth, bool& more)
    {
        more = false;
        if (end - pos < 8)
            return true;
        const unsigned group = U16(pos), element = U16(pos + 2);
        if (group == 0xFFFE && (element == 0xE00D || element == 0xE0DD)) {
            pos += 8;
            more = depth == 0; // a delimiter ends an item; at the top it is skipped, as GDCM does
            return true;
        }
        std::uint32_t length = 0;
        bool sequence = false;
        const bool item_group = group == 0xFFFE; // other tags of this group carry 4-byte lengths
        const std::string vr {static_cast<char>(b_[pos + 4]), static_cast<char>(b_[pos + 5])};
        static const char* const kShort[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FL", "FD", "IS", "LO",
                                             "LT", "PN", "SH", "SL", "SS", "ST", "TM", "UI", "UL", "US"};
        static const char* const kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                            "SV", "UC", "UN", "UR", "UT", "UV"};
        auto in = [&](const auto& list) {
            return std::any_of(std::begin(list), std::end(list), [&](const char* v) { return vr == v; });
        };
        const bool long_form = in(kLong);
        // GDCM reads an element without a known representation in an explicit data set
        // as an implicit one (a 4-byte length): so does this walk.
        if (explicit_vr && !item_group && (long_form || in(kShort))) {
            sequence = vr == "SQ";
            if (long_form) {
                if (end - pos < 12)
                    return true;
                length = U32(pos + 8);
                pos += 12;
            } else {
                length = U16(pos + 6);
                pos += 8;
            }
        } else {
            length = U32(pos + 4);
            pos += 8;
        }
        if (length == kUndefined) {
            if (depth >= kMaxDepth)
                return true;
            const bool fragments = group == 0x7FE0 && element == 0x0010;
            more = true;
            return Items(pos, end, explicit_vr, fragments, depth + 1);
        }
        if (length > end - pos)
            return false;
        if (sequence && depth < kMaxDepth) {
            std::size_t inner = pos;
            if (!Items(inner, pos + length, explicit_vr, false, depth + 1))
                return false;
        }
        pos += length;
        more = true;
        return true;
    }

    // The items of a sequence (or the fragments of encapsulated pixel data), up to end or
    // the sequence delimiter.
    bool Items(std::size_t& pos, std::size_t end, bool explicit_vr, bool fragments, int depth)
    {
        while (end - pos >= 8) {
            const unsigned group = U16(pos), element = U16(pos + 2);
            const std::uint32_t length = U32(pos + 4);
            if (group != 0xFFFE || element != 0xE000) {
                if (group == 0xFFFE)
                    pos += 8; // the sequence delimiter
                return true;
            }
            pos += 8;
            if (length == kUndefined) {
                if (fragments || depth >= kMaxDepth)
                    return true;
                if (!Elements(pos, end, explicit_vr, depth + 1))
                    return false;
                continue;
            }
            if (length > end - pos)
                return false;
            if (!fragments) {
                std::size_t inner = pos;
                if (!Elements(inner, pos + length, explicit_vr, depth + 1))
                    return false;
            }
            pos += length;
        }
        return true;
    }

private:
    static constexpr std::uint32_t kUndefined = 0xFFFFFFFFu;
    static constexpr int kMaxDepth = 64;

    unsigned U16(std::size_t at) const
    {
        return big_ ? unsigned {b_[at]} << 8 | b_[at + 1] : unsigned {b_[at + 1]} << 8 | b_[at];
    }
    std::uint32_t U32(std::size_t at) const
    {
        const std::uint32_t a = U16(at), b = U16(at + 2);
        return big_ ? a << 16 | b : b << 16 | a;
    }

    std::span<const std::uint8_t> b_;
    bool big_;
};

// Whether the lengths of a file with preamble and meta group (or of a bare data set) fit.
bool LengthsFit(std::span<const std::uint8_t> b)
{
    std::size_t pos = 0;
    std::string syntax;
    if (b.size() >= 132 && std::memcmp(b.data() + 128, "DICM", 4) == 0) {
        pos = 132;
        LengthCheck meta(b, false); // the meta group is explicit little-endian
        bool more = true;
        while (more && b.size() - pos >= 8 && b[pos] == 0x02 && b[pos + 1] == 0x00) {
            const bool uid = b[pos + 2] == 0x10 && b[pos + 3] == 0x00;
            const std::size_t value = pos + 8;
            if (!meta.One(pos, b.size(), true, 0, more))
                return false;
            if (uid && more && pos > value)
                syntax.assign(reinterpret_cast<const char*>(b.data() + value), pos - value);
        }
    }
    while (!syntax.empty() && (syntax.back() == '\0' || syntax.back() == ' '))
        syntax.pop_back();
    if (syntax == "1.2.840.10008.1.2.1.99")
        return true; // deflated: the data set is not readable here
    const bool big = syntax == "1.2.840.10008.1.2.2";
    const bool explicit_vr = b.size() - pos >= 6 && IsUpper(b[pos + 4]) && IsUpper(b[pos + 5]);
    LengthCheck data(b, big);
    return data.Elements(pos, b.size(), explicit_vr, 0);
}

// Stored value of sample s of pixel i, masked to the stored bits and sign-extended.
std::int64_t Sample(const std::uint8_t* buf, const Frame& f, std::size_t i, std::size_t s)
{
    if (f.bits_allocated == 1)
        return (buf[i / 8] >> (i % 8)) & 1; // first pixel in the least significant bit
    const std::size_t pixels = std::size_t{f.width} * f.height;
    const std::size_t index = f.planar != 0 ? s * pixels + i : i * f.samples + s;
    const unsigned bytes = f.bits_allocated / 8;
    const std::uint8_t* p = buf + index * bytes;
    std::uint64_t raw = 0;
    for (unsigned k = 0; k < bytes; ++k) // GDCM hands samples over in little-endian order
        raw |= std::uint64_t{p[k]} << (8 * k);
    raw >>= f.high_bit + 1 - f.bits_stored;
    const std::uint64_t mask = (std::uint64_t{1} << f.bits_stored) - 1;
    raw &= mask;
    if (f.is_signed != 0 && (raw >> (f.bits_stored - 1)) & 1)
        return static_cast<std::int64_t>(raw | ~mask);
    return static_cast<std::int64_t>(raw);
}

void GreyPicture(CODEC_CTX& ctx, const std::uint8_t* buf, const Frame& f)
{
    const std::size_t pixels = std::size_t{f.width} * f.height;
    const double slope = f.slope == 0.0 || !std::isfinite(f.slope) ? 1.0 : f.slope;
    const double intercept = std::isfinite(f.intercept) ? f.intercept : 0.0;
    const bool window = std::isfinite(f.centre) && std::isfinite(f.window) && f.window >= 1.0;
    double low = 0.0, high = 0.0;
    if (!window) {
        std::int64_t lo = std::numeric_limits<std::int64_t>::max(), hi = std::numeric_limits<std::int64_t>::min();
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::int64_t v = Sample(buf, f, i, 0);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const double a = static_cast<double>(lo) * slope + intercept;
        const double b = static_cast<double>(hi) * slope + intercept;
        low = std::min(a, b);
        high = std::max(a, b);
    }
    const double c = f.centre - 0.5, w = f.window - 1.0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const double y = static_cast<double>(Sample(buf, f, i, 0)) * slope + intercept;
        double out = 0.0;
        if (window)
            out = y <= c - w / 2 ? 0.0 : y > c + w / 2 ? 255.0 : ((y - c) / w + 0.5) * 255.0;
        else
            out = high > low ? (y - low) * 255.0 / (high - low) : 0.0;
        std::uint8_t g = Clamp8(out);
        if (f.kind == Kind::InvertedGrey)
            g = static_cast<std::uint8_t>(255 - g);
        std::uint8_t* d = ctx.decoded.data() + i * 3;
        d[0] = d[1] = d[2] = g;
    }
}

void YbrToBgr(double y, double cb, double cr, std::uint8_t* d)
{
    cb -= 128.0;
    cr -= 128.0;
    d[2] = Clamp8(y + 1.402 * cr);
    d[1] = Clamp8(y - 0.344136 * cb - 0.714136 * cr);
    d[0] = Clamp8(y + 1.772 * cb);
}

void ColourPicture(CODEC_CTX& ctx, const std::uint8_t* buf, const Frame& f)
{
    const std::size_t pixels = std::size_t{f.width} * f.height;
    std::uint8_t* d = ctx.decoded.data();
    if (f.kind == Kind::Ybr422) { // each pair of pixels is stored as Y0, Y1, Cb, Cr
        for (std::size_t i = 0; i < pixels; i += 2, buf += 4, d += 6) {
            YbrToBgr(buf[0], buf[2], buf[3], d);
            YbrToBgr(buf[1], buf[2], buf[3], d + 3);
        }
        return;
    }
    const unsigned drop = f.bits_stored > 8 ? f.bits_stored - 8 : 0;
    for (std::size_t i = 0; i < pixels; ++i, d += 3) {
        double c[3];
        for (std::size_t s = 0; s < 3; ++s)
            c[s] = static_cast<double>(Sample(buf, f, i, s) >> drop);
        if (f.kind == Kind::Ybr) {
            YbrToBgr(c[0], c[1], c[2], d);
        } else {
            d[2] = Clamp8(c[0]);
            d[1] = Clamp8(c[1]);
            d[0] = Clamp8(c[2]);
        }
    }
}

bool WriteAll(int fd, const void* data, std::size_t n)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const ssize_t k = write(fd, p, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        p += k;
        n -= static_cast<std::size_t>(k);
    }
    return true;
}

// Reads n bytes unless the deadline passes or the writer goes away first.
bool ReadAll(int fd, void* data, std::size_t n, std::chrono::steady_clock::time_point deadline)
{
    auto* p = static_cast<std::uint8_t*>(data);
    while (n > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd pfd {fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0)
            continue;
        const ssize_t k = read(fd, p, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        p += k;
        n -= static_cast<std::size_t>(k);
    }
    return true;
}

// GDCM asserts (and so ends the process) on some malformed headers, and its decoders
// were not written for hostile input: it runs in a child process that hands the frame
// back through a pipe. A child that dies, or takes longer than the deadline, gives
// kDataError.
constexpr auto kChildDeadline = std::chrono::seconds(60);

// The GDCM module: beside the build's own copy (where the programs run from the build
// tree), else beside the executable. Loaded once; null when it cannot be.
READ_WITH_GDCM GdcmReader()
{
    static const READ_WITH_GDCM reader = []() -> READ_WITH_GDCM {
        std::vector<std::string> paths{RAVELSCOPE_GDCM_MODULE};
        char exe[4096];
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0) {
            std::string dir(exe, static_cast<std::size_t>(n));
            dir.erase(dir.find_last_of('/') + 1);
            paths.push_back(dir + "libravelscope_gdcm.so");
        }
        for (const std::string& path : paths)
            if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
                if (void* entry = dlsym(module, "ravelscope_read_with_gdcm"))
                    return reinterpret_cast<READ_WITH_GDCM>(entry);
        return nullptr;
    }();
    return reader;
}

int ReadInChild(std::span<const std::uint8_t> bytes, Frame& f, PixelBuffer& samples)
{
    const READ_WITH_GDCM read_with_gdcm = GdcmReader();
    if (read_with_gdcm == nullptr)
        return kFormatNotSupported;
    std::vector<std::uint8_t> prefixed;
    if (!(bytes.size() >= 132 && std::memcmp(bytes.data() + 128, "DICM", 4) == 0)) {
        prefixed = WithMetaGroup(bytes);
        if (prefixed.empty())
            return kMagicError;
        bytes = prefixed;
    }
    if (!LengthsFit(bytes))
        return kDataError;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return kUnknownError;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return kMemoryError;
    }
    if (pid == 0) {
        close(fds[0]);
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
            signal(sig, SIG_DFL); // no crash report: the parent answers for the child
        const rlimit no_core {0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        if (int null = open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0)
            dup2(null, STDERR_FILENO); // the codecs' own messages
        Frame out;
        std::vector<std::uint8_t> data;
        try {
            read_with_gdcm(bytes.data(), bytes.size(), &out, &data);
        } catch (const std::bad_alloc&) {
            out.rc = kMemoryError;
        } catch (...) {
            out.rc = kUnknownError;
        }
        if (out.rc != kOk)
            out.bytes = 0;
        const bool sent = WriteAll(fds[1], &out, sizeof out) && WriteAll(fds[1], data.data(), out.bytes);
        _exit(sent ? 0 : 1);
    }
    close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + kChildDeadline;
    int rc = kDataError;
    if (ReadAll(fds[0], &f, sizeof f, deadline)) {
        rc = f.rc;
        if (rc == kOk)
            rc = CheckFrame(f);
        if (rc == kOk && f.bytes != FrameBytes(f))
            rc = kDataError;
        if (rc == kOk)
            rc = samples.Reserve(static_cast<std::size_t>(f.bytes));
        if (rc == kOk && !ReadAll(fds[0], samples.data(), samples.size(), deadline))
            rc = kDataError;
    }
    close(fds[0]);
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return rc;
}

} // namespace

int DecodeDicomGdcm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    Frame f;
    PixelBuffer samples;
    if (int rc = ReadInChild(bytes, f, samples); rc != kOk)
        return rc;
    if (int rc = ctx.ReserveDecoded(f.width, f.height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(f.width);
    ctx.height = static_cast<std::int32_t>(f.height);
    const bool grey = f.kind == Kind::Grey || f.kind == Kind::InvertedGrey;
    if (grey)
        GreyPicture(ctx, samples.data(), f);
    else
        ColourPicture(ctx, samples.data(), f);
    ctx.bits_per_pixel = grey ? static_cast<std::int32_t>(f.bits_stored) : 24;
    ctx.compression_name = f.compression;
    return ctx.CopyToDirectTarget();
}

int DecodeDicomFile(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    const int rc = DecodeDicomGdcm(ctx, bytes);
    if (rc == kOk)
        return kOk;
    // Files GDCM cannot read may still have the one fixed layout of the older reader.
    const int fixed = DecodeDicom(ctx, bytes);
    return fixed == kOk || rc == kMagicError ? fixed : rc;
}
