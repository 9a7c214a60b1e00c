#include "ops/Medfltr.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Ops_common.h"
#include "ops/Simd_level.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

std::int32_t MedianOf(std::int32_t* values, std::int32_t a)
{
    for (std::int32_t i = 0; i + 1 < a; ++i)
        for (std::int32_t j = i + 1; j < a; ++j)
            if (values[i] < values[j])
                std::swap(values[i], values[j]);
    return a > 0 ? values[a / 2] : 0;
}

namespace {

// Sorts lane[0][k] .. lane[a − 1][k] ascending for every k < n with an odd-even
// transposition network of min/max over whole lanes, and returns the lane holding the
// element at ascending index a − 1 − a div 2 (MedianOf's descending index a div 2).
const std::uint8_t* SortLanes(std::uint8_t* const* lane, int a, int n)
{
    // Chunks small enough that all lanes of one stay in the first-level cache.
    constexpr int kStep = 512;
    for (int start = 0; start < n; start += kStep) {
        const int m = std::min(kStep, n - start);
        for (int round = 0; round < a; ++round)
            for (int j = round & 1; j + 1 < a; j += 2) {
                std::uint8_t* __restrict lo = lane[j] + start;
                std::uint8_t* __restrict hi = lane[j + 1] + start;
                for (int k = 0; k < m; ++k) {
                    const std::uint8_t p = lo[k], q = hi[k];
                    lo[k] = p < q ? p : q;
                    hi[k] = p < q ? q : p;
                }
            }
    }
    return lane[a - 1 - a / 2];
}

int Wrap(long long i, int n) { return static_cast<int>(((i % n) + n) % n); }

// Windows up to this size go through a selection network held in vector registers.
constexpr int kMaxNetwork = 16;

// One step of a network: lane i gets min(i, j) when kind has bit 1, lane j gets max(i, j)
// when kind has bit 2.
struct Step {
    int i = 0, j = 0, kind = 0;
};

struct Network {
    Step steps[128];
    int count = 0;
    int target = 0; // the lane holding the median at the end
};

// Batcher's odd-even merge sort for n inputs, pruned to the steps the median depends on:
// walking back from the median's lane, a comparison is kept only when a later kept step
// (or the result) reads one of its outputs, and writes only those outputs. Any correct
// selection gives the same value as MedianOf: the element at ascending index
// n − 1 − n div 2.
constexpr Network SelectionNetwork(int n)
{
    Step all[128] = {};
    int m = 0;
    for (int p = 1; p < n; p += p)
        for (int k = p; k >= 1; k /= 2)
            for (int j = k % p; j + k < n; j += 2 * k)
                for (int i = 0; i < k && i + j + k < n; ++i)
                    if ((i + j) / (2 * p) == (i + j + k) / (2 * p))
                        all[m++] = Step{i + j, i + j + k, 3};
    Network net;
    net.target = n - 1 - n / 2;
    bool needed[kMaxNetwork] = {};
    needed[net.target] = true;
    Step kept[128] = {};
    int c = 0;
    for (int q = m - 1; q >= 0; --q) {
        const Step st = all[q];
        const int kind = (needed[st.i] ? 1 : 0) | (needed[st.j] ? 2 : 0);
        if (kind == 0)
            continue;
        kept[c++] = Step{st.i, st.j, kind};
        needed[st.i] = needed[st.j] = true;
    }
    for (int q = 0; q < c; ++q)
        net.steps[q] = kept[c - 1 - q];
    net.count = c;
    return net;
}

template <int A>
struct Selection {
    static constexpr Network net = SelectionNetwork(A);
};

// Byte vectors; the element-wise compare and select below become min/max instructions.
typedef std::uint8_t Bytes16 __attribute__((vector_size(16)));
typedef std::uint8_t Bytes32 __attribute__((vector_size(32)));
typedef std::uint8_t Bytes64 __attribute__((vector_size(64)));

template <int I, int J, int Kind, class V>
[[gnu::always_inline]] inline void Apply(V* v)
{
    const V a = v[I], b = v[J];
    if constexpr ((Kind & 1) != 0)
        v[I] = a < b ? a : b;
    if constexpr ((Kind & 2) != 0)
        v[J] = a < b ? b : a;
}

template <int A, class V, std::size_t... Q>
[[gnu::always_inline]] inline void RunNetwork([[maybe_unused]] V* v, std::index_sequence<Q...>)
{
    constexpr const Network& net = Selection<A>::net;
    (Apply<net.steps[Q].i, net.steps[Q].j, net.steps[Q].kind>(v), ...);
}

// out[k] = median of in[0][k] .. in[A − 1][k] for k < n, sizeof(V) bytes at a time; the
// last vector overlaps the one before it. V = one byte does what the vectors leave.
template <int A, class V>
[[gnu::always_inline]] inline void MedianSpan(const std::uint8_t* const* in, std::uint8_t* out, std::size_t n)
{
    constexpr std::size_t kW = sizeof(V);
    constexpr const Network& net = Selection<A>::net;
    if (n < kW) {
        if constexpr (kW > 1)
            MedianSpan<A, std::uint8_t>(in, out, n);
        return;
    }
    for (std::size_t k = 0;; k += kW) {
        if (k + kW > n)
            k = n - kW;
        V v[A];
        for (int o = 0; o < A; ++o)
            std::memcpy(&v[o], in[o] + k, kW);
        RunNetwork<A>(v, std::make_index_sequence<static_cast<std::size_t>(net.count)>{});
        std::memcpy(out + k, &v[net.target], kW);
        if (k + kW == n)
            break;
    }
}

using SpanFn = void (*)(const std::uint8_t* const*, std::uint8_t*, std::size_t);

template <int A>
void SpanPlain(const std::uint8_t* const* in, std::uint8_t* out, std::size_t n)
{
    MedianSpan<A, Bytes16>(in, out, n);
}

#if defined(__x86_64__) || defined(__i386__)
template <int A>
[[gnu::target("avx2")]] void SpanAvx2(const std::uint8_t* const* in, std::uint8_t* out, std::size_t n)
{
    MedianSpan<A, Bytes32>(in, out, n);
}

template <int A>
[[gnu::target("avx512f,avx512bw")]] void SpanAvx512(const std::uint8_t* const* in, std::uint8_t* out, std::size_t n)
{
    MedianSpan<A, Bytes64>(in, out, n);
}
#endif

template <std::size_t... A>
SpanFn PickSpan(int a, SimdLevel level, std::index_sequence<A...>)
{
    // Index i holds window i + 1.
    static constexpr SpanFn kPlain[] = {SpanPlain<static_cast<int>(A) + 1>...};
#if defined(__x86_64__) || defined(__i386__)
    static constexpr SpanFn kAvx2[] = {SpanAvx2<static_cast<int>(A) + 1>...};
    static constexpr SpanFn kAvx512[] = {SpanAvx512<static_cast<int>(A) + 1>...};
    if (level >= SimdLevel::kAvx512)
        return kAvx512[a - 1];
    if (level >= SimdLevel::kAvx2)
        return kAvx2[a - 1];
#else
    (void)level;
#endif
    return kPlain[a - 1];
}

// The filter for windows up to kMaxNetwork, one row at a time: the column medians of row
// y go into the middle of a row buffer, whose ends then get the wrapped-around pixels, and
// the row medians come from that buffer at offsets 0 .. a − 1 pixels.
void NetworkFilter(const Dib& src, Dib& dst, int a)
{
    const int w = src.Width(), h = src.Height(), half = a / 2;
    const std::size_t row_bytes = static_cast<std::size_t>(w) * 3;
    const SpanFn span = PickSpan(a, ActiveSimdLevel(), std::make_index_sequence<kMaxNetwork>{});
    std::vector<std::uint8_t> ext(static_cast<std::size_t>(w + a - 1) * 3);
    std::uint8_t* const mid = ext.data() + static_cast<std::size_t>(half) * 3;
    const std::uint8_t* in[kMaxNetwork];
    for (int y = 0; y < h; ++y) {
        for (int o = 0; o < a; ++o)
            in[o] = src.ScanLine(Wrap(static_cast<long long>(y) - half + o, h));
        span(in, mid, row_bytes);
        for (int i = 0; i < w + a - 1; ++i)
            if (i < half || i >= half + w)
                std::memcpy(ext.data() + static_cast<std::size_t>(i) * 3,
                            mid + static_cast<std::size_t>(Wrap(static_cast<long long>(i) - half, w)) * 3, 3);
        for (int o = 0; o < a; ++o)
            in[o] = ext.data() + static_cast<std::size_t>(o) * 3;
        span(in, dst.ScanLine(y), row_bytes);
    }
}

} // namespace

