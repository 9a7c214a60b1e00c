#include "system/sane/Scanner.h"

#include "base/Pixel_buffer.h"
#include "base/Result_codes.h"
#include "platform/Dib.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

std::once_flag g_init_once;
SANE_Status g_init_status = SANE_STATUS_GOOD;
std::mutex g_sane_mutex; // SANE's front end calls are not made from two threads at once

bool StartSane(std::string& status)
{
    std::call_once(g_init_once, [] {
        SANE_Int version = 0;
        g_init_status = sane_init(&version, nullptr);
        if (g_init_status == SANE_STATUS_GOOD)
            std::atexit([] { sane_exit(); });
    });
    if (g_init_status != SANE_STATUS_GOOD) {
        status = std::string(kScannerNotStartedText) + " (" + sane_strstatus(g_init_status) + ")";
        return false;
    }
    return true;
}

struct HandleCloser {
    void operator()(void* h) const { sane_close(static_cast<SANE_Handle>(h)); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle OpenDevice(const std::string& name, std::string& status)
{
    SANE_Handle h = nullptr;
    const SANE_Status s = sane_open(name.c_str(), &h);
    if (s != SANE_STATUS_GOOD) {
        status = "Cannot open \"" + name + "\": " + sane_strstatus(s);
        return nullptr;
    }
    return Handle(h);
}

// The option of a name and its index, or null.
const SANE_Option_Descriptor* FindOption(SANE_Handle h, const std::string& name, SANE_Int& index)
{
    SANE_Int count = 0;
    if (sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return nullptr;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
        if (d != nullptr && d->name != nullptr && name == d->name) {
            index = i;
            return d;
        }
    }
    return nullptr;
}

bool IsYes(const std::string& v) { return v == "yes" || v == "true" || v == "1" || v == "on"; }

// Sets an option from its text. False with a status when the device refuses it.
bool SetOption(SANE_Handle h, const std::string& name, const std::string& value, std::string& status)
{
    SANE_Int index = 0;
    const SANE_Option_Descriptor* d = FindOption(h, name, index);
    if (d == nullptr || !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap)) {
        status = "The device has no option \"" + name + "\" to set";
        return false;
    }
    SANE_Status s = SANE_STATUS_INVAL;
    SANE_Int info = 0;
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        SANE_Bool b = IsYes(value) ? SANE_TRUE : SANE_FALSE;
        s = sane_control_option(h, index, SANE_ACTION_SET_VALUE, &b, &info);
        break;
    }
    case SANE_TYPE_INT: {
        SANE_Int v = static_cast<SANE_Int>(std::strtol(value.c_str(), nullptr, 10));
        s = sane_control_option(h, index, SANE_ACTION_SET_VALUE, &v, &info);
        break;
    }
    case SANE_TYPE_FIXED: {
        SANE_Fixed v = SANE_FIX(std::strtod(value.c_str(), nullptr));
        s = sane_control_option(h, index, SANE_ACTION_SET_VALUE, &v, &info);
        break;
    }
    case SANE_TYPE_STRING: {
        std::string buf(static_cast<std::size_t>(d->size > 0 ? d->size : 1), '\0');
        std::strncpy(buf.data(), value.c_str(), buf.size() - 1);
        s = sane_control_option(h, index, SANE_ACTION_SET_VALUE, buf.data(), &info);
        break;
    }
    default:
        break;
    }
    if (s != SANE_STATUS_GOOD) {
        status = "The device refused " + name + " = " + value + ": " + sane_strstatus(s);
        return false;
    }
    return true;
}

std::vector<std::string> StringList(const SANE_Option_Descriptor* d)
{
    std::vector<std::string> out;
    if (d != nullptr && d->constraint_type == SANE_CONSTRAINT_STRING_LIST)
        for (const SANE_String_Const* s = d->constraint.string_list; *s != nullptr; ++s)
            out.emplace_back(*s);
    return out;
}

