#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPoint>
#include <QString>

#include "files/Failure.h"
#include "model/TileGrid.h"

namespace tessera {

class Progress;

// How the bytes of a map path file are to be read.
enum class MapTextEncoding {
    Gb18030,  // the program's own format: GBK bytes for GBK text
    Utf8,     // saved by a UTF-8 editor: with a byte-order mark, or not valid GB18030
};

// A UTF-8 byte-order mark gives UTF-8; otherwise GB18030, unless the bytes are not valid GB18030
// but are valid UTF-8.
MapTextEncoding detectEncoding(QByteArrayView bytes);

// Looks at the raw bytes of a file (before the text is cut at a zero byte).
MapFileKind classifyMapFile(QByteArrayView bytes);

// The bytes of a grid text as written to a map path file.
QByteArray encodeMapText(const QString& gridText);
// The same bytes straight from the cells of a map, encoding each distinct text once, on every
// core. Empty when `progress` is cancelled. Thread-safe.
QByteArray encodeMapCells(const CellTexts& cells, int mapSize, Progress& progress);

// Cells whose text cannot be stored in a map path file as it is ("|", CR or LF in it).
struct UnfitCells {
    qsizetype count = 0;
    QList<QPoint> first;  // (column, row) of the first few, in row-major order
};
UnfitCells cellsUnfitForMapText(const TileGrid& grid, qsizetype keep = 10);

struct MapTextLoad {
    MapFileKind kind = MapFileKind::Text;
    MapTextEncoding encoding = MapTextEncoding::Gb18030;
    qsizetype lines = 0;
    qsizetype fields = 0;
    qsizetype widest = 0;  // the most fields on one line
    bool lineFeedsOnly = false;  // line feeds without CR: the whole file was read as one line
    CellTexts cells;  // mapSize² texts, row by row, when `kind` is Text
};

// Reads the bytes of a map path file into the cells of a map of `mapSize`: the text ends at the
// first zero byte, lines split on CR LF and fields on "|" before decoding; cells outside the map
// are dropped. Drives `progress` over the number of fields and stops early when it is cancelled.
// A file that is not text (see `classifyMapFile`) gives no cells. Thread-safe.
MapTextLoad parseMapText(QByteArrayView bytes, int mapSize, Progress& progress);

// What a map path file whose lines end in LF alone is told (lineFeedsOnly).
QString lineFeedsOnlyNote();

}  // namespace tessera
