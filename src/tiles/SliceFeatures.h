#pragma once

// Small colour features of pictures for auto-assembly: a slice, or a cell's rectangle of the
// reference, area-averaged to a grid of colour cells.
#include <QByteArrayView>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <functional>
#include <vector>

namespace tessera {

class Progress;

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

// The picture's size from its header; invalid when it is no JPEG, PNG or BMP picture or an absurd
// size.
QSize pictureSize(QByteArrayView bytes, qint64 maxPixels);

// Decodes the picture at the strongest reduction that still gives at least `minimum` pixels (JPEG
// through TurboJPEG's scaled decoding, others through Qt). Null on failure. Thread-safe.
ReducedPicture decodeReduced(QByteArrayView bytes, QSize minimum, qint64 maxPixels);

// Features of the `rect` (in full-picture pixels) of a reduced picture.
void averageFeature(const ReducedPicture& picture, const QRectF& rect, Feature& out);

// The features of a JPEG slice decoded at 1/8, and its full size; false when it is no readable
// JPEG of a tile's size.
bool sliceFeature(QByteArrayView jpeg, QSize& size, Feature& out);

// Sum of absolute differences of two features.
int featureDistance(const Feature& a, const Feature& b);

// Runs work(i) for every i in [0, count) on every core; the calling thread advances `progress` by
// one per item and stops handing out items once it is cancelled. False when cancelled.
bool forEachOnAllCores(int count, Progress& progress, const std::function<void(int)>& work);

}  // namespace tessera
