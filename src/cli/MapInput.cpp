// Reading the map a command works on.
#include "cli/MapInput.h"

#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"
#include "model/MapText.h"
#include "tmx/TiledMap.h"


namespace tessera {

std::optional<CommandMap> readCommandMap(const QString& path, QTextStream& err)
{
    NullProgress quiet;
    LocalFiles files;
    if (hasTiledMapExtension(path) || looksLikeTiledMap(files.readHead(path, 4096).data)) {
        TiledImportResult read = readTiledMap(files, path, quiet);
        if (!read.ok()) {
            err << failureMessage(read.failure.of(FailedWork::TiledRead)) << u'\n';  // the command's words
            return std::nullopt;
        }
        return CommandMap{read.mapSize, std::move(read.cells), read.notes};
    }
    const auto fail = [&](FailureKind kind, const QString& detail, QList<qint64> figures) {
        err << failureMessage(Failure(kind, {path}, detail, std::move(figures)).of(FailedWork::CommandMapFile)) << u'\n';
        return std::nullopt;
    };
    const ReadResult read = readRegularFile(path, kMaxMapFileBytes);
    if (!read.ok)
        return fail(FailureKind::MapFileUnreadable, read.error, {});
    const MapTextLoad shape = parseMapText(read.data, 0, quiet);
    if (shape.kind != MapFileKind::Text)
        return fail(FailureKind::NotMapText, {}, {qint64(shape.kind)});
    const qsizetype size = std::max(shape.lines, shape.widest);
    if (size > kMaxMapSize)
        return fail(FailureKind::MapFileTooLarge, {}, {shape.lines, shape.widest, kMaxMapSize});
    if (shape.lineFeedsOnly)
        err << QStringLiteral("警告：%1：%2。\n").arg(path, lineFeedsOnlyNote());
    MapTextLoad load = parseMapText(read.data, static_cast<int>(size), quiet);
    return CommandMap{static_cast<int>(size), std::move(load.cells), {}};
}

}  // namespace tessera
