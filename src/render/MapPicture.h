#pragma once

#include "render/PictureWriters.h"
#include "files/Failure.h"
#include "model/TileGrid.h"

#include <QList>
#include <QSize>
#include <QString>

namespace tessera {

class Progress;
class TileImageCache;

// The cell sizes offered for a picture of the map; the first is the canvas's own.
inline const QList<QSize> kPictureCellSizes{{40, 30}, {40, 16}, {80, 60}, {200, 150}, {400, 300}};

// Largest cell edge accepted.
inline constexpr int kMaxPictureCellSide = 1000;

// JPEG for a name ending in ".jpg" or ".jpeg" (any case), PNG otherwise.
PictureFormat pictureFormatFor(const QString& path);

// What writing a picture of the map gave: its size and the file's, or why there is no file (the
// picture named first).
struct MapPictureResult {
    Failure failure;
    QSize pixels;
    qint64 fileBytes = 0;

    bool ok() const { return failure.ok(); }
};

// Writes the whole map as one picture to `path`, every cell `cell` pixels with its tile stretched
// to fill it; empty cells and cells whose file cannot be drawn are transparent in PNG and the
// canvas grey in JPEG. Tiles come through `cache`, decoded on every core; the picture is composed
// a band of cell rows at a time and streamed into the encoder while the next band is composed,
// so memory stays bounded whatever the map size. The file is written through OutputFile: whole or
// not at all, never over a file the user may not write or over one of its inputs (the tile files
// and `otherInputs`); once `progress` is cancelled nothing is written. Shows nothing; thread-safe.
MapPictureResult writeMapPicture(const CellTexts& cells, int mapSize, QSize cell, const QString& path,
                                 TileImageCache& cache, Progress& progress, const QStringList& otherInputs = {});

// "80 × 60 像素，1.2 MB" and the like, for messages.
QString describePicture(const MapPictureResult& result);

}  // namespace tessera
