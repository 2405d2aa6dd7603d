#include "batch/BatchRename.h"

#include "files/Files.h"
#include "work/HelperThreads.h"
#include "files/OpenFolders.h"
#include "files/Progress.h"
#include "model/TileGrid.h"
#include "batch/BatchSupport.h"
#include "batch/RenameChains.h"
#include "batch/Placeholder.h"
#include "batch/BatchReport.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QStringBuilder>
#include <QWaitCondition>

#include <span>
#include <utility>
#include <vector>

namespace tessera {
namespace {

using Kind = RenameKind;
using Step = RenameStep;

bool changesFiles(Kind kind)
{
    return kind == Kind::Rename || kind == Kind::Copy || kind == Kind::LinkCopy || kind == Kind::Placeholder;
}

using FileKey = std::pair<std::uint64_t, std::uint64_t>;  // device, inode

FileKey keyOf(const FileLook& file)
{
    return {file.device, file.inode};
}

}  // namespace

BatchRename::BatchRename(TileGrid& grid, Files& files, Progress& progress, BatchReport& report,
                         bool fillBlanks)
    : grid_(grid), files_(files), progress_(progress), report_(report), fillBlanks_(fillBlanks)
{
}

namespace {

// One batch rename into one folder: planned whole first, so that what is in the way of each rename
// is known before anything moves, then carried out and recorded cell by cell. Only whether each
// file is a picture is learnt later: its first bytes are read behind the renames, and each step
// waits for its own.
class RenameRun {
public:
    RenameRun(TileGrid& grid, Files& files, Progress& progress, BatchReport& report, bool fillBlanks,
              const QString& folder)
        : grid_(grid), files_(files), progress_(progress), report_(report), folder_(folder),
          n_(grid.mapSize()), fill_(fillBlanks),
          renames_(files, steps_, [this](int i) { return confirmPicture(i); })
    {
    }

    int run();

private:
    int tidy();
    void plan();
    void classify();
    std::vector<char> inTargetFolder();
    bool confirmPicture(int i);
    void perform(Step& step);
    void record(const Step& step);
    void recordMoved(const Step& step);
    void line(const QString& old, const QString& target);

