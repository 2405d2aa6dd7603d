// The map for game engines: the TMX or TMJ file and the cell size are asked here, the map is
// written in the background, and the outcome is reported when it is done.
#include "document/TiledMapCommand.h"

#include "document/MapDocument.h"
#include "work/LongWork.h"
#include "files/Dialogs.h"
#include "tmx/TiledMap.h"

namespace tessera {

void exportTiledMap(MapDocument& document, Dialogs& dialogs)
{
    static const FileDialogOptions kOptions{QStringLiteral("TMX 地图|*.tmx|TMJ 地图|*.tmj"), QStringLiteral("tmx")};
    const std::optional<QString> path = dialogs.saveFileDialog(kOptions);
    if (!path)
        return;
    const CellTexts& cells = document.grid().cells();
    // The first tile picture's size first, then the usual ones.
    QList<QSize> sizes{defaultTiledCell(cells)};
    for (const QSize size : {kDefaultTiledCell, QSize(200, 150), QSize(80, 60), QSize(40, 30)})
        if (!sizes.contains(size))
            sizes << size;
    const std::optional<TiledExportChoices> choices = dialogs.tiledExportDialog(sizes);
    if (!choices)
        return;
    TiledExportOptions options;
    options.cell = sizes.value(choices->cell);
    options.atlas = choices->atlas;
    // The work reads a snapshot of the cells: the strings are shared, not copied.
    document.work().run<TiledExportResult>(
        [cells, n = document.grid().mapSize(), target = *path, options](Progress& progress) {
            return writeTiledMap(cells, n, target, options, progress);
        },
        [&document, &dialogs, target = *path, cell = options.cell](const TiledExportResult& result) {
            if (!result.ok()) {
                dialogs.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
                return;
            }
            emit document.fileUsed(target);
            QString text = QStringLiteral("地图已导出：\n%1\n%2 个图块，单元格 %3 × %4 像素")
                               .arg(target)
                               .arg(result.tiles)
                               .arg(cell.width())
                               .arg(cell.height());
            for (const QString& sheet : result.atlasPaths)
                text += QStringLiteral("\n图集：%1").arg(sheet);
            if (result.sizesUnknown > 0)
                text += (result.atlasPaths.isEmpty() ? QStringLiteral("\n其中 %1 个图片文件无法读取，没有写入其大小。")
                                                     : QStringLiteral("\n其中 %1 个图片文件无法读取，在图集中留空。"))
                            .arg(result.sizesUnknown);
            if (result.sizesOther > 0)
                text += QStringLiteral("\n%1 个图片的大小不是单元格的大小：游戏引擎按图片原大绘制它们；导出图集可避免。")
                            .arg(result.sizesOther);
            dialogs.messageBox(text, MessageButtons::OkInfo);
        });
}

}  // namespace tessera
