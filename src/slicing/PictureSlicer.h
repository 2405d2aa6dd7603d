#pragma once

#include "files/Failure.h"
#include "model/TileGrid.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessera {

class Files;
class Progress;

inline constexpr int kMinSliceSide = 8;
inline constexpr int kMaxSliceSide = 4000;
// The reference picture fits this square.
inline constexpr int kReferenceSide = 2000;
// Its name in the slice folder.
inline const QString kReferenceFileName = QStringLiteral("原大地图.jpg");

struct SliceSettings {
    QSize cell{400, 300};
    int quality = 90;
    // The last column and row padded to the whole cell with this colour; without one they keep
    // their narrower size.
    std::optional<QColor> pad;
    // Where the reference picture goes; empty: kReferenceFileName in the slice folder.
    QString reference;
};

struct SliceResult {
    Failure failure;
    QSize picture;       // as a viewer shows it
    bool turned = false;  // turned or mirrored by its EXIF orientation
    int rows = 0;
    int columns = 0;
    QStringList written;  // every slice written, whole, in the order of the cells
    QString reference;    // the reference picture, once written
    QSize referenceSize;

    bool ok() const { return failure.ok(); }
    // What the result says of the orientation: empty, or a sentence.
    QString turnedNote() const;
    // The map with each slice in its cell: mapSize × mapSize, row by row.
    CellTexts cells(int mapSize) const;
};

// The first of `names` (a folder's listing) that a cut of rows × columns would write: a slice's
// name or `referenceName`. Empty when none.
QString takenSliceName(const QStringList& names, int rows, int columns, const QString& referenceName);

// 切分大图: cuts the picture into cells of `settings.cell` named by their cell (cellFileName) in
// `folder` (made when missing), then writes the reference picture. A JPEG is decoded one band of
// cell rows at a time while the band before is encoded on every core, so memory stays at two bands
// whatever the picture's size. Never replaces a file: a name that is taken stops it before anything
// is written. Stops between slices when `progress` is cancelled, at the first file that cannot be
// written, and at the row where a picture ends early; what was written until then is whole and
// listed. Runs on the caller's thread and helper threads it owns.
SliceResult slicePicture(Files& files, const QString& picture, const QString& folder, const SliceSettings& settings,
                         Progress& progress);

}  // namespace tessera
