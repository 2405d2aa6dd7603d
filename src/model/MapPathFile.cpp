#include "model/MapPathFile.h"

#include "model/MapText.h"
#include "model/TileGrid.h"

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
    const QByteArray bytes = encodeMapText(grid_.gridText(progress_));
    if (const FileResult written = platform_.writeFileAtomic(path, bytes); !written) {
        platform_.messageBox(QStringLiteral("导出失败，文件没有写入：\n%1\n%2").arg(path, written.error),
                             MessageButtons::OkExclamation);
        return false;
    }
    platform_.messageBox(QStringLiteral("导出成功！"), MessageButtons::Ok);
    return true;
}

bool MapPathFile::importFrom(const QString& path)
{
    const ReadResult read = platform_.readFile(path);
    if (!read.ok) {
        platform_.messageBox(QStringLiteral("导入失败，无法读取文件：\n%1\n%2").arg(path, read.error),
                             MessageButtons::OkExclamation);
        return false;
    }
    if (const MapFileKind kind = loadMapText(grid_, read.data, progress_).kind; kind != MapFileKind::Text) {
        platform_.messageBox(QStringLiteral("导入失败：\n%1\n不是青石地图路径文件（%2），地图没有改变。")
                                 .arg(path, notMapTextReason(kind)),
                             MessageButtons::OkExclamation);
        return false;
    }
    if (redrawCanvas_)
        redrawCanvas_();
    platform_.messageBox(QStringLiteral("导入成功，请按刷新界面按钮！"), MessageButtons::Ok);
    return true;
}

}  // namespace tessera
