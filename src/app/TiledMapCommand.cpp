// The map for game engines: the TMX or TMJ file and the cell size are asked here, the map is
// written in the background, and the outcome is reported when it is done.
#include "app/TiledMapCommand.h"

#include "app/MapDocument.h"
#include "gui/LongWork.h"
#include "gui/Dialogs.h"
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
    QStringList items;
    for (const QSize& size : sizes)
        items << QStringLiteral("%1 × %2").arg(size.width()).arg(size.height());
    items.first() += QStringLiteral("（默认）");
    const std::optional<int> choice =
        dialogs.chooseItem(QStringLiteral("地图中每个单元格的大小（像素）："), QStringLiteral("导出为 TMX/TMJ 地图"), items, 0);
    if (!choice)
        return;
    TiledExportOptions options;
    options.cell = sizes.value(*choice);
    // The work reads a snapshot of the cells: the strings are shared, not copied.
    document.work().run<TiledExportResult>(
        [cells, n = document.grid().mapSize(), target = *path, options](Progress& progress) {
            return writeTiledMap(cells, n, target, options, progress);
        },
        [&dialogs, target = *path, cell = options.cell](const TiledExportResult& result) {
            if (!result.ok()) {
                dialogs.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
                return;
            }
            QString text = QStringLiteral("地图已导出：\n%1\n%2 个图块，单元格 %3 × %4 像素")
                               .arg(target)
                               .arg(result.tiles)
                               .arg(cell.width())
                               .arg(cell.height());
            if (result.sizesUnknown > 0)
                text += QStringLiteral("\n其中 %1 个图片文件无法读取，没有写入其大小。").arg(result.sizesUnknown);
            dialogs.messageBox(text, MessageButtons::OkInfo);
        });
}

}  // namespace tessera
