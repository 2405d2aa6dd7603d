#include "tiles/BatchMove.h"

#include "gui/Platform.h"
#include "gui/Progress.h"
#include "model/TileGrid.h"
#include "tiles/BatchSupport.h"
#include "tiles/ResultWindow.h"

#include <QHash>

namespace tessera {

BatchMove::BatchMove(TileGrid& grid, Platform& platform, Progress& progress, ResultReport& report,
                     std::function<void()> refreshFiles)
    : grid_(grid), platform_(platform), progress_(progress), report_(report), refreshFiles_(std::move(refreshFiles))
{
}

void BatchMove::refresh()
{
    if (refreshFiles_)
        refreshFiles_();
}

void BatchMove::run()
{
    const BatchStart start =
        askBatchStart(platform_, grid_, QStringLiteral("是否移动文件？"), QStringLiteral("请选择存放文件夹："));
    if (start.outcome == BatchStart::Go)
        moveInto(start.folder);
    else if (start.outcome != BatchStart::Declined)
        refresh();  // also after a cancelled folder choice
}

void BatchMove::moveInto(const QString& folder)
{
    failures_ = 0;
    const int n = grid_.mapSize();
    progress_.start(static_cast<std::int64_t>(n) * n);
    report_.showResultWindow();
    QHash<QString, QString> movedTo;  // normalised source → where its file is now
    {
        const TileGrid::BulkChange bulk(grid_);
        for (int r = 1; r <= n; ++r) {
            for (int c = 1; c <= n; ++c) {
                progress_.advance(1);
                const QString old = grid_.cellText(r, c);
                if (old.isEmpty())
                    continue;
                const QString target = joinFolder(folder, fileNamePart(old));
                const QString key = normalizedPath(old);
                if (const auto it = movedTo.constFind(key); it != movedTo.constEnd()) {
                    grid_.setCellText(r, c, *it);  // the same file, moved for an earlier cell
                    continue;
                }
                if (!platform_.isFile(old)) {
                    grid_.setCellText(r, c, target);  // a file that is gone points into the folder
                    continue;
                }
                if (!looksLikeImage(platform_, old)) {
                    ++failures_;
                    report_.appendResult(QStringLiteral("【%1】不是图片文件，没有移动\r\n").arg(old));
                    continue;
                }
                if (key == normalizedPath(target)) {
                    movedTo.insert(key, target);
                    grid_.setCellText(r, c, target);
                    report_.appendResult(QStringLiteral("【%1】已在该文件夹中，没有移动\r\n").arg(old));
                    continue;
                }
                const FileResult moved = platform_.moveFile(old, target);
                if (!moved) {
                    ++failures_;
                    report_.appendResult(QStringLiteral("【%1】移动到【%2】失败：%3，文件仍在原处\r\n")
                                             .arg(old, target, moved.error));
                    continue;
                }
                movedTo.insert(key, target);
                grid_.setCellText(r, c, target);
                report_.appendResult(QStringLiteral("【%1】移动改为【%2】\r\n").arg(old, target));
            }
        }
    }
    report_.appendResult(failures_ == 0 ? QStringLiteral("\r\n\r\n移动成功......\r\n")
                                        : QStringLiteral("\r\n\r\n移动完成，%1项没有成功......\r\n").arg(failures_));
    report_.announceDone(2, failures_);
    refresh();
}

}  // namespace tessera