    TileGrid& grid_;
    Files& files_;
    Progress& progress_;
    BatchReport& report_;
    const QString folder_;
    const int n_;
    const bool fill_;
    std::vector<Step> steps_;
    RenameChains renames_;
    QString lines_;  // the report's lines of the steps, written at once
    int failures_ = 0;
    static constexpr int kChunk = 256;  // cells looked at as one piece of work
    std::vector<QString> olds_;         // the cells' texts
    std::vector<FileLook> looks_;
    QMutex headsMutex_;  // guards what follows
    QWaitCondition headsRead_;
    std::vector<char> chunkRead_;  // whether each chunk's heads are read
    QFuture<void> heads_;
    HelperThreads helpers_;  // last: joined before anything their work reaches goes
};

int RenameRun::run()
{
    progress_.start(static_cast<std::int64_t>(n_) * n_);
    report_.showResultWindow();
    failures_ += tidy();
    plan();
    int stopped = 0;
    {
        const TileGrid::BulkChange bulk(grid_);
        for (Step& step : steps_) {
            progress_.advance(1);
            confirmPicture(static_cast<int>(&step - steps_.data()));
            // Stopped: what is not done yet stays as it is; what an earlier chain did is recorded.
            if (progress_.cancelled() && !step.done && changesFiles(step.kind)) {
                ++stopped;
                continue;
            }
            perform(step);
            record(step);
        }
    }
    heads_.waitForFinished();
    report_.appendResult(std::exchange(lines_, {}));
    failures_ += reportStopped(report_, stopped);
    report_.appendResult(failures_ == 0 ? QStringLiteral("\r\n\r\n更名成功......\r\n")
                                        : QStringLiteral("\r\n\r\n更名完成，%1项没有成功......\r\n").arg(failures_));
    report_.announceDone(BatchKind::Rename, failures_);
    return failures_;
}

// Leftovers of an interrupted run: partial copies of tiles this run writes again go.
int RenameRun::tidy()
{
    static const QRegularExpression cellName(QStringLiteral("^(\\d+)-(\\d+)\\.jpg$"));
    return tidyFolder(files_, report_, folder_, [&](const QString& name) {
        const QRegularExpressionMatch match = cellName.match(name);
        const int r = match.captured(1).toInt(), c = match.captured(2).toInt();
        if (!match.hasMatch() || r < 1 || r > n_ || c < 1 || c > n_)
            return false;
        const QString old = grid_.cellText(r, c);
        return old.isEmpty() ? fill_ : files_.isFile(old);
    });
}

void RenameRun::plan()
{
    const auto cells = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_);
    steps_.resize(cells);
    olds_.resize(cells);
    for (std::size_t i = 0; i < cells; ++i)
        olds_[i] = grid_.cellText(static_cast<int>(i) / n_ + 1, static_cast<int>(i) % n_ + 1);
    looks_.resize(cells);
    const auto chunk = [cells](int c) {
        const std::size_t begin = static_cast<std::size_t>(c) * kChunk;
        return std::pair{begin, std::min(cells, begin + kChunk) - begin};
    };
    const QString targetFolder = joinFolder(folder_, QString());
    // Each file is looked at on every core: one stat, the most of the plan.
    const int chunks = static_cast<int>((cells + kChunk - 1) / kChunk);
    helpers_.forEach(chunks, [&](int c) {
        const auto [begin, count] = chunk(c);
        files_.lookAt(std::span(olds_).subspan(begin, count), std::span(looks_).subspan(begin, count));
        for (std::size_t i = begin; i < begin + count; ++i) {
            Step& step = steps_[i];
            step.row = static_cast<int>(i) / n_ + 1;
            step.column = static_cast<int>(i) % n_ + 1;
            step.old = olds_[i];
            step.target = targetFolder + cellFileName(step.row, step.column);
            step.from = step.old;
        }
    });
    classify();
    // The heads, in order, on one thread while this one renames: a read takes a fraction of a
    // rename, and more readers would only take the renames' core.
    chunkRead_.assign(static_cast<std::size_t>(chunks), 0);
    heads_ = helpers_.start([this, chunks, chunk] {
        for (int c = 0; c < chunks; ++c) {
            const auto [begin, count] = chunk(c);
            files_.readHeads(std::span(olds_).subspan(begin, count), std::span(looks_).subspan(begin, count));
            const QMutexLocker lock(&headsMutex_);
            chunkRead_[static_cast<std::size_t>(c)] = 1;
            headsRead_.wakeAll();
        }
    });
}

// Whether the file of step i, a rename, copy or file already in place, is a picture: the head of
// the cell that names it first, waited for. One that is not becomes NotImage, done.
bool RenameRun::confirmPicture(int i)
{
    Step& step = steps_[static_cast<std::size_t>(i)];
    if (step.kind != Kind::Rename && step.kind != Kind::Copy && step.kind != Kind::LinkCopy
        && step.kind != Kind::AlreadyThere)
        return step.kind != Kind::NotImage;
    const auto root = static_cast<std::size_t>(step.kind == Kind::Copy ? step.first : i);
    {
        QMutexLocker lock(&headsMutex_);
        while (!chunkRead_[root / kChunk])
            headsRead_.wait(&headsMutex_);
    }
    const FileLook& file = looks_[root];
    if (file.headSize >= 0 && looksLikeImage(QByteArrayView(file.head.data(), file.headSize)))
        return true;
    step.kind = Kind::NotImage;
    step.done = true;
    return false;
}

// For each step, whether its file's folder is the target folder, links resolved: only there can
// a file be in the way of a rename. Each folder is resolved once.
std::vector<char> RenameRun::inTargetFolder()
{
    const QString realTarget = files_.realFolder(folder_);
    std::vector<char> inside(steps_.size(), 0);
    if (realTarget.isEmpty())
        return inside;
    QHash<QStringView, bool> folders;
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        const QStringView folder = splitPath(steps_[i].old).first;
        auto it = folders.find(folder);
        if (it == folders.end())
            it = folders.insert(folder, files_.realFolder(folder.toString()) == realTarget);
        inside[i] = *it;
    }
    return inside;
}

