#include "batch/BatchMove.h"

#include "files/Files.h"
#include "files/Progress.h"
#include "model/TileGrid.h"
#include "batch/BatchSupport.h"
#include "batch/BatchReport.h"

#include <QHash>
#include <QSet>

namespace tessera {

BatchMove::BatchMove(TileGrid& grid, Files& files, Progress& progress, BatchReport& report)
    : grid_(grid), files_(files), progress_(progress), report_(report)
{
}

void BatchMove::moveInto(const QString& folder)
{
    failures_ = 0;
    const int n = grid_.mapSize();
    progress_.start(static_cast<std::int64_t>(n) * n);
    report_.showResultWindow();
    failures_ += tidy(folder);
    QHash<QString, QString> movedTo;  // file identity → where its file is now
    int stopped = 0;
    {
        const TileGrid::BulkChange bulk(grid_);
        for (int r = 1; r <= n; ++r) {
            for (int c = 1; c <= n; ++c) {
                progress_.advance(1);
                if (grid_.cellText(r, c).isEmpty())
                    continue;
                if (progress_.cancelled())  // stopped: the rest stays as it is
                    ++stopped;
                else
                    moveCell(r, c, folder, movedTo);
            }
        }
    }
    failures_ += reportStopped(report_, stopped);
    report_.appendResult(failures_ == 0 ? QStringLiteral("\r\n\r\n移动成功......\r\n")
                                        : QStringLiteral("\r\n\r\n移动完成，%1项没有成功......\r\n").arg(failures_));
    report_.announceDone(BatchKind::Move, failures_);
}

int BatchMove::tidy(const QString& folder)
{
    // Partial copies left by an interrupted move of a file this run moves again go.
    const int n = grid_.mapSize();
    QSet<QString> names;
    bool named = false;
    return tidyFolder(files_, report_, folder, [&](const QString& name) {
        if (!named) {
            named = true;
            for (int r = 1; r <= n; ++r)
                for (int c = 1; c <= n; ++c)
                    if (const QString old = grid_.cellText(r, c); files_.isFile(old))
                        names.insert(fileNamePart(old));
        }
        return names.contains(name);
    });
}

void BatchMove::moveCell(int r, int c, const QString& folder, QHash<QString, QString>& movedTo)
{
    const QString old = grid_.cellText(r, c);
    const QString target = joinFolder(folder, fileNamePart(old));
    const FileStatus file = files_.fileStatus(old);
    if (!file.regular) {
        grid_.setCellText(r, c, target);  // a file that is gone points into the folder
        return;
    }
    if (const auto it = movedTo.constFind(file.identity); it != movedTo.constEnd()) {
        grid_.setCellText(r, c, *it);  // the same file, moved for an earlier cell
        return;
    }
    if (!looksLikeImage(files_, old)) {
        ++failures_;
        report_.appendResult(QStringLiteral("【%1】不是图片文件，没有移动\r\n").arg(old));
        return;
    }
    if (const FileStatus there = files_.fileStatus(target);
        !file.link && !there.link && there.identity == file.identity) {
        movedTo.insert(file.identity, target);
        grid_.setCellText(r, c, target);
        report_.appendResult(QStringLiteral("【%1】已在该文件夹中，没有移动\r\n").arg(old));
        return;
    }
    // A link is copied by content: moving it would leave it dangling or its file behind.
    const FileResult moved = file.link ? files_.copyFile(old, target) : files_.moveFile(old, target);
    if (!moved) {
        ++failures_;
        report_.appendResult(QStringLiteral("【%1】%2到【%3】失败：%4，文件仍在原处\r\n")
                                 .arg(old, file.link ? QStringLiteral("复制") : QStringLiteral("移动"), target,
                                      moved.error));
        return;
    }
    movedTo.insert(file.identity, target);
    grid_.setCellText(r, c, target);
    report_.appendResult(file.link
                             ? QStringLiteral("【%1】是符号链接，内容已复制为【%2】，原文件和链接都保留\r\n").arg(old, target)
                             : QStringLiteral("【%1】移动改为【%2】\r\n").arg(old, target));
}

}  // namespace tessera