std::string StringValue(SANE_Handle h, SANE_Int index, const SANE_Option_Descriptor* d)
{
    std::string buf(static_cast<std::size_t>(d->size > 0 ? d->size : 1) + 1, '\0');
    if (sane_control_option(h, index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
        return "";
    return std::string(buf.c_str());
}

int ToInt(const SANE_Option_Descriptor* d, SANE_Word w)
{
    return d->type == SANE_TYPE_FIXED ? static_cast<int>(SANE_UNFIX(w) + 0.5) : static_cast<int>(w);
}

// The bytes of one frame: lines of bytes_per_line.
struct Frame {
    SANE_Parameters p{};
    std::vector<std::uint8_t> data;
};

// The sample of channel c of pixel x in a line, scaled to 8 bits.
std::uint8_t Sample(const Frame& f, const std::uint8_t* line, std::int64_t x, int c, int channels)
{
    const std::int64_t i = x * channels + c;
    switch (f.p.depth) {
    case 1: {
        // Eight pixels a byte; in a colour frame the bytes of red, green and blue of the
        // same eight pixels follow each other.
        const std::int64_t byte = channels == 1 ? x >> 3 : (x >> 3) * 3 + c;
        const bool bit = ((line[byte] >> (7 - (x & 7))) & 1) != 0;
        // A set bit is black in a grey frame, full intensity in a colour one.
        if (f.p.format == SANE_FRAME_GRAY)
            return bit ? 0 : 255;
        return bit ? 255 : 0;
    }
    case 16: {
        std::uint16_t v = 0;
        std::memcpy(&v, line + i * 2, 2); // the machine's own byte order
        return static_cast<std::uint8_t>(v >> 8);
    }
    default:
        return line[i];
    }
}

const std::uint8_t* LineOf(const Frame& f, int y)
{
    return f.data.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(f.p.bytes_per_line);
}

bool ReadFrame(SANE_Handle h, SCAN_PROGRESS& progress, Frame& f, SCAN_RESULT& r)
{
    if (f.p.bytes_per_line <= 0 || f.p.pixels_per_line <= 0) {
        r.rc = kDataError;
        r.status = "The device gave no picture size";
        return false;
    }
    const bool unknown_height = f.p.lines < 0;
    if (!unknown_height) {
        const std::size_t total = PictureBytes(f.p.pixels_per_line, f.p.lines, 3);
        if (total == SIZE_MAX) {
            r.rc = kImageTooLarge;
            r.status = ResultText(kImageTooLarge);
            return false;
        }
        f.data.reserve(static_cast<std::size_t>(f.p.bytes_per_line) * static_cast<std::size_t>(f.p.lines));
    }
    std::uint8_t buf[65536];
    for (;;) {
        if (progress.cancel.load()) {
            sane_cancel(h);
            r.rc = kOk;
            r.status = "Cancelled";
            return false;
        }
        SANE_Int n = 0;
        const SANE_Status s = sane_read(h, buf, sizeof buf, &n);
        if (s == SANE_STATUS_EOF)
            break;
        if (s != SANE_STATUS_GOOD) {
            r.rc = kDataError;
            r.status = std::string("The scan stopped: ") + sane_strstatus(s);
            return false;
        }
        if (n <= 0)
            continue;
        // The picture at 24 bits must stay under the cap, however high it grows.
        const std::size_t lines = (f.data.size() + static_cast<std::size_t>(n)) /
                                  static_cast<std::size_t>(f.p.bytes_per_line) + 1;
        if (PictureBytes(f.p.pixels_per_line, static_cast<std::int64_t>(lines), 3) == SIZE_MAX) {
            sane_cancel(h);
            r.rc = kImageTooLarge;
            r.status = ResultText(kImageTooLarge);
            return false;
        }
        f.data.insert(f.data.end(), buf, buf + n);
        progress.bytes.fetch_add(n);
    }
    // A cancel may come back as a normal end of data with part of the picture.
    if (progress.cancel.load()) {
        r.rc = kOk;
        r.status = "Cancelled";
        return false;
    }
    const std::size_t bpl = static_cast<std::size_t>(f.p.bytes_per_line);
    if (unknown_height) {
        f.p.lines = static_cast<SANE_Int>(f.data.size() / bpl);
    } else if (f.data.size() < bpl * static_cast<std::size_t>(f.p.lines)) {
        r.rc = kDataError;
        r.status = "The scan ended short of its picture";
        return false;
    }
    if (f.p.lines <= 0) {
        r.rc = kDataError;
        r.status = "The scan gave no lines";
        return false;
    }
    return true;
}

} // namespace

bool ListScanDevices(std::vector<SCAN_DEVICE>& out, std::string& status)
{
    out.clear();
    if (!StartSane(status))
        return false;
    std::lock_guard lock(g_sane_mutex);
    const SANE_Device** list = nullptr;
    const SANE_Status s = sane_get_devices(&list, SANE_TRUE);
    if (s != SANE_STATUS_GOOD) {
        status = std::string("No device list: ") + sane_strstatus(s);
        return false;
    }
    for (; list != nullptr && *list != nullptr; ++list) {
        const SANE_Device* d = *list;
        out.push_back({d->name, std::string(d->vendor) + " " + d->model + " (" + d->type + ")"});
    }
    return true;
}

bool ReadScanChoices(const std::string& device, SCAN_CHOICES& out, std::string& status)
{
    out = {};
    if (!StartSane(status))
        return false;
    std::lock_guard lock(g_sane_mutex);
    Handle h = OpenDevice(device, status);
    if (!h)
        return false;
    SANE_Int index = 0;
    if (const SANE_Option_Descriptor* d = FindOption(h.get(), SANE_NAME_SCAN_MODE, index)) {
        out.modes = StringList(d);
        out.mode = StringValue(h.get(), index, d);
    }
    if (const SANE_Option_Descriptor* d = FindOption(h.get(), SANE_NAME_SCAN_SOURCE, index)) {
        out.sources = StringList(d);
        out.source = StringValue(h.get(), index, d);
    }
    if (const SANE_Option_Descriptor* d = FindOption(h.get(), SANE_NAME_SCAN_RESOLUTION, index);
        d != nullptr && (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED)) {
        SANE_Word w = 0;
        if (sane_control_option(h.get(), index, SANE_ACTION_GET_VALUE, &w, nullptr) == SANE_STATUS_GOOD)
            out.resolution = ToInt(d, w);
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i)
                out.resolutions.push_back(ToInt(d, d->constraint.word_list[i]));
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            const int lo = ToInt(d, d->constraint.range->min);
            const int hi = ToInt(d, d->constraint.range->max);
            for (const int v : {75, 100, 150, 200, 300, 600, 1200})
                if (v >= lo && v <= hi)
                    out.resolutions.push_back(v);
            if (out.resolutions.empty())
                out.resolutions.push_back(lo);
            // The device's current value is offered too, in its place.
            if (out.resolution >= lo && out.resolution <= hi &&
                std::find(out.resolutions.begin(), out.resolutions.end(), out.resolution) == out.resolutions.end())
                out.resolutions.insert(std::lower_bound(out.resolutions.begin(), out.resolutions.end(), out.resolution),
                                       out.resolution);
        }
    }
    return true;
}

