#include "tests/test_support.h"

#include "base/Result_codes.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

TempDir::TempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "rvs-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr)
        std::abort();
    path_ = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

namespace {

// Every test program built with these helpers runs with a home of its own: HOME and the
// XDG user directories point into a fresh temporary folder, removed at exit, so that no
// test reads or writes the machine's user configuration (a test that needs other values
// sets them itself). The same as scripts/own_home.sh does for the window tests.
struct OWN_HOME {
    TempDir dir;
    OWN_HOME()
    {
        const auto place = [this](const char* variable, const char* sub) {
            const std::string p = sub[0] != '\0' ? dir.File(sub) : dir.path();
            std::filesystem::create_directories(p);
            setenv(variable, p.c_str(), 1);
        };
        place("HOME", "");
        place("XDG_CONFIG_HOME", ".config");
        place("XDG_DATA_HOME", ".local/share");
        place("XDG_CACHE_HOME", ".cache");
    }
} g_own_home;

} // namespace

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool HaveTool(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0; }

int RunCommand(const std::string& command)
{
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string CaptureCommand(const std::string& command, int* status)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int rc = pclose(p);
    if (status != nullptr)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string CorpusLocation()
{
    const char* env = std::getenv("RAVELSCOPE_CORPUS");
    return env != nullptr && *env != '\0' ? std::string(env) : std::string(RAVELSCOPE_CORPUS_DIR);
}

std::string CorpusDir()
{
    const std::string dir = CorpusLocation();
    struct stat st {};
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? dir : std::string();
}

std::string NoCorpus()
{
    return "no sample corpus at " + CorpusLocation() + " (RAVELSCOPE_CORPUS names another place)";
}

std::vector<CorpusEntry> CorpusEntries(const std::string& ext)
{
    std::vector<CorpusEntry> out;
    const std::string dir = CorpusDir();
    if (dir.empty())
        return out;
    std::ifstream index(dir + "/INDEX.tsv");
    std::string line;
    std::getline(index, line); // column names
    while (std::getline(index, line)) {
        std::istringstream cols(line);
        CorpusEntry e;
        std::getline(cols, e.ext, '\t');
        std::getline(cols, e.file, '\t');
        std::getline(cols, e.status, '\t');
        if (!ext.empty() && e.ext != ext)
            continue;
        e.path = dir + "/" + e.ext + "/" + e.file;
        out.push_back(std::move(e));
    }
    return out;
}

void LoadPicture(TIMAGE_INFO& doc, int w, int h, const Bytes& bgr)
{
    CODEC_CTX& ctx = *doc.context;
    if (ctx.ReserveDecoded(w, h) != kOk || doc.display->SetSize(w, h, 24) != kOk)
        std::abort();
    ctx.width = w;
    ctx.height = h;
    ctx.bits_per_pixel = 24;
    std::memcpy(ctx.decoded.data(), bgr.data(), bgr.size());
    for (int y = 0; y < h; ++y)
        std::memcpy(doc.display->ScanLine(y), bgr.data() + static_cast<std::size_t>(y) * w * 3,
                    static_cast<std::size_t>(w) * 3);
    doc.display_width = w;
    doc.display_height = h;
    doc.state = kPictureOpen;
    doc.edited = 0;
}

Bytes DisplayPixels(const TIMAGE_INFO& doc)
{
    Bytes out;
    const Dib& d = *doc.display;
    for (int y = 0; y < d.Height(); ++y)
        out.insert(out.end(), d.ScanLine(y), d.ScanLine(y) + static_cast<std::size_t>(d.Width()) * 3);
    return out;
}

Bytes PatternPixels(int w, int h)
{
    Bytes p(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<std::uint8_t>((i * 37 + i / 7) & 0xFF);
    return p;
}

bool ParsePpm(const Bytes& file, int& w, int& h, Bytes& bgr)
{
    std::string text(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(file.size(), 200)));
    std::istringstream in(text);
    std::string magic;
    int maxval = 0;
    in >> magic;
    while (in >> std::ws && in.peek() == '#')
        in.ignore(1000, '\n');
    in >> w >> h >> maxval;
    if (magic != "P6" || maxval != 255 || !in)
        return false;
    const auto start = static_cast<std::size_t>(in.tellg()) + 1;
    const std::size_t n = static_cast<std::size_t>(w) * h * 3;
    if (file.size() < start + n)
        return false;
    bgr.resize(n);
    for (std::size_t i = 0; i < n; i += 3) {
        bgr[i] = file[start + i + 2];
        bgr[i + 1] = file[start + i + 1];
        bgr[i + 2] = file[start + i];
    }
    return true;
}
