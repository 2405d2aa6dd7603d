#include "tiles/BatchRename.h"

#include "gui/Platform.h"
#include "gui/Progress.h"
#include "model/TileGrid.h"
#include "tiles/BatchSupport.h"
#include "tiles/Placeholder.h"
#include "tiles/ResultWindow.h"

#include <QHash>
#include <QSet>

#include <vector>

namespace tessera {
namespace {

enum class Kind { Rename, Copy, AlreadyThere, Missing, NotImage, Placeholder, Empty };

struct Step {
    int row;
    int column;
    QString old;     // the cell's text before
    QString target;  // folder/r-c.jpg
    Kind kind;
    QString from;       // where the file is now (a temporary name once moved aside)
    int first = -1;     // for a copy: the step that renames the shared file
    QString failure;    // why the step cannot go on, once known
};

QString line(const QString& old, const QString& target)
{
    return QStringLiteral("【%1】更名改为【%2】\r\n").arg(old, target);
}

}  // namespace

BatchRename::BatchRename(TileGrid& grid, Platform& platform, Progress& progress, ResultReport& report, Hooks hooks)
    : grid_(grid), platform_(platform), progress_(progress), report_(report), hooks_(std::move(hooks))
{
}

void BatchRename::run()
{
    const BatchStart start = askBatchStart(platform_, grid_, QStringLiteral("是否更换文件名？"),
                                           QStringLiteral("请选择更名之后存放的文件夹："));
    if (start.outcome == BatchStart::Go)
        renameInto(start.folder);
    else if (start.outcome == BatchStart::NoMap && hooks_.refreshFiles)
        hooks_.refreshFiles();
}

void BatchRename::renameInto(const QString& folder)
{
    failures_ = 0;
    const int n = grid_.mapSize();
    progress_.start(static_cast<std::int64_t>(n) * n);
    report_.showResultWindow();
    const bool fill = hooks_.fillBlanks && hooks_.fillBlanks();

    // Plan every cell first, so that collisions between the renames are known beforehand.
    std::vector<Step> steps;
    steps.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    QHash<QString, int> firstUse;  // normalised source → the step that renames it
    QSet<QString> targets;
    for (int r = 1; r <= n; ++r) {
        for (int c = 1; c <= n; ++c) {
            Step step{r, c, grid_.cellText(r, c), joinFolder(folder, QStringLiteral("%1-%2.jpg").arg(r).arg(c)),
                      Kind::Empty, {}, -1, {}};
            step.from = step.old;
            if (step.old.isEmpty()) {
                step.kind = fill ? Kind::Placeholder : Kind::Empty;
            } else {
                const QString key = normalizedPath(step.old);
                if (const auto it = firstUse.constFind(key); it != firstUse.constEnd()) {
                    step.kind = Kind::Copy;
                    step.first = *it;
                } else if (!platform_.isFile(step.old)) {
                    step.kind = Kind::Missing;
                } else if (!looksLikeImage(platform_, step.old)) {
                    step.kind = Kind::NotImage;
                } else {
                    step.kind = key == normalizedPath(step.target) ? Kind::AlreadyThere : Kind::Rename;
                    firstUse.insert(key, static_cast<int>(steps.size()));
                }
            }
            if (step.kind == Kind::Rename || step.kind == Kind::Copy || step.kind == Kind::Placeholder)
                targets.insert(normalizedPath(step.target));
            steps.push_back(std::move(step));
        }
    }

    // A file that sits where another tile is to go steps aside first, so swaps and cycles work.
    int serial = 0;
    for (Step& step : steps) {
        if (step.kind != Kind::Rename || !targets.contains(normalizedPath(step.old)))
            continue;
        const QString aside = asideName(step.old, ++serial);
        if (const FileResult moved = platform_.renameFile(step.old, aside); moved)
            step.from = aside;
        else
            step.failure = moved.error;
    }

    auto perform = [&](Step& step) {
        switch (step.kind) {
        case Kind::Empty:
            return;
        case Kind::Missing:
            grid_.setCellText(step.row, step.column, QString());
            report_.appendResult(QStringLiteral("【%1】文件不存在，该格已清空\r\n").arg(step.old));
            return;
        case Kind::NotImage:
            ++failures_;
            report_.appendResult(QStringLiteral("【%1】不是图片文件，没有改动\r\n").arg(step.old));
            return;
        case Kind::AlreadyThere:
            report_.appendResult(line(step.old, step.target));
            return;
        case Kind::Rename: {
            FileResult renamed = step.failure.isEmpty() ? platform_.renameFile(step.from, step.target)
                                                        : FileResult::failure(step.failure);
            if (renamed) {
                step.from = step.target;
                grid_.setCellText(step.row, step.column, step.target);
                report_.appendResult(line(step.old, step.target));
                return;
            }
            // Back to its own name if it stepped aside; otherwise the cell names where it is.
            if (step.from != step.old && platform_.renameFile(step.from, step.old))
                step.from = step.old;
            grid_.setCellText(step.row, step.column, step.from);
            ++failures_;
            report_.appendResult(QStringLiteral("【%1】更名为【%2】失败：%3，该格仍指向【%4】\r\n")
                                     .arg(step.old, step.target, renamed.error, step.from));
            return;
        }
        case Kind::Copy: {
            const QString source = steps[static_cast<std::size_t>(step.first)].from;
            const FileResult copied = platform_.copyFile(source, step.target);
            if (copied) {
                grid_.setCellText(step.row, step.column, step.target);
                report_.appendResult(line(step.old, step.target));
                return;
            }
            grid_.setCellText(step.row, step.column, source);
            ++failures_;
            report_.appendResult(QStringLiteral("【%1】复制为【%2】失败：%3，该格仍指向【%4】\r\n")
                                     .arg(step.old, step.target, copied.error, source));
            return;
        }
        case Kind::Placeholder: {
            const QImage picture = drawPlaceholder(step.row, step.column);
            if (hooks_.showPlaceholder)
                hooks_.showPlaceholder(picture);
            // Written under a free name, then renamed: an existing file is never replaced.
            const QString temporary = asideName(step.target, ++serial);
            FileResult written = platform_.writeFileAtomic(temporary, placeholderJpeg(picture));
            if (written)
                written = platform_.renameFile(temporary, step.target);
            if (written) {
                grid_.setCellText(step.row, step.column, step.target);
                report_.appendResult(line(QString(), step.target));
                return;
            }
            platform_.removeFile(temporary);
            ++failures_;
            report_.appendResult(QStringLiteral("【】补图片【%1】失败：%2\r\n").arg(step.target, written.error));
            return;
        }
        }
    };
    {
        const TileGrid::BulkChange bulk(grid_);
        for (Step& step : steps) {
            progress_.advance(1);
            perform(step);
        }
    }
    report_.appendResult(failures_ == 0 ? QStringLiteral("\r\n\r\n更名成功......\r\n")
                                        : QStringLiteral("\r\n\r\n更名完成，%1项没有成功......\r\n").arg(failures_));
    report_.announceDone(1, failures_);
    if (hooks_.redrawCanvas)
        hooks_.redrawCanvas();
    if (hooks_.refreshFiles)
        hooks_.refreshFiles();
}

}  // namespace tessera
