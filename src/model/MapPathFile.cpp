#include "model/MapPathFile.h"

#include "files/Progress.h"

#include <algorithm>

#include "model/MapText.h"

namespace tessera {
namespace {

Failure mapFileFailure(FailureKind kind, const QString& path, const QString& detail = {}, QList<qint64> figures = {})
{
    return Failure(kind, {path}, detail, std::move(figures)).of(FailedWork::MapFile);
}

}  // namespace

MapFileResult readMapPathFile(Files& files, const QString& path, int mapSize, Progress& progress)
{
    MapFileResult result;
    const ReadResult read = files.readFile(path, kMaxMapFileBytes);
    if (!read.ok) {
        result.failure = mapFileFailure(FailureKind::MapFileUnreadable, path, read.error);
        return result;
    }
    if (mapSize == 0) {
        NullProgress quiet;
        const MapTextLoad shape = parseMapText(read.data, 0, quiet);
        const qsizetype size = std::max(shape.lines, shape.widest);
        if (shape.kind == MapFileKind::Text && size > kMaxMapSize) {
            result.failure = mapFileFailure(FailureKind::MapFileTooLarge, path, {}, {shape.lines, shape.widest, kMaxMapSize});
            return result;
        }
        mapSize = static_cast<int>(size);
    }
    result.mapSize = mapSize;
    MapTextLoad load = parseMapText(read.data, mapSize, progress);
    if (load.kind != MapFileKind::Text) {
        result.failure = mapFileFailure(FailureKind::NotMapText, path, {}, {qint64(load.kind)});
        return result;
    }
    result.cells = std::move(load.cells);
    result.lineFeedsOnly = load.lineFeedsOnly;
    return result;
}

MapFileResult writeMapPathFile(Files& files, const QString& path, const CellTexts& cells, int mapSize,
                               Progress& progress, const QStringList& inputs)
{
    MapFileResult result;
    const QByteArray bytes = encodeMapCells(cells, mapSize, progress);
    if (progress.cancelled()) {
        result.failure = mapFileFailure(FailureKind::Cancelled, path);
        return result;
    }
    if (const FileResult written = files.writeFileAtomic(path, bytes, inputs); !written) {
        result.failure = mapFileFailure(FailureKind::MapFileUnwritable, path, written.error);
    }
    return result;
}

}  // namespace tessera