// The steps' kinds; a file's first bytes are not known yet (see confirmPicture).
void RenameRun::classify()
{
    QSet<FileKey> linked;  // files that a cell names through a symbolic link
    for (const FileLook& file : looks_) {
        if (file.link && file.regular)
            linked.insert(keyOf(file));
    }
    const std::vector<char> inTarget = inTargetFolder();
    QHash<FileKey, int> firstUse;  // file → the first step naming it
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        Step& step = steps_[i];
        const FileLook& file = looks_[i];
        if (step.old.isEmpty()) {
            step.kind = fill_ ? Kind::Placeholder : Kind::Empty;
        } else if (!file.regular) {
            step.kind = Kind::Missing;
        } else if (const auto it = firstUse.constFind(keyOf(file)); it != firstUse.constEnd()) {
            step.kind = Kind::Copy;
            step.first = *it;
        } else {
            firstUse.insert(keyOf(file), static_cast<int>(i));
            // The cell whose target the file sits at, if any.
            const int at = inTarget[i] ? cellOfFileName(splitPath(step.old).second, n_) : -1;
            if (at == static_cast<int>(i)) {
                step.kind = Kind::AlreadyThere;
            } else if (linked.contains(keyOf(file))) {
                step.kind = Kind::LinkCopy;  // renaming would leave a link dangling
            } else {
                step.kind = Kind::Rename;
                if (at >= 0)
                    renames_.waitsAt(at, static_cast<int>(i));
            }
        }
    }
}

void RenameRun::perform(Step& step)
{
    if (step.done)
        return;
    switch (step.kind) {
    case Kind::Rename:
        renames_.settle(static_cast<int>(&step - steps_.data()));
        return;
    case Kind::Copy:
    case Kind::LinkCopy: {
        renames_.freeTarget(static_cast<int>(&step - steps_.data()));
        const QString source =
            step.kind == Kind::Copy ? steps_[static_cast<std::size_t>(step.first)].from : step.old;
        const FileResult copied = files_.copyFile(source, step.target);
        step.ok = copied.ok;
        step.from = copied ? step.target : source;
        step.failure = copied.error;
        break;
    }
    case Kind::Placeholder: {
        renames_.freeTarget(static_cast<int>(&step - steps_.data()));
        const QImage picture = drawPlaceholder(step.row, step.column);
        report_.showPlaceholder(picture);
        const FileResult written = files_.writeNewFile(step.target, placeholderJpeg(picture));
        step.ok = written.ok;
        step.failure = written.error;
        break;
    }
    default:
        break;
    }
    step.done = true;
}

// The cell takes the name its file has now, and the report says what happened.
void RenameRun::record(const Step& step)
{
    switch (step.kind) {
    case Kind::Empty:
        return;
    case Kind::Missing:
        ++failures_;
        grid_.setCellText(step.row, step.column, QString());
        lines_ += QStringLiteral("【") % step.old % QStringLiteral("】文件不存在，该格已清空\r\n");
        return;
    case Kind::NotImage:
        ++failures_;
        lines_ += QStringLiteral("【") % step.old % QStringLiteral("】不是图片文件，没有改动\r\n");
        return;
    case Kind::AlreadyThere:
        grid_.setCellText(step.row, step.column, step.target);
        line(step.old, step.target);
        return;
    case Kind::Placeholder:
        if (step.ok) {
            grid_.setCellText(step.row, step.column, step.target);
            line(QString(), step.target);
        } else {
            ++failures_;
            lines_ += QStringLiteral("【】补图片【%1】失败：%2\r\n").arg(step.target, step.failure);
        }
        return;
    case Kind::Rename:
    case Kind::Copy:
    case Kind::LinkCopy:
        recordMoved(step);
        return;
    }
}

void RenameRun::recordMoved(const Step& step)
{
    grid_.setCellText(step.row, step.column, step.from);
    if (step.ok && step.kind == Kind::LinkCopy) {
        lines_ += QStringLiteral("【%1】有符号链接指向，内容已复制为【%2】，原文件和链接都保留\r\n").arg(step.old, step.target);
    } else if (step.ok) {
        line(step.old, step.target);
    } else {
        ++failures_;
        lines_ += QStringLiteral("【%1】%2为【%3】失败：%4，该格仍指向【%5】\r\n")
                      .arg(step.old, step.kind == Kind::Rename ? QStringLiteral("更名") : QStringLiteral("复制"),
                           step.target, step.failure, step.from);
    }
}

void RenameRun::line(const QString& old, const QString& target)
{
    lines_ += QStringLiteral("【") % old % QStringLiteral("】更名改为【") % target % QStringLiteral("】\r\n");
}

}  // namespace

void BatchRename::renameInto(const QString& folder)
{
    failures_ = RenameRun(grid_, files_, progress_, report_, fillBlanks_, folder).run();
}

}  // namespace tessera
