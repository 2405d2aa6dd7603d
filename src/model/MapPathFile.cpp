#include "model/MapPathFile.h"

#include "files/Progress.h"
#include "model/MapText.h"

namespace tessera {

MapFileResult readMapPathFile(Files& files, const QString& path, int mapSize, Progress& progress)
{
    MapFileResult result;
    const ReadResult read = files.readFile(path, kMaxMapFileBytes);
    if (!read.ok) {
        result.failure = MapFileFailure::Unreadable;
        result.detail = read.error;
        return result;
    }
    MapTextLoad load = parseMapText(read.data, mapSize, progress);
    if (load.kind != MapFileKind::Text) {
        result.failure = MapFileFailure::NotText;
        result.kind = load.kind;
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
        result.failure = MapFileFailure::Cancelled;
        return result;
    }
    if (const FileResult written = files.writeFileAtomic(path, bytes, inputs); !written) {
        result.failure = MapFileFailure::Unwritable;
        result.detail = written.error;
    }
    return result;
}

}  // namespace tessera
