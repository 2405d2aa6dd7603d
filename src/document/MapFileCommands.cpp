#include "document/MapFileCommands.h"

#include "work/LongWork.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <memory>

namespace tessera {
const FileDialogOptions MapFileCommands::kDialogOptions{
    QStringLiteral("青石地图路径文件（TLP）|*.tlp|文本文档（TXT）|*.txt|所有文件|*.*"),
    QStringLiteral("tlp")};

bool MapFileCommands::exportGrid(bool inBox)
{
    const std::optional<QString> path = dialogs_.saveFileDialog(kDialogOptions);
    return path && exportTo(*path, inBox);
}

const FileDialogOptions MapFileCommands::kImportDialogOptions{
    QStringLiteral("青石地图路径文件（TLP）|*.tlp|文本文档（TXT）|*.txt|TMX/TMJ 地图|*.tmx;*.tmj|所有文件|*.*"),
    QStringLiteral("tlp")};

const FileDialogOptions MapFileCommands::kOpenDialogOptions{
    QStringLiteral("地图（TLP、TXT、TMX、TMJ）|*.tlp;*.txt;*.tmx;*.tmj|青石地图路径文件（TLP）|*.tlp|文本文档（TXT）|*.txt|"
                   "TMX/TMJ 地图|*.tmx;*.tmj|所有文件|*.*"),
    QStringLiteral("tlp")};

bool MapFileCommands::importGrid()
{
    const std::optional<QString> path = dialogs_.openFileDialog(kImportDialogOptions);
    return path && importFrom(*path);
}

bool MapFileCommands::openMap()
{
    const std::optional<QString> path = dialogs_.openFileDialog(kOpenDialogOptions);
    return path && openFrom(*path);
}

bool MapFileCommands::importFrom(const QString& path)
{
    return readInto(path, Into::Map);
}

bool MapFileCommands::openFrom(const QString& path)
{
    return readInto(path, Into::NewMap);
}

bool MapFileCommands::confirmUnfitCells()
{
    const UnfitCells unfit = cellsUnfitForMapText(grid_);
    if (unfit.count == 0)
        return true;
    QStringList names;
    for (const QPoint& cell : unfit.first)
        names << QStringLiteral("第%1行第%2列").arg(cell.y()).arg(cell.x());
    if (unfit.count > unfit.first.size())
        names << QStringLiteral("……共%1个单元格").arg(unfit.count);
    const QString text = QStringLiteral("以下单元格的文件名含有“|”或换行符，导出后无法按原样导入：\n%1\n"
                                        "是否仍然导出？")
                             .arg(names.join(u'\n'));
    return dialogs_.messageBox(text, MessageButtons::YesNoInfo) == MessageResult::Yes;
}

bool MapFileCommands::exportTo(const QString& path, bool inBox)
{
    if (!confirmUnfitCells())
        return false;
    const int n = grid_.mapSize();
    if (!work_)
        return finishExport(path, writeMapPathFile(files_, path, grid_.cells(), n, progress_), inBox);
    // The work writes a snapshot: the strings are shared, not copied.
    return work_->run<MapFileResult>(
        [&files = files_, path, cells = grid_.cells(), n](Progress& progress) {
            return writeMapPathFile(files, path, cells, n, progress);
        },
        [this, path, inBox](MapFileResult result) { finishExport(path, result, inBox); });
}

bool MapFileCommands::finishExport(const QString& path, const MapFileResult& result, bool inBox)
{
    if (!result.ok()) {
        dialogs_.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
        return false;
    }
    emit exported(path);
    if (inBox)
        dialogs_.messageBox(QStringLiteral("导出成功！"), MessageButtons::Ok);
    else
        emit notice(QStringLiteral("已保存：%1").arg(QFileInfo(path).fileName()));
    return true;
}

// What an import read: a map path file, or a TMX or TMJ map.
struct MapFileCommands::ImportOutcome {
    bool tiled = false;
    MapFileResult pathFile;
    TiledImportResult tiledMap;
};

namespace {

// Bytes enough to tell a TMX or TMJ map from a map path file.
constexpr int kSniffedBytes = 4096;

}  // namespace

bool MapFileCommands::readInto(const QString& path, Into into)
{
    // A map opened takes the size its file asks for.
    const int n = into == Into::NewMap ? 0 : grid_.mapSize();
    auto read = [&files = files_, path, n](Progress& progress) {
        ImportOutcome outcome;
        outcome.tiled = isTiledMapInput(path) || looksLikeTiledMap(files.readHead(path, kSniffedBytes).data);
        if (outcome.tiled)
            outcome.tiledMap = readTiledMap(files, path, {}, progress);
        else
            outcome.pathFile = readMapPathFile(files, path, n, progress);
        return outcome;
    };
    if (!work_)
        return finishAnyImport(path, read(progress_), into);
    return work_->run<std::shared_ptr<ImportOutcome>>(
        [read](Progress& progress) { return std::make_shared<ImportOutcome>(read(progress)); },
        [this, path, into](std::shared_ptr<ImportOutcome> outcome) { finishAnyImport(path, std::move(*outcome), into); });
}

bool MapFileCommands::finishAnyImport(const QString& path, ImportOutcome outcome, Into into)
{
    return outcome.tiled ? finishTiledImport(path, {}, std::move(outcome.tiledMap), into)
                         : finishImport(path, std::move(outcome.pathFile), into);
}

bool MapFileCommands::importTiled(const QString& path, const TiledImportOptions& options, Into into)
{
    auto read = [&files = files_, path, options](Progress& progress) {
        return std::make_shared<TiledImportResult>(readTiledMap(files, path, options, progress));
    };
    if (!work_)
        return finishTiledImport(path, options, std::move(*read(progress_)), into);
    return work_->run<std::shared_ptr<TiledImportResult>>(
        read, [this, path, options, into](std::shared_ptr<TiledImportResult> result) {
            finishTiledImport(path, options, std::move(*result), into);
        });
}

std::optional<TiledImportOptions> MapFileCommands::askTiledImport(const QString& path, const TiledImportOptions& asked,
                                                                  const TiledImportResult& result)
{
    static const QString kTitle = QStringLiteral("导入 TMX/TMJ 地图");
    TiledImportOptions next = asked;
    if (result.layers.size() > 1 && asked.layerIndex < 0) {
        const std::optional<int> layer = dialogs_.chooseItem(QStringLiteral("地图中有 %1 个图块图层，导入哪一个？").arg(result.layers.size()),
                                                              kTitle, result.layers, std::max(result.layer, 0));
        if (!layer)
            return std::nullopt;
        next.layerIndex = *layer;
        if (*layer != result.layer)
            return next;
    }
    if (!result.needsTilesFolder)
        return std::nullopt;
    const QString proposed = defaultTilesFolder(path, QFileInfo(path).absolutePath());
    const std::optional<int> where = dialogs_.chooseItem(
        QStringLiteral("图层“%1”用到的 %2 个图块要从大图中切出或翻转，各存为一个 PNG 图片（只写新文件，已有的相同图片沿用）。\n存放在：")
            .arg(result.layers.value(result.layer))
            .arg(result.tilesNeeded),
        kTitle, {proposed, QStringLiteral("另选文件夹…")}, 0);
    if (!where)
        return std::nullopt;
    next.tilesFolder = *where == 0 ? proposed : dialogs_.browseFolder(QStringLiteral("选择存放图块图片的文件夹"));
    if (next.tilesFolder.isEmpty())
        return std::nullopt;
    return next;
}

bool MapFileCommands::finishTiledImport(const QString& path, const TiledImportOptions& options, TiledImportResult result,
                                        Into into)
{
    if (!result.ok()) {
        if (!result.failure.ok()) {
            dialogs_.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
            return false;
        }
        const std::optional<TiledImportOptions> next = askTiledImport(path, options, result);
        return next && importTiled(path, *next, into);
    }
    if (result.layers.size() > 1 && options.layerIndex < 0) {
        const std::optional<TiledImportOptions> next = askTiledImport(path, options, result);
        if (!next)
            return false;
        if (next->layerIndex != result.layer)
            return importTiled(path, *next, into);
    }
    const int n = result.mapSize;
    if (into == Into::NewMap) {
        take_.opened(n, std::move(result.cells));
        emit opened(path, false);
    } else {
        take_.map(n, std::move(result.cells));
        emit importedTiledMap(path);
    }
    const bool tilesCut = result.tilesWritten + result.tilesReused > 0;
    if (into == Into::NewMap && !tilesCut && result.notes.isEmpty()) {
        emit notice(QStringLiteral("已打开：%1（%2 × %2）").arg(QFileInfo(path).fileName()).arg(n));
        return true;
    }
    QString text = QStringLiteral("已导入地图：\n%1\n%2 × %2 个单元格").arg(path).arg(n);
    if (tilesCut)
        text += QStringLiteral("\n图块图片：%1（新写入 %2 个，沿用已有的 %3 个）")
                    .arg(QDir::toNativeSeparators(options.tilesFolder))
                    .arg(result.tilesWritten)
                    .arg(result.tilesReused);
    dialogs_.messageBox(text, MessageButtons::Ok, kDefaultMessageTitle, result.notes.join(u'\n'));
    return true;
}

bool MapFileCommands::finishImport(const QString& path, MapFileResult result, Into into)
{
    if (!result.ok()) {
        dialogs_.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
        return false;
    }
    if (into == Into::NewMap) {
        if (result.mapSize == 0) {
            dialogs_.messageBox(QStringLiteral("文件中没有地图：\n%1").arg(path), MessageButtons::OkExclamation);
            return false;
        }
        take_.opened(result.mapSize, std::move(result.cells));
        emit opened(path, true);
        emit notice(QStringLiteral("已打开：%1（%2 × %2）").arg(QFileInfo(path).fileName()).arg(result.mapSize));
        if (result.lineFeedsOnly)
            dialogs_.messageBox(lineFeedsOnlyNote() + u'。', MessageButtons::Ok);
        return true;
    }
    if (!take_.cells(std::move(result.cells))) {
        dialogs_.messageBox(QStringLiteral("地图的大小在读取期间改变了，没有导入：\n%1").arg(path),
                             MessageButtons::OkExclamation);
        return false;
    }
    emit imported(path);
    const QString note = result.lineFeedsOnly ? u'\n' + lineFeedsOnlyNote() + u'。' : QString();
    dialogs_.messageBox(QStringLiteral("导入成功，请按刷新界面按钮！") + note, MessageButtons::Ok);
    return true;
}

}  // namespace tessera
