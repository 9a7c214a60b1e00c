// The decoding helper through its test reader: a helper that crashes, runs out of its memory
// limit or hangs becomes a refusal with its reason, no helper is left behind, a reply is
// checked against the bytes that came, and the helper inherits nothing but its input.
#include "base/Result_codes.h"
#include "dec_enc/Decode_helper.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

using namespace std::chrono_literals;

namespace {

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

// True when every helper started so far has been reaped.
bool NoChildLeft()
{
    int status = 0;
    return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// "reply:" and a reply made by hand: the header, then the bytes that follow it.
Bytes Reply(const HELPER_REPLY& header, const Bytes& rest)
{
    Bytes b = Text("reply:");
    const auto* h = reinterpret_cast<const std::uint8_t*>(&header);
    b.insert(b.end(), h, h + sizeof header);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

HELPER_REPLY Picture(std::uint32_t w, std::uint32_t h)
{
    HELPER_REPLY r;
    r.width = w;
    r.height = h;
    r.bits_per_pixel = 24;
    r.pixel_bytes = std::uint64_t{w} * h * 3;
    return r;
}

} // namespace

TEST(DecodeHelper, AHelperThatFailsIsARefusalWithItsReason)
{
    HELPER_LIMITS quick;
    quick.idle = 1s;
    HELPER_LIMITS small_memory;
    small_memory.memory_mib = 256;
    HELPER_LIMITS one_cpu_second;
    one_cpu_second.cpu_seconds = 1;
    one_cpu_second.idle = 60s; // the CPU limit ends it, not the wait
    const struct {
        const char* input;
        HELPER_LIMITS limits;
        int rc;
        const char* reason;
    } cases[] = {
        {"crash", {}, kDataError, "the test decoder crashed"},
        {"memory", small_memory, kMemoryError, "the test decoder ran out of its memory limit"},
        {"spin", quick, kDataError, "the test decoder took too long"},
        {"sleep", quick, kDataError, "the test decoder took too long"},
        {"spin", one_cpu_second, kDataError, "the test decoder took too long"},
        {"what", {}, kDataError, "the test reader does not know \"what\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        CODEC_CTX ctx;
        EXPECT_EQ(DecodeInHelper(ctx, HelperReader::kTest, Text(c.input), c.limits), c.rc);
        EXPECT_EQ(ctx.failure_reason, c.reason);
        EXPECT_TRUE(NoChildLeft());
    }
}

TEST(DecodeHelper, RepliesAreCheckedAgainstWhatCame)
{
    HELPER_REPLY good = Picture(2, 1);
    good.icc_bytes = 1;
    good.comment_bytes = 2;
    std::snprintf(good.compression, sizeof good.compression, "RLE");
    HELPER_REPLY bad_magic = good;
    bad_magic.magic[0] = 'X';
    HELPER_REPLY bad_code = good;
    bad_code.rc = 7;
    HELPER_REPLY refused;
    refused.rc = kBitDepthNotSupported;
    std::snprintf(refused.reason, sizeof refused.reason, "floating-point samples");
    HELPER_REPLY unterminated;
    unterminated.rc = kDataError;
    std::memset(unterminated.reason, 'x', sizeof unterminated.reason);
    HELPER_REPLY wrong_bytes = Picture(2, 1);
    wrong_bytes.pixel_bytes = 5;
    HELPER_REPLY huge_meta = Picture(2, 1);
    huge_meta.exif_bytes = 0xFFFFFFF0u;
    HELPER_REPLY no_width = Picture(0, 1);
    const Bytes good_rest = {9, 7, 8, 1, 2, 3, 4, 5, 6};
    const Bytes good_reply = Reply(good, good_rest);
    const struct {
        const char* name;
        Bytes input;
        int rc;
        std::string reason;
    } cases[] = {
        {"a picture with its meta", good_reply, kOk, ""},
        {"another magic", Reply(bad_magic, good_rest), kDataError, "the test decoder gave an answer that is not one"},
        {"no such result code", Reply(bad_code, good_rest), kDataError,
         "the test decoder gave an answer that is not one"},
        {"a refusal", Reply(refused, {}), kBitDepthNotSupported, "floating-point samples"},
        {"a reason without its end", Reply(unterminated, {}), kDataError, std::string(199, 'x')},
        {"70000 x 70000", Reply(Picture(70000, 70000), {}), kImageTooLarge,
         "the test decoder gave a picture over the size limit"},
        {"pixel bytes that are not the picture's", Reply(wrong_bytes, Bytes(5)), kDataError,
         "the test decoder gave an answer that is not one"},
        {"4 GiB of Exif", Reply(huge_meta, good_rest), kDataError, "the test decoder gave an answer that is not one"},
        {"no width", Reply(no_width, {}), kDataError, "the test decoder gave an answer that is not one"},
        {"rows cut short", Reply(Picture(1000, 1000), Bytes(10, 1)), kDataError,
         "the test decoder gave an answer that is not one"},
        {"a header cut short", Bytes(good_reply.begin(), good_reply.begin() + 20), kDataError,
         "the test decoder gave an answer that is not one"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CODEC_CTX ctx;
        ASSERT_EQ(DecodeInHelper(ctx, HelperReader::kTest, c.input), c.rc) << ctx.failure_reason;
        EXPECT_EQ(ctx.failure_reason, c.reason);
        EXPECT_TRUE(NoChildLeft());
        if (c.rc != kOk)
            continue;
        EXPECT_EQ(ctx.width, 2);
        EXPECT_EQ(ctx.height, 1);
        EXPECT_EQ(ctx.bits_per_pixel, 24);
        EXPECT_EQ(ctx.compression_name, "RLE");
        EXPECT_EQ(ctx.meta.icc_profile, Bytes{9});
        EXPECT_TRUE(ctx.meta.exif.empty());
        EXPECT_EQ(ctx.meta.comment, std::string("\x07\x08"));
        EXPECT_EQ(Bytes(ctx.decoded.data(), ctx.decoded.data() + 6), (Bytes{1, 2, 3, 4, 5, 6}));
    }
}

// Nothing of this process reaches the helper: not its environment, not a descriptor it
// left open without close-on-exec.
TEST(DecodeHelper, TheHelperInheritsOnlyItsInput)
{
    setenv("RAVELSCOPE_TEST_SECRET", "1", 1);
    const int stray = open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 3);
    CODEC_CTX ctx;
    ASSERT_EQ(DecodeInHelper(ctx, HelperReader::kTest, Text("inherited")), kOk) << ctx.failure_reason;
    close(stray);
    unsetenv("RAVELSCOPE_TEST_SECRET");
    const std::string& seen = ctx.meta.comment;
    EXPECT_EQ(seen.find("RAVELSCOPE_TEST_SECRET"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("PATH="), std::string::npos) << seen;
    std::set<std::string> fds;
    for (std::size_t at = seen.find("fd "); at != std::string::npos; at = seen.find("fd ", at + 1))
        fds.insert(seen.substr(at, seen.find('\n', at) - at));
    EXPECT_EQ(fds, (std::set<std::string>{"fd 0", "fd 1", "fd 2"}));
    EXPECT_EQ(ctx.width, 3);
    EXPECT_EQ(ctx.meta.icc_profile, (Bytes{1, 2, 3}));
}
