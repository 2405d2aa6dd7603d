#pragma once

#include "journal/JournalFiles.h"
#include "journal/JournalFormat.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QLockFile;

namespace tessera {

// The crash-recovery journal of one running editor: every change of the open map, appended as its
// effect on the cells, so that a map lost to a kill or a crash can be rebuilt from it.
//
// Appends are cheap on the caller's thread: the entry (its strings shared) joins a queue, and the
// journal's own writer thread encodes it, appends it to the file and syncs at once, taking
// together whatever queued meanwhile. The file lives in the journal folder under a name of its own
// with a lock beside it, so a second editor keeps its own journal and never offers this one while
// it runs. The destructor writes what is queued and joins the writer; the journal stays for
// recovery unless `discard` removed it (a clean exit).
//
// The writer keeps the map as the journal has it. A write failure (or a journal that could not be
// set up) marks the file behind (a header flag, so that it is never offered as current) and emits
// `failed` from the writer thread; from then on every batch, and a wake every few seconds, try to
// start the file over from the map as kept, and the first that works emits `resumed`.
class MapJournal : public QObject {
    Q_OBJECT

public:
    // `folder` empty: defaultJournalFolder().
    explicit MapJournal(const QString& folder = {}, QObject* parent = nullptr);
    ~MapJournal() override;

    // The journal file (it may not exist when it could not be set up: see error()).
    QString path() const { return path_; }

    // A new map of mapSize × mapSize empty cells, from the map path file `mapPath` (may be empty).
    // Starts the file over: nothing before it matters.
    void startMap(int mapSize, const QString& mapPath = {});
    // Cells stored: placements, moves, swaps, deletes, table edits and the undo of any of them.
    void setCells(std::vector<JournalCell> changes);
    // Every cell replaced (import, 自动拼图, their undo); `cells` holds mapSize² texts row by row.
    void replaceMap(int mapSize, CellTexts cells);
    void shiftMap(ShiftDirection direction, int distance);
    // The map's path file is now `path`, and in the second case the map equals it.
    void setMapPath(const QString& path);
    void markSaved(const QString& path);
    // The move tool carries the tile `text` from the cell `index` (which it emptied); kNoCell: it
    // carries nothing any more.
    void carryTile(std::uint32_t index, const QString& text = {});
    // Starts the file over from the map as it is: so the journal never grows without bound.
    void compact(int mapSize, CellTexts cells, const QString& mapPath, bool saved);

    // Waits until everything appended so far is on disk; the journal's error, if any.
    JournalError flush();
    // The first failure since the journal last started over; thread-safe.
    JournalError error() const;

    // A clean exit: drops what is queued, removes the file and releases the lock. Later appends
    // are ignored.
    JournalError discard();

signals:
    // Emitted on the writer thread when writing first fails; see error(). A receiver on another
    // thread gets it queued; a direct slot must not call flush().
    void failed();
    // Emitted on the writer thread when writing works again after a failure; error() is ok.
    void resumed();

private:
    struct Item {
        JournalEntry entry;
        bool startsOver = false;
    };

    void append(JournalEntry entry, bool startsOver = false);
    void writerLoop();
    void write(std::vector<Item> batch);
    bool failing() const;
    // Makes the folder and takes the lock, again if they went.
    bool setUp();
    bool rewrite(const QByteArray& bytes);
    bool appendBytes(const QByteArray& bytes);
    void fail(JournalError error);
    void markBehind();
    void stopWriter();

    QString path_;
    std::unique_ptr<QLockFile> lock_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;     // the writer: items queued, or stop
    std::condition_variable written_;  // flush: the writer caught up
    std::vector<Item> queue_;
    quint64 queued_ = 0;        // items queued since the start
    quint64 done_ = 0;          // of them, written or dropped
    bool stopping_ = false;
    bool closed_ = false;       // discarded, or never set up
    JournalError error_;

    // The writer thread's (the constructor's before it starts): the file, and the map it holds.
    int fd_ = -1;
    JournalMap kept_;
    std::thread writer_;
};

}  // namespace tessera