SCAN_RESULT ScanPicture(const SCAN_REQUEST& request, SCAN_PROGRESS& progress, Dib& out)
{
    SCAN_RESULT r;
    if (!StartSane(r.status)) {
        r.rc = kOpenFileError;
        return r;
    }
    std::lock_guard lock(g_sane_mutex);
    Handle h = OpenDevice(request.device, r.status);
    if (!h) {
        r.rc = kOpenFileError;
        return r;
    }
    std::vector<std::pair<std::string, std::string>> options;
    if (!request.mode.empty())
        options.emplace_back(SANE_NAME_SCAN_MODE, request.mode);
    if (!request.source.empty())
        options.emplace_back(SANE_NAME_SCAN_SOURCE, request.source);
    options.insert(options.end(), request.options.begin(), request.options.end());
    if (request.resolution > 0)
        options.emplace_back(SANE_NAME_SCAN_RESOLUTION, std::to_string(request.resolution));
    for (const auto& [name, value] : options)
        if (!SetOption(h.get(), name, value, r.status)) {
            r.rc = kFormatNotSupported;
            return r;
        }

    // One frame (grey or RGB), or three (red, green, blue) of a three-pass scan.
    Frame frames[3];
    int frame_count = 0;
    progress.bytes = 0;
    for (;;) {
        if (frame_count == 3) {
            r.rc = kDataError;
            r.status = "The device sent more frames than a picture has";
            sane_cancel(h.get());
            return r;
        }
        const SANE_Status s = sane_start(h.get());
        if (s != SANE_STATUS_GOOD) {
            r.rc = kDataError;
            r.status = std::string("The scan did not start: ") + sane_strstatus(s);
            sane_cancel(h.get());
            return r;
        }
        Frame& f = frames[frame_count++];
        if (sane_get_parameters(h.get(), &f.p) != SANE_STATUS_GOOD) {
            r.rc = kDataError;
            r.status = "The device gave no picture parameters";
            sane_cancel(h.get());
            return r;
        }
        if (f.p.depth != 1 && f.p.depth != 8 && f.p.depth != 16) {
            r.rc = kBitDepthNotSupported;
            r.status = ResultText(kBitDepthNotSupported);
            sane_cancel(h.get());
            return r;
        }
        const int channels = f.p.format == SANE_FRAME_RGB ? 3 : 1;
        const std::int64_t row_bits = static_cast<std::int64_t>(f.p.pixels_per_line) * channels * f.p.depth;
        if (f.p.bytes_per_line < (row_bits + 7) / 8) {
            r.rc = kDataError;
            r.status = "The device's line length does not hold its pixels";
            sane_cancel(h.get());
            return r;
        }
        // A three-pass scan sends the picture's bytes three times.
        const int passes = f.p.format == SANE_FRAME_RED || f.p.format == SANE_FRAME_GREEN ||
                                   f.p.format == SANE_FRAME_BLUE
                               ? 3
                               : 1;
        progress.expected = f.p.lines < 0 ? -1 : static_cast<std::int64_t>(f.p.bytes_per_line) * f.p.lines * passes;
        if (!ReadFrame(h.get(), progress, f, r)) {
            sane_cancel(h.get());
            return r;
        }
        if (f.p.last_frame)
            break;
    }
    sane_cancel(h.get()); // ends the scan: one picture per acquisition

    const Frame& first = frames[0];
    const int width = first.p.pixels_per_line;
    const int height = first.p.lines;
    if (frame_count > 1)
        for (int i = 1; i < frame_count; ++i)
            if (frames[i].p.pixels_per_line != width || frames[i].p.lines < height) {
                r.rc = kDataError;
                r.status = "The colour passes differ in size";
                return r;
            }
    if (const int rc = out.SetSize(width, height, 24); rc != kOk) {
        r.rc = rc;
        r.status = ResultText(rc);
        return r;
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = out.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t rgb[3] = {};
            if (first.p.format == SANE_FRAME_GRAY) {
                rgb[0] = rgb[1] = rgb[2] =
                    Sample(first, LineOf(first, y), x, 0, 1);
            } else if (first.p.format == SANE_FRAME_RGB) {
                for (int c = 0; c < 3; ++c)
                    rgb[c] = Sample(first, LineOf(first, y), x, c, 3);
            } else {
                for (int i = 0; i < frame_count; ++i) {
                    const Frame& f = frames[i];
                    const int c = f.p.format == SANE_FRAME_RED ? 0 : f.p.format == SANE_FRAME_GREEN ? 1 : 2;
                    rgb[c] = Sample(f, LineOf(f, y), x, 0, 1);
                }
            }
            dst[3 * x] = rgb[2];
            dst[3 * x + 1] = rgb[1];
            dst[3 * x + 2] = rgb[0];
        }
    }
    r.outcome = ScanOutcome::kPicture;
    r.rc = kOk;
    return r;
}
