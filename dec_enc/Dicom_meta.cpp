// DICOM's preamble and meta group, and a walk over the element lengths.
//
// A file starts with a 128-byte preamble, "DICM" and the meta group (group 0x0002,
// explicit little-endian), then the data set in the transfer syntax the meta group
// names. Some files are a bare data set: its first element (group 0x0008) shows whether it
// is explicit or implicit; it is read as little-endian.
#include "dec_enc/Dicom_meta.h"

#include "base/Result_codes.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

namespace {

bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }

void PutU16(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

} // namespace

std::vector<std::uint8_t> WithDicomMetaGroup(std::span<const std::uint8_t> b)
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

namespace {

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

} // namespace

bool DicomLengthsFit(std::span<const std::uint8_t> b)
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

int PrepareDicomBytes(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& made,
                      std::span<const std::uint8_t>& out)
{
    out = bytes;
    if (!(bytes.size() >= 132 && std::memcmp(bytes.data() + 128, "DICM", 4) == 0)) {
        made = WithDicomMetaGroup(bytes);
        if (made.empty())
            return kMagicError;
        out = made;
    }
    return DicomLengthsFit(out) ? kOk : kDataError;
}