int MedianFilter(const Dib& src, Dib& dst, std::int32_t a)
{
    if (a < 1)
        return kDataError;
    const int w = src.Width(), h = src.Height();
    if (const int rc = EnsureBitmap(dst, w, h); rc != kOk)
        return rc;
    if (w == 0 || h == 0)
        return kOk;
    if (a <= kMaxNetwork) {
        if (&src != &dst) {
            NetworkFilter(src, dst, a);
            return kOk;
        }
        Dib copy;
        if (const int rc = CopyBitmap(src, copy); rc != kOk)
            return rc;
        NetworkFilter(copy, dst, a);
        return kOk;
    }
    const int row_bytes = w * 3;
    const int half = a / 2;
    // Lanes are processed in chunks that stay in the cache.
    constexpr int kChunk = 4096;
    const int lane_bytes = row_bytes;
    std::vector<std::uint8_t> store(static_cast<std::size_t>(a) * static_cast<std::size_t>(lane_bytes));
    std::vector<std::uint8_t*> lane(static_cast<std::size_t>(a));
    for (int o = 0; o < a; ++o)
        lane[static_cast<std::size_t>(o)] = store.data() + static_cast<std::size_t>(o) * static_cast<std::size_t>(lane_bytes);
    Dib mid;
    if (const int rc = mid.SetSize(w, h, 24); rc != kOk)
        return rc;

    // Pass 1: down the columns.
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(a));
    for (int y = 0; y < h; ++y) {
        for (int o = 0; o < a; ++o)
            rows[static_cast<std::size_t>(o)] = src.ScanLine(Wrap(static_cast<long long>(y) - half + o, h));
        for (int start = 0; start < row_bytes; start += kChunk) {
            const int n = std::min(kChunk, row_bytes - start);
            for (int o = 0; o < a; ++o)
                std::memcpy(lane[static_cast<std::size_t>(o)], rows[static_cast<std::size_t>(o)] + start,
                            static_cast<std::size_t>(n));
            std::memcpy(mid.ScanLine(y) + start, SortLanes(lane.data(), a, n), static_cast<std::size_t>(n));
        }
    }
    // Pass 2: along the rows; lane o is the row shifted by offset o with wrap-around.
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = mid.ScanLine(y);
        for (int o = 0; o < a; ++o) {
            const int s = Wrap(static_cast<long long>(o) - half, w) * 3;
            std::uint8_t* l = lane[static_cast<std::size_t>(o)];
            std::memcpy(l, row + s, static_cast<std::size_t>(row_bytes - s));
            std::memcpy(l + (row_bytes - s), row, static_cast<std::size_t>(s));
        }
        std::memcpy(dst.ScanLine(y), SortLanes(lane.data(), a, row_bytes), static_cast<std::size_t>(row_bytes));
    }
    return kOk;
}

int MedianFilter(TIMAGE_INFO& doc, Dib& preview, std::int32_t a)
{
    if (!doc.display)
        return kOk;
    return MedianFilter(*doc.display, doc.dialog_accepted != 0 ? doc.result_bitmap : preview, a);
}
