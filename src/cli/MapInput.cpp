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
            read.failure.work = FailedWork::TiledRead;  // the command's words, not the editor's
            err << failureMessage(read.failure) << u'\n';
            return std::nullopt;
        }
        return CommandMap{read.mapSize, std::move(read.cells), read.notes};
    }
    const ReadResult read = readRegularFile(path, kMaxMapFileBytes);
    if (!read.ok) {
        err << QStringLiteral("无法读取地图路径文件：%1\n%2\n").arg(path, read.error);
        return std::nullopt;
    }
    const MapTextLoad shape = parseMapText(read.data, 0, quiet);
    if (shape.kind != MapFileKind::Text) {
        err << QStringLiteral("%1 不是青石地图路径文件（%2）。\n").arg(path, notMapTextReason(shape.kind));
        return std::nullopt;
    }
    const qsizetype size = std::max(shape.lines, shape.widest);
    if (size > kMaxMapSize) {
        err << QStringLiteral("%1 有 %2 行、最长一行 %3 个字段，超过了 %4 × %4 的最大地图。\n")
                   .arg(path)
                   .arg(shape.lines)
                   .arg(shape.widest)
                   .arg(kMaxMapSize);
        return std::nullopt;
    }
    if (shape.lineFeedsOnly)
        err << QStringLiteral("警告：%1：%2。\n").arg(path, lineFeedsOnlyNote());
    MapTextLoad load = parseMapText(read.data, static_cast<int>(size), quiet);
    return CommandMap{static_cast<int>(size), std::move(load.cells), {}};
}

}  // namespace tessera
