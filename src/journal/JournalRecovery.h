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
    JournalError error;     // the journal could not be read at all; nothing below holds
    int mapSize = 0;
    CellTexts cells;        // mapSize² texts, row by row
    QString mapPath;        // the map path file, empty when it had none
    bool unsaved = false;   // changed since it was new or last equal to its map path file
    bool damaged = false;   // the journal ends in a damaged entry; everything before it is here
    qint64 entries = 0;     // entries replayed
};

// Reads a journal into the map it describes.
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

private:
    QString folder_;
    QStringList journals_;
    std::map<QString, std::unique_ptr<QLockFile>> locks_;
};

}  // namespace tessera
