// A journal in a temporary folder of its own, and what a recovered map differs in from a grid: for
// tests of whatever journals a map's changes.
#pragma once

#include "journal/JournalRecovery.h"
#include "journal/MapJournal.h"
#include "model/TileGrid.h"

#include <QTemporaryDir>

namespace tessera {

class ScratchJournal {
public:
    ScratchJournal() : journal(dir.path()) {}

    QString folder() const { return dir.path(); }
    // Everything appended so far, read back.
    RecoveredMap recover()
    {
        journal.flush();
        return readJournal(journal.path());
    }

private:
    QTemporaryDir dir;

public:
    MapJournal journal;
};

// A map's state as the journal has it: from a grid with its path file and unsaved mark, or from a
// recovered map.
inline JournalMap journalMapOf(const TileGrid& grid, const QString& mapPath, bool unsaved)
{
    return {true, grid.mapSize(), grid.cells(), mapPath, unsaved, {}, kNoCell};
}
inline JournalMap journalMapOf(const RecoveredMap& recovered)
{
    return {recovered.error.ok(), recovered.mapSize, recovered.cells, recovered.mapPath, recovered.unsaved, {}, kNoCell};
}

// The first difference between two states, in words; empty when there is none.
inline QString journalMapDifference(const JournalMap& got, const JournalMap& want)
{
    if (got.started != want.started)
        return QStringLiteral("started %1, not %2").arg(got.started).arg(want.started);
    if (got.mapSize != want.mapSize || got.cells.size() != want.cells.size())
        return QStringLiteral("size %1, not %2").arg(got.mapSize).arg(want.mapSize);
    for (std::size_t i = 0; i < got.cells.size(); ++i)
        if (got.cells[i] != want.cells[i])
            return QStringLiteral("cell %1: \"%2\", not \"%3\"").arg(i).arg(got.cells[i], want.cells[i]);
    if (got.mapPath != want.mapPath)
        return QStringLiteral("path \"%1\", not \"%2\"").arg(got.mapPath, want.mapPath);
    if (got.unsaved != want.unsaved)
        return QStringLiteral("unsaved %1, not %2").arg(got.unsaved).arg(want.unsaved);
    return {};
}

}  // namespace tessera
