// The journal against the plain model: random editing applied to both, the journal read back after
// every step, and cut or damaged at every byte of its last entries.
#include "support/ScratchJournal.h"

#include "files/Progress.h"
#include "journal/JournalBytes.h"
#include "journal/JournalFormat.h"
#include "model/MapShift.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

// The map as the editor holds it, changed the plain way, and the same changes journalled.
struct Session {
    Session(quint32 seed, MapJournal& journal) : random(seed), journal(journal) {}

    QString text()
    {
        static const QString shared[] = {QString(), QStringLiteral("/maps/a.jpg"), QStringLiteral("/maps/b.jpg"),
                                          QStringLiteral("/home/用户/地图/石.jpg"), QStringLiteral("空")};
        const int pick = random.bounded(7);
        return pick < 5 ? shared[pick] : QStringLiteral("/t/%1.jpg").arg(random.bounded(1000));
    }
    QString path() { return random.bounded(3) == 0 ? QString() : QStringLiteral("/maps/%1.tlp").arg(random.bounded(9)); }

    void newMap()
    {
        const int size = random.bounded(1, 6);
        mapPath = path();
        grid.resize(size);
        unsaved = false;
        journal.startMap(size, mapPath);
    }

    // One random change; a new map or a compaction (which start the file over) only if `startsOver`.
    void step(bool startsOver)
    {
        switch (random.bounded(startsOver ? 8 : 6)) {
        case 0:
        case 1: {
            std::vector<JournalCell> changes;
            for (int k = random.bounded(1, 5); k > 0; --k) {
                const int index = random.bounded(grid.mapSize() * grid.mapSize());
                changes.push_back({index, text()});
                grid.setCellText(index / grid.mapSize() + 1, index % grid.mapSize() + 1, changes.back().text);
            }
            journal.setCells(std::move(changes));
            unsaved = true;
            break;
        }
        case 2: {
            // Up to 400 cells: tables of more than 255 texts too.
            const int size = random.bounded(1, 21);
            CellTexts cells(static_cast<std::size_t>(size * size));
            for (QString& cell : cells)
                cell = text();
            grid.resize(size);
            EXPECT_TRUE(grid.replaceCells(cells));
            journal.replaceMap(size, std::move(cells));
            unsaved = true;
            break;
        }
        case 3: {
            const auto direction = static_cast<ShiftDirection>(random.bounded(4));
            const int distance = random.bounded(1, grid.mapSize() + 2);
            NullProgress progress;
            shiftGrid(grid, direction, distance, progress);
            journal.shiftMap(direction, distance);
            unsaved = true;
            break;
        }
        case 4:
            mapPath = path();
            journal.setMapPath(mapPath);
            break;
        case 5:
            mapPath = path();
            unsaved = false;
            journal.markSaved(mapPath);
            break;
        case 6:
            newMap();
            break;
        case 7:
            journal.compact(grid.mapSize(), grid.cells(), mapPath, !unsaved);
            break;
        }
    }

    JournalMap state() const { return journalMapOf(grid, mapPath, unsaved); }

    QRandomGenerator random;
    MapJournal& journal;
    TileGrid grid;
    QString mapPath;
    bool unsaved = false;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(JournalReplay, RecoversTheMapAfterEverySequenceOfRandomEdits)
{
    for (const quint32 seed : {1u, 2u, 3u, 4u, 5u}) {
        ScratchJournal scratch;
        Session session(seed, scratch.journal);
        session.newMap();
        for (int length = 1; length <= 60; ++length) {
            session.step(true);
            // Several appends often reach the writer as one batch.
            if (session.random.bounded(2) == 0 && length < 60)
                continue;
            const RecoveredMap recovered = scratch.recover();
            ASSERT_EQ(journalMapDifference(journalMapOf(recovered), session.state()), QString())
                << "seed " << seed << ", " << length << " edits";
            ASSERT_FALSE(recovered.damaged);
        }
        // A compaction starts the file over from the map as it is.
        scratch.journal.compact(session.grid.mapSize(), session.grid.cells(), session.mapPath, !session.unsaved);
        const RecoveredMap compacted = scratch.recover();
        EXPECT_EQ(journalMapDifference(journalMapOf(compacted), session.state()), QString());
        EXPECT_LE(compacted.entries, 3);
    }
}

TEST(JournalReplay, ACutOrDamagedEntryLeavesExactlyTheWholeEntriesBeforeIt)
{
    for (const quint32 seed : {11u, 12u, 13u, 14u, 15u, 16u}) {
        ScratchJournal scratch;
        Session session(seed, scratch.journal);
        session.newMap();
        for (int i = 0; i < 6; ++i)
            session.step(true);
        // The state and the file's end after each of the last entries.
        std::vector<std::pair<qint64, JournalMap>> marks;
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                session.step(false);
            scratch.journal.flush();
            marks.emplace_back(QFileInfo(scratch.journal.path()).size(), session.state());
        }
        const QByteArray bytes = fileBytes(scratch.journal.path());
        ASSERT_EQ(bytes.size(), marks.back().first);
        for (qint64 cut = marks.front().first; cut <= marks.back().first; ++cut) {
            auto whole = marks.rbegin();
            while (whole->first > cut)
                ++whole;
            JournalMap map;
            const JournalReplay replay = replayJournal(bytes.left(cut), map);
            ASSERT_EQ(journalMapDifference(map, whole->second), QString()) << "seed " << seed << ", cut at " << cut;
            EXPECT_EQ(replay.damaged, cut != whole->first);
            EXPECT_EQ(replay.validBytes, whole->first);
        }
        for (qint64 at = marks[1].first; at < marks[2].first; ++at) {
            QByteArray flipped = bytes;
            flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
            JournalMap map;
            const JournalReplay replay = replayJournal(flipped, map);
            ASSERT_EQ(journalMapDifference(map, marks[1].second), QString()) << "seed " << seed << ", flip at " << at;
            EXPECT_TRUE(replay.damaged);
        }
    }
}

TEST(JournalReplay, LargeTablesAndForeignBytes)
{
    EXPECT_EQ(journalChecksum("123456789", 9), 0xCBF43926u);

    // 90,000 distinct texts: refs four bytes wide.
    ScratchJournal scratch;
    TileGrid grid;
    grid.resize(300);
    CellTexts cells(grid.cells().size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = i % 7 == 0 ? QString() : QStringLiteral("/tiles/%1.jpg").arg(i);
    ASSERT_TRUE(grid.replaceCells(cells));
    scratch.journal.startMap(300);
    scratch.journal.replaceMap(300, cells);
    EXPECT_EQ(journalMapDifference(journalMapOf(scratch.recover()), journalMapOf(grid, {}, true)), QString());

    QFile other(scratch.folder() + QStringLiteral("/other"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("TESSJRNL\x02\0\0\0\0\0\0\0", 16);
    other.close();
    EXPECT_EQ(readJournal(other.fileName()).error.kind, JournalError::Kind::NotAJournal);
    EXPECT_EQ(readJournal(other.fileName() + QStringLiteral(".missing")).error.kind, JournalError::Kind::Read);
}
