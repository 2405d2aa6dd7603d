// The whole map as one picture: the file and cell size are asked here, the picture is written in
// the background, and the outcome is reported when it is done.
#include "app/MainWindow.h"

#include "canvas/Canvas.h"
#include "canvas/EditingState.h"
#include "render/MapPicture.h"
#include "gui/LongWork.h"
#include "gui/Platform.h"

#include <algorithm>

namespace tessera {

void MainWindow::exportMapPicture()
{
    static const FileDialogOptions kOptions{QStringLiteral("PNG 图片|*.png|JPEG 图片|*.jpg;*.jpeg"),
                                            QStringLiteral("png")};
    const std::optional<QString> path = platform_.saveFileDialog(kOptions);
    if (!path)
        return;
    QStringList sizes;
    for (const QSize& cell : kPictureCellSizes)
        sizes << QStringLiteral("%1 × %2").arg(cell.width()).arg(cell.height());
    // The size in use on the canvas first.
    const int inUse = std::max(0, static_cast<int>(kPictureCellSizes.indexOf(QSize(40, editing_.tileHeight))));
    const std::optional<int> choice = platform_.chooseItem(QStringLiteral("每个单元格在图片中的大小（像素）："),
                                                           QStringLiteral("导出地图图片"), sizes, inUse);
    if (!choice)
        return;
    // The work reads a snapshot of the cells and holds the canvas's tile cache.
    work_->run<MapPictureResult>(
        [cells = grid_.cells(), n = grid_.mapSize(), cell = kPictureCellSizes.value(*choice), target = *path,
         cache = canvas_->sharedCache()](Progress& progress) {
            return writeMapPicture(cells, n, cell, target, *cache, progress);
        },
        [this, target = *path](const MapPictureResult& result) {
            if (!result.ok()) {
                platform_.messageBox(failureMessage(result.failure), MessageButtons::OkExclamation);
                return;
            }
            platform_.messageBox(QStringLiteral("地图图片已导出：\n%1\n%2").arg(target, describePicture(result)),
                                 MessageButtons::OkInfo);
        });
}

}  // namespace tessera
