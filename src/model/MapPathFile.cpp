#include "model/MapPathFile.h"

#include "model/MapText.h"
#include "model/TileGrid.h"
#include "gui/LongWork.h"

#include <QStringList>

namespace tessera {
namespace {

QString notMapTextReason(MapFileKind kind)
{
    switch (kind) {
    case MapFileKind::Utf16:
        return QStringLiteral("这是 UTF-16 编码的文本");
    case MapFileKind::Picture:
        return QStringLiteral("这是图片文件");
    case MapFileKind::Archive:
        return QStringLiteral("这是压缩文件");
    case MapFileKind::Binary:
    case MapFileKind::Text:
        break;
    }
    return QStringLiteral("这不是文本文件");
}

}  // namespace

MapFileResult readMapPathFile(Platform& platform, const QString& path, int mapSize, Progress& progress)
{
    MapFileResult result;
    const ReadResult read = platform.readFile(path, kMaxMapFileBytes);
    if (!read.ok) {
        result.failure = QStringLiteral("导入失败，无法读取文件：\n%1\n%2").arg(path, read.error);
        return result;
    }
    MapTextLoad load = parseMapText(read.data, mapSize, progress);
    if (load.kind != MapFileKind::Text) {
        result.failure = QStringLiteral("导入失败：\n%1\n不是青石地图路径文件（%2），地图没有改变。")
                             .arg(path, notMapTextReason(load.kind));
        return result;
    }
    result.ok = true;
    result.cells = std::move(load.cells);
    return result;
}

MapFileResult writeMapPathFile(Platform& platform, const QString& path, const CellTexts& cells, int mapSize,
                               Progress& progress)
{
    MapFileResult result;
    const QByteArray bytes = encodeMapCells(cells, mapSize, progress);
    if (progress.cancelled()) {
        result.failure = QStringLiteral("导出已取消，文件没有写入：\n%1").arg(path);
        return result;
    }
    if (const FileResult written = platform.writeFileAtomic(path, bytes); !written) {
        result.failure = QStringLiteral("导出失败，文件没有写入：\n%1\n%2").arg(path, written.error);
        return result;
    }
    result.ok = true;
    return result;
}

const FileDialogOptions MapPathFile::kDialogOptions{
    QStringLiteral("青石地图路径文件（TLP）|*.tlp|文本文档（TXT）|*.txt|所有文件|*.*"),
    QStringLiteral("tlp")};

bool MapPathFile::exportGrid()
{
    const std::optional<QString> path = platform_.saveFileDialog(kDialogOptions);
    return path && exportTo(*path);
}

bool MapPathFile::importGrid()
{
    const std::optional<QString> path = platform_.openFileDialog(kDialogOptions);
    return path && importFrom(*path);
}

bool MapPathFile::confirmUnfitCells()
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
    return platform_.messageBox(text, MessageButtons::YesNoInfo) == MessageResult::Yes;
}

bool MapPathFile::exportTo(const QString& path)
{
    if (!confirmUnfitCells())
        return false;
    const int n = grid_.mapSize();
    if (!work_)
        return finishExport(writeMapPathFile(platform_, path, grid_.cells(), n, progress_));
    // The work writes a snapshot: the strings are shared, not copied.
    return work_->run<MapFileResult>(
        [&platform = platform_, path, cells = grid_.cells(), n](Progress& progress) {
            return writeMapPathFile(platform, path, cells, n, progress);
        },
        [this](MapFileResult result) { finishExport(result); });
}

bool MapPathFile::finishExport(const MapFileResult& result)
{
    if (!result.ok) {
        platform_.messageBox(result.failure, MessageButtons::OkExclamation);
        return false;
    }
    platform_.messageBox(QStringLiteral("导出成功！"), MessageButtons::Ok);
    return true;
}

bool MapPathFile::importFrom(const QString& path)
{
    const int n = grid_.mapSize();
    if (!work_)
        return finishImport(readMapPathFile(platform_, path, n, progress_));
    return work_->run<MapFileResult>(
        [&platform = platform_, path, n](Progress& progress) { return readMapPathFile(platform, path, n, progress); },
        [this](MapFileResult result) { finishImport(std::move(result)); });
}

bool MapPathFile::finishImport(MapFileResult result)
{
    if (!result.ok) {
        platform_.messageBox(result.failure, MessageButtons::OkExclamation);
        return false;
    }
    grid_.replaceCells(std::move(result.cells));
    if (redrawCanvas_)
        redrawCanvas_();
    platform_.messageBox(QStringLiteral("导入成功，请按刷新界面按钮！"), MessageButtons::Ok);
    return true;
}

}  // namespace tessera
