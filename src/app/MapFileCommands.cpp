#include "app/MapFileCommands.h"

#include "gui/LongWork.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

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

bool MapFileCommands::importGrid()
{
    const std::optional<QString> path = dialogs_.openFileDialog(kImportDialogOptions);
    return path && importFrom(*path);
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

bool MapFileCommands::importFrom(const QString& path)
{
    const int n = grid_.mapSize();
    auto read = [&files = files_, path, n](Progress& progress) {
        ImportOutcome outcome;
        outcome.tiled = hasTiledMapExtension(path) || looksLikeTiledMap(files.readHead(path, kSniffedBytes).data);
        if (outcome.tiled)
            outcome.tiledMap = readTiledMap(files, path, progress);
        else
            outcome.pathFile = readMapPathFile(files, path, n, progress);
        return outcome;
    };
    if (!work_)
        return finishAnyImport(path, read(progress_));
    return work_->run<std::shared_ptr<ImportOutcome>>(
        [read](Progress& progress) { return std::make_shared<ImportOutcome>(read(progress)); },
        [this, path](std::shared_ptr<ImportOutcome> outcome) { finishAnyImport(path, std::move(*outcome)); });
}

bool MapFileCommands::finishAnyImport(const QString& path, ImportOutcome outcome)
{
    return outcome.tiled ? finishTiledImport(path, std::move(outcome.tiledMap))
                         : finishImport(path, std::move(outcome.pathFile));
}

bool MapFileCommands::finishTiledImport(const QString& path, TiledImportResult result)
{
    if (!result.ok()) {
        dialogs_.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
        return false;
    }
    const int n = result.mapSize;
    if (takeMap_) {
        takeMap_(n, std::move(result.cells));
    } else {
        grid_.resize(n);
        [[maybe_unused]] const bool taken = grid_.replaceCells(std::move(result.cells));
    }
    emit importedTiledMap(path);
    dialogs_.messageBox(QStringLiteral("已导入地图：\n%1\n%2 × %2 个单元格").arg(path).arg(n), MessageButtons::Ok,
                         kDefaultMessageTitle, result.notes.join(u'\n'));
    return true;
}

bool MapFileCommands::finishImport(const QString& path, MapFileResult result)
{
    if (!result.ok()) {
        dialogs_.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
        return false;
    }
    if (!(take_ ? take_(std::move(result.cells)) : grid_.replaceCells(std::move(result.cells)))) {
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
