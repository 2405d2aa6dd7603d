#pragma once

// Small colour features of pictures for auto-assembly: a slice, or a cell's rectangle of the
// reference, area-averaged to a grid of colour cells.
#include <QByteArrayView>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TESSERA_FEATURES_SSE2 1
#endif

namespace tessera {

inline constexpr int kFeatureColumns = 16;
inline constexpr int kFeatureRows = 12;
inline constexpr int kFeatureBytes = kFeatureColumns * kFeatureRows * 3;

// RGB bytes of the feature cells, row by row.
struct alignas(16) Feature {
    std::uint8_t bytes[kFeatureBytes];
};

// A picture decoded at a reduction. Pixel i covers the full picture's [i·step, (i+1)·step), the
// last one cut at the full size (so JPEG's scaled decoding of partial blocks maps exactly).
struct ReducedPicture {
    QSize full;
    QSize size;
    double stepX = 1;
    double stepY = 1;
    std::vector<std::uint8_t> rgb;  // size.width() × size.height() × 3
    bool isNull() const { return rgb.empty(); }
};

// Largest reference picture accepted, in pixels (it is decoded reduced, never whole).
inline constexpr qint64 kMaxReferencePixels = 40000LL * 40000LL;
// Largest reduced picture decoded, in pixels (three bytes each).
inline constexpr qint64 kMaxReducedPixels = 48LL * 1024 * 1024;

// The picture's size from its header; invalid when it is no JPEG, PNG or BMP picture or an absurd
// size.
QSize pictureSize(QByteArrayView bytes, qint64 maxPixels);

// Decodes the picture at the strongest reduction that still gives at least `minimum` pixels, and
// never more than kMaxReducedPixels (JPEG through TurboJPEG's scaled decoding, others through
// Qt). Null on failure. Thread-safe.
ReducedPicture decodeReduced(QByteArrayView bytes, QSize minimum, qint64 maxPixels);

// Features of the `rect` (in full-picture pixels) of a reduced picture; with `colours`, also the
// plain RGB averages of the feature cells, unblurred.
void averageFeature(const ReducedPicture& picture, const QRectF& rect, Feature& out, Feature* colours = nullptr);

// The features of a slice (JPEG, PNG or BMP) decoded at 1/8, and its full size; false when it is
// no readable picture of a tile's size.
bool sliceFeature(QByteArrayView bytes, QSize& size, Feature& out, Feature* colours = nullptr);

// Sum of absolute differences of two features (SSE2 where the machine has it).
inline int featureDistance(const Feature& a, const Feature& b)
{
#ifdef TESSERA_FEATURES_SSE2
    __m128i sum = _mm_setzero_si128();
    for (int i = 0; i < kFeatureBytes; i += 16) {
        const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(a.bytes + i));
        const __m128i y = _mm_load_si128(reinterpret_cast<const __m128i*>(b.bytes + i));
        sum = _mm_add_epi64(sum, _mm_sad_epu8(x, y));
    }
    return _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8));
#else
    int sum = 0;
    for (int i = 0; i < kFeatureBytes; ++i)
        sum += std::abs(int(a.bytes[i]) - int(b.bytes[i]));
    return sum;
#endif
}

// The sum of a feature's levels.
inline int featureSum(const Feature& feature)
{
#ifdef TESSERA_FEATURES_SSE2
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = zero;
    for (int i = 0; i < kFeatureBytes; i += 16)
        sum = _mm_add_epi64(sum, _mm_sad_epu8(_mm_load_si128(reinterpret_cast<const __m128i*>(feature.bytes + i)), zero));
    return _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8));
#else
    int sum = 0;
    for (int i = 0; i < kFeatureBytes; ++i)
        sum += feature.bytes[i];
    return sum;
#endif
}

// A feature summed over blocks of 4 × 4 feature cells, channel by channel: the distance of two
// of these is never more than featureDistance of the features (a sum of differences is at most
// the sum of their absolute values), so most far cells are ruled out at a ninth of the cost.
inline constexpr int kCoarseBlock = 4;
inline constexpr int kCoarseValues = (kFeatureColumns / kCoarseBlock) * (kFeatureRows / kCoarseBlock) * 3;
struct alignas(16) CoarseFeature {
    std::uint16_t sums[(kCoarseValues + 7) / 8 * 8];
};

inline CoarseFeature coarseFeature(const Feature& feature)
{
    CoarseFeature out{};
    for (int ky = 0; ky < kFeatureRows; ++ky)
        for (int kx = 0; kx < kFeatureColumns; ++kx)
            for (int c = 0; c < 3; ++c)
                out.sums[((ky / kCoarseBlock) * (kFeatureColumns / kCoarseBlock) + kx / kCoarseBlock) * 3 + c] +=
                    feature.bytes[(ky * kFeatureColumns + kx) * 3 + c];
    return out;
}

// Sum of absolute differences of two coarse features: a lower bound of featureDistance.
inline int coarseDistance(const CoarseFeature& a, const CoarseFeature& b)
{
#ifdef TESSERA_FEATURES_SSE2
    const __m128i ones = _mm_set1_epi16(1);
    __m128i sum = _mm_setzero_si128();
    for (std::size_t i = 0; i < std::size(a.sums); i += 8) {
        const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(a.sums + i));
        const __m128i y = _mm_load_si128(reinterpret_cast<const __m128i*>(b.sums + i));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_or_si128(_mm_subs_epu16(x, y), _mm_subs_epu16(y, x)), ones));
    }
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 8));
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 4));
    return _mm_cvtsi128_si32(sum);
#else
    int sum = 0;
    for (std::size_t i = 0; i < std::size(a.sums); ++i)
        sum += std::abs(int(a.sums[i]) - int(b.sums[i]));
    return sum;
#endif
}

// Each level difference counts up to this: a few feature cells that differ wholly (a watermark, a
// logo) weigh no more than a clear mismatch of those cells.
inline constexpr int kClipLevels = 40;

// Sum of the absolute differences of two features, each clipped at kClipLevels; with `mask`, over
// the bytes where it is 0xFF.
template <bool Masked>
inline int clippedDistance(const Feature& a, const Feature& b, const Feature* mask)
{
#ifdef TESSERA_FEATURES_SSE2
    const __m128i clip = _mm_set1_epi8(static_cast<char>(kClipLevels));
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = zero;
    for (int i = 0; i < kFeatureBytes; i += 16) {
        const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(a.bytes + i));
        const __m128i y = _mm_load_si128(reinterpret_cast<const __m128i*>(b.bytes + i));
        __m128i difference = _mm_min_epu8(_mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x)), clip);
        if constexpr (Masked)
            difference = _mm_and_si128(difference, _mm_load_si128(reinterpret_cast<const __m128i*>(mask->bytes + i)));
        sum = _mm_add_epi64(sum, _mm_sad_epu8(difference, zero));
    }
    return _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8));
#else
    int sum = 0;
    for (int i = 0; i < kFeatureBytes; ++i)
        if (!Masked || mask->bytes[i])
            sum += std::min(kClipLevels, std::abs(int(a.bytes[i]) - int(b.bytes[i])));
    return sum;
#endif
}

inline int robustDistance(const Feature& a, const Feature& b)
{
    return clippedDistance<false>(a, b, nullptr);
}

inline int robustDistance(const Feature& a, const Feature& b, const Feature& mask)
{
    return clippedDistance<true>(a, b, &mask);
}

}  // namespace tessera
