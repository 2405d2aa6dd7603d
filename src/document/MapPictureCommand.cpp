// The whole map as one picture: the file and cell size are asked here, the picture is written in
// the background, and the outcome is reported when it is done.
#include "document/MapPictureCommand.h"

#include "document/MapDocument.h"
#include "render/MapPicture.h"
#include "work/LongWork.h"
#include "files/Dialogs.h"

#include <algorithm>

namespace tessera {

void exportMapPicture(MapDocument& document, Dialogs& dialogs, std::shared_ptr<TileImageCache> cache, QSize inUse)
{
    static const FileDialogOptions kOptions{QStringLiteral("PNG 图片|*.png|JPEG 图片|*.jpg;*.jpeg"),
                                            QStringLiteral("png")};
    const std::optional<QString> path = dialogs.saveFileDialog(kOptions);
    if (!path)
        return;
    QStringList sizes;
    for (const QSize& cell : kPictureCellSizes)
        sizes << QStringLiteral("%1 × %2").arg(cell.width()).arg(cell.height());
    // The size in use on the canvas first.
    const int first = std::max(0, static_cast<int>(kPictureCellSizes.indexOf(inUse)));
    const std::optional<int> choice = dialogs.chooseItem(QStringLiteral("每个单元格在图片中的大小（像素）："),
                                                           QStringLiteral("导出地图图片"), sizes, first);
    if (!choice)
        return;
    // The work reads a snapshot of the cells and holds the canvas's tile cache.
    document.work().run<MapPictureResult>(
        [cells = document.grid().cells(), n = document.grid().mapSize(), cell = kPictureCellSizes.value(*choice), target = *path,
         cache = std::move(cache)](Progress& progress) {
            return writeMapPicture(cells, n, cell, target, *cache, progress);
        },
        [&dialogs, target = *path](const MapPictureResult& result) {
            if (!result.ok()) {
                dialogs.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
                return;
            }
            dialogs.messageBox(QStringLiteral("地图图片已导出：\n%1\n%2").arg(target, describePicture(result)),
                                 MessageButtons::OkInfo);
        });
}

}  // namespace tessera
