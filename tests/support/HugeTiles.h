#pragma once

// Tiles of the largest size a tile may have (8,192 × 8,192 pixels), quick to write and small on
// disk, and the peak memory of a process that draws them, for the memory tests and benchmarks.
#include <QRgb>
#include <QString>
#include <QStringList>

namespace tessera {

inline constexpr int kHugeTileSide = 8192;

// `count` progressive 4:2:0 JPEGs in `folder`, each of one grey level of its own; empty on failure.
QStringList writeHugeJpegs(const QString& folder, int count);

// A PNG whose left quarter is clear, the next quarter `band` at half opacity and the rest opaque
// `solid`; false on failure.
bool writeHugePng(const QString& path, QRgb band, QRgb solid);

// Writes the map path file of a 5 × 5 map whose cells name `tiles` row by row, the rest empty.
bool writeFiveByFiveMap(const QString& path, const QStringList& tiles);

// Runs `program` through the small peak_child process; its peak resident memory in MB, or -1
// when it did not end with status 0 within two minutes.
double peakMbOf(const QString& program, const QStringList& arguments);

}  // namespace tessera
