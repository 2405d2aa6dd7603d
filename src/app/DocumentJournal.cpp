#include "app/DocumentJournal.h"

#include "app/MapDocument.h"
#include "files/FileErrors.h"
#include "gui/Platform.h"
#include "journal/JournalRecovery.h"
#include "journal/MapJournal.h"

namespace tessera {

DocumentJournal::DocumentJournal(MapDocument& document, const QString& folder)
    : QObject(&document), document_(document), journal_(std::make_unique<MapJournal>(folder))
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
    });
    connect(&history, &MapHistory::mapSet, this,
            [this, &grid] { journal_->replaceMap(grid.mapSize(), grid.cells()); });
    connect(&history, &MapHistory::shifted, this,
            [this](ShiftDirection direction, int distance) { journal_->shiftMap(direction, distance); });
    connect(&document, &MapDocument::mapStarted, this,
            [this, &document] { journal_->startMap(document.grid().mapSize(), document.mapPath()); });
    // A save starts the journal over from the map as saved, so that it never grows without bound.
    connect(&document, &MapDocument::saved, this, [this, &document](const QString& path) {
        journal_->compact(document.grid().mapSize(), document.grid().cells(), path, true);
    });
    // A journal that cannot be written is said once, when it fails; the editing goes on.
    connect(journal_.get(), &MapJournal::failed, this, [this] {
        const JournalError error = journal_->error();
        document_.platform().messageBox(
            QStringLiteral("无法写入编辑记录，程序意外退出时将无法恢复未保存的修改：\n%1\n%2")
                .arg(error.path, fileErrorText(error.error)),
            MessageButtons::OkExclamation);
    }, Qt::QueuedConnection);
    if (document.grid().mapSize() > 0)
        journal_->compact(document.grid().mapSize(), document.grid().cells(), document.mapPath(),
                          !document.modified());
}

DocumentJournal::~DocumentJournal() = default;

void DocumentJournal::discard()
{
    journal_->discard();
}

bool offerRecovery(MapDocument& document, Platform& platform, const QString& folder)
{
    JournalRecovery recovery(folder);
    bool recovered = false;
    const QStringList journals = recovery.journals();
    // The newest first: that is the map the user worked on last.
    for (auto it = journals.crbegin(); it != journals.crend(); ++it) {
        const RecoveredMap map = readJournal(*it);
        if (!map.error.ok() || !map.unsaved || map.mapSize < 1) {
            (void)recovery.remove(*it);
            continue;
        }
        if (!recovered
            && platform.messageBox(QStringLiteral("上次编辑没有正常结束，是否恢复未保存的地图？"),
                                   MessageButtons::YesNoInfo)
                == MessageResult::Yes) {
            document.restore(map.mapSize, map.cells, map.mapPath);
            (void)recovery.remove(*it);
            recovered = true;
            continue;
        }
        const JournalRecovery::KeptAside kept = recovery.keepAside(*it);
        if (kept.error.ok())
            platform.messageBox(QStringLiteral("未恢复的地图记录已保存在：\n%1").arg(kept.path), MessageButtons::OkInfo);
    }
    return recovered;
}

}  // namespace tessera
