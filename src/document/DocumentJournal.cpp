#include "document/DocumentJournal.h"

#include "document/MapDocument.h"
#include "files/FileErrors.h"
#include "files/Dialogs.h"
#include "journal/MapJournal.h"

#include <QFileInfo>

namespace tessera {

DocumentJournal::DocumentJournal(MapDocument& document, const QString& folder)
    : QObject(&document), document_(document), journal_(std::make_unique<MapJournal>(folder)),
      carriedFrom_(kNoCell)
{
    MapHistory& history = document.history();
    const TileGrid& grid = document.grid();
    connect(&history, &MapHistory::cellsSet, this, [this, &grid](const std::vector<CellChange>& changes) {
        std::vector<JournalCell> cells;
        cells.reserve(changes.size());
        const int n = grid.mapSize();
        for (const CellChange& c : changes)
            cells.push_back({(c.row - 1) * n + (c.column - 1), c.after});
        journal_->setCells(std::move(cells));
        followCarry();
    });
    connect(&history, &MapHistory::mapSet, this, [this, &grid] {
        journal_->replaceMap(grid.mapSize(), grid.cells());
        if (std::exchange(mapSize_, grid.mapSize()) == grid.mapSize())
            followCarry();
        else
            carriedFrom_ = kNoCell;  // another size ends the carry, in the editor as in the journal
    });
    connect(&history, &MapHistory::shifted, this, [this](ShiftDirection direction, int distance) {
        journal_->shiftMap(direction, distance);
        followCarry();
    });
    connect(&document, &MapDocument::mapStarted, this, [this, &document] {
        journal_->startMap(document.grid().mapSize(), document.mapPath());
        mapSize_ = document.grid().mapSize();
        carriedFrom_ = kNoCell;
    });
    // A save starts the journal over from the map as saved, so that it never grows without bound.
    connect(&document, &MapDocument::saved, this, [this] { compact(); });

    // A journal that cannot be written is said when it fails and when it works again (the
    // journal tries again by itself); the editing goes on.
    Dialogs& dialogs = document.dialogs();
    const auto sayFailed = [&dialogs](const QString& text, const JournalError& error) {
        dialogs.messageBox(text.arg(error.path, journalErrorText(error)), MessageButtons::OkExclamation,
                           kDefaultMessageTitle, QStringLiteral("程序会自动重试，恢复写入后会告诉你。"));
    };
    connect(journal_.get(), &MapJournal::failed, this, [this, sayFailed] {
        const JournalError error = journal_->error();
        if (!error.ok())  // else it works again already
            sayFailed(QStringLiteral("无法写入编辑记录，程序意外退出时将无法恢复未保存的修改：\n%1\n%2"), error);
    }, Qt::QueuedConnection);
    connect(journal_.get(), &MapJournal::resumed, this, [&dialogs] {
        dialogs.messageBox(QStringLiteral("编辑记录已恢复写入，程序意外退出时可以恢复未保存的修改。"), MessageButtons::OkInfo);
    }, Qt::QueuedConnection);
    if (const JournalError error = journal_->error(); !error.ok())
        sayFailed(QStringLiteral("崩溃恢复已关闭：无法写入编辑记录，程序意外退出时将无法恢复未保存的修改。\n%1\n%2"), error);
    if (document.grid().mapSize() > 0)
        compact();
}

DocumentJournal::~DocumentJournal() = default;

QString DocumentJournal::folder() const
{
    return QFileInfo(journal_->path()).path();
}

bool DocumentJournal::current()
{
    return journal_->flush().ok();
}

void DocumentJournal::discard()
{
    journal_->discard();
}

void DocumentJournal::compact()
{
    const TileGrid& grid = document_.grid();
    journal_->compact(grid.mapSize(), grid.cells(), document_.mapPath(), !document_.modified());
    mapSize_ = grid.mapSize();
    carriedFrom_ = kNoCell;
    followCarry();
}

// The history takes up the carry before the pick-up's change and ends it before the drop's, so
// the carry is journalled right after the change that emptied its cell, and dropped after the drop.
void DocumentJournal::followCarry()
{
    const std::optional<CarriedTile>& carry = document_.history().carried();
    const int n = document_.grid().mapSize();
    const bool carrying = carry && carry->row >= 1 && carry->row <= n && carry->column >= 1 && carry->column <= n;
    const std::uint32_t from = carrying ? static_cast<std::uint32_t>((carry->row - 1) * n + carry->column - 1) : kNoCell;
    const QString& text = carrying ? carry->path : QString();
    if (from == carriedFrom_ && text == carried_)
        return;
    carriedFrom_ = from;
    carried_ = text;
    journal_->carryTile(from, text);
}

QString journalErrorText(const JournalError& error)
{
    using Kind = JournalError::Kind;
    const QFileInfo at(error.path);
    switch (error.kind) {
    case Kind::Folder:
        if (at.exists() && !at.isDir())
            return QStringLiteral("这个位置是一个文件，不是文件夹");
        return QStringLiteral("无法创建文件夹：") + fileErrorText(error.error);
    case Kind::Lock:
        return QStringLiteral("无法创建锁文件：") + fileErrorText(error.error);
    case Kind::NotRegular:
        return QStringLiteral("不是普通文件");
    case Kind::NotAJournal:
        return QStringLiteral("记录已损坏，读不出地图");
    case Kind::Read:
        return fileErrorText(error.error, FileAccess::Read);
    default:
        return error.error != 0 ? fileErrorText(error.error) : QStringLiteral("写入失败");
    }
}

}  // namespace tessera
