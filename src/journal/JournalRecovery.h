#pragma once

#include "journal/JournalFiles.h"
#include "model/TileGrid.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class QLockFile;

namespace tessera {

// A map read back from a journal.
struct RecoveredMap {
    JournalError error;     // no map could be read from the journal; nothing below holds
    int mapSize = 0;        // 0: the journal holds no map (an editor that never had one)
    CellTexts cells;        // mapSize² texts, row by row
    QString mapPath;        // the map path file, empty when it had none
    bool unsaved = false;   // changed since it was new or last equal to its map path file
    bool damaged = false;   // the journal ends in a damaged entry; everything before it is here
    bool headerDamaged = false;  // its header is damaged; the entries stood on their checksums
    bool behind = false;    // a write failed after its last entry: the map had later changes
    int readError = 0;      // a read failed part way (an errno value); damaged then
    qint64 entries = 0;     // entries replayed
    qint64 validBytes = 0;  // the bytes those entries end at
    qint64 fileSize = 0;
    int carriedTo = -1;     // the cell a tile carried at the end was put back into

    // Read to its end without damage, and current: all that the editor had journalled.
    bool whole() const { return error.ok() && !damaged && !headerDamaged && !behind; }
    // Nothing in it differs from what the user has: it may go.
    bool disposable() const { return whole() && (!unsaved || mapSize < 1); }
};

// Reads a journal into the map it describes, front to back as a stream. Opened without blocking;
// anything but a regular file is refused.
RecoveredMap readJournal(const QString& journal);

// At start-up: the journals of editors that did not end cleanly. The constructor claims, by their
// locks, every journal in the folder that no running editor owns (the lock of a dead owner is
// taken over), so that no other editor starting meanwhile offers them too, and removes what a
// killed compaction left. The claims end with this object; a journal neither kept aside nor removed
// by then is offered again at the next start.
class JournalRecovery {
public:
    // `folder` empty: defaultJournalFolder().
    explicit JournalRecovery(const QString& folder = {});
    ~JournalRecovery();
    JournalRecovery(const JournalRecovery&) = delete;
    JournalRecovery& operator=(const JournalRecovery&) = delete;

    // The claimed journals, oldest first.
    const QStringList& journals() const { return journals_; }

    // Declined: renamed to a kept-aside name in the same folder, never offered again. Where it is
    // now, or the error.
    struct KeptAside {
        JournalError error;
        QString path;
    };
    KeptAside keepAside(const QString& journal);
    // Recovered (the editor journals the map anew) or not worth offering: removed.
    JournalError remove(const QString& journal);

    // The journals kept aside in the folder, newest first.
    static QStringList keptAside(const QString& folder);

private:
    QString folder_;
    QStringList journals_;
    std::map<QString, std::unique_ptr<QLockFile>> locks_;
};

}  // namespace tessera
