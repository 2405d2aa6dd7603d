// Reading the map a command works on.
#include "cli/MapInput.h"

#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"
#include "model/MapText.h"
#include "tmx/TiledMap.h"

#include <QDir>
#include <QFileInfo>


namespace tessera {

QString tiledInputUsage()
{
    return QStringLiteral(
        "  --layer 图层名   读入 TMX/TMJ 地图的这个图块图层，默认取第一个可见的图块图层\n"
        "  --tiles 文件夹   从大图（spritesheet）切出的图块和翻转过的图块各存为一个 PNG 图片，放在这个\n"
        "                  文件夹中（没有则新建），默认为输出文件旁边以地图命名的文件夹；只写新文件，\n"
        "                  已有的相同图片沿用，不同的不会被覆盖\n");
}

std::optional<CommandMap> readCommandMap(const QString& path, const TiledInputOptions& tiled, QTextStream& out,
                                         QTextStream& err)
{
    NullProgress quiet;
    LocalFiles files;
    if (isTiledMapInput(path) || looksLikeTiledMap(files.readHead(path, 4096).data)) {
        TiledImportOptions options;
        options.layerName = tiled.layer;
        options.tilesFolder = tiled.tilesFolder.isEmpty()
                                  ? defaultTilesFolder(path, QFileInfo(tiled.output).absolutePath())
                                  : QFileInfo(tiled.tilesFolder).absoluteFilePath();
        TiledImportResult read = readTiledMap(files, path, options, quiet);
        if (!read.ok()) {
            err << failureMessage(read.failure.of(FailedWork::TiledRead)) << u'\n';  // the command's words
            return std::nullopt;
        }
        if (read.tilesWritten + read.tilesReused > 0)
            out << QStringLiteral("图块图片：%1（新写入 %2 个，沿用已有的 %3 个）\n")
                       .arg(QDir::toNativeSeparators(options.tilesFolder))
                       .arg(read.tilesWritten)
                       .arg(read.tilesReused);
        return CommandMap{read.mapSize, std::move(read.cells), read.notes};
    }
    if (!tiled.layer.isEmpty()) {
        err << QStringLiteral("%1 不是 TMX/TMJ 地图，--layer 只用于 TMX/TMJ 地图。\n").arg(path);
        return std::nullopt;
    }
    MapFileResult read = readMapPathFile(files, path, 0, quiet);
    if (!read.ok()) {
        err << failureMessage(read.failure.of(FailedWork::CommandMapFile)) << u'\n';
        return std::nullopt;
    }
    if (read.lineFeedsOnly)
        err << QStringLiteral("警告：%1：%2。\n").arg(path, lineFeedsOnlyNote());
    return CommandMap{read.mapSize, std::move(read.cells), {}};
}

}  // namespace tessera
