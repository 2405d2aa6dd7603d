#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace tessera {

// Why a journal operation failed: its kind, the errno (0 when the program itself refused) and the
// file. The caller words it for the user.
struct JournalError {
    enum class Kind {
        None,
        Folder,       // the journal folder cannot be made
        Lock,         // the journal's lock cannot be taken
        Write,        // writing or syncing the journal failed
        Read,         // the journal cannot be read
        NotAJournal,  // no map could be read from the file
        NotRegular,   // the file is not a regular file (a FIFO, a device, a folder)
        Rename,       // keeping a journal aside failed
        Remove,       // removing a journal failed
    };

    Kind kind = Kind::None;
    int error = 0;
    QString path;

    bool ok() const { return kind == Kind::None; }
};

// Where journals live unless a caller names a folder: a subfolder of the user's state folder
// (QStandardPaths::AppLocalDataLocation), never beside the user's files.
QString defaultJournalFolder();
// Makes the folder (private to the user when it is new).
JournalError makeJournalFolder(const QString& folder);

// A live journal's name in its folder, unique to one running editor.
QString newJournalName();
bool isJournalName(const QString& name);
// The name a declined journal is kept under: never offered again.
QString keptAsideName();
bool isKeptAsideName(const QString& name);
// The lock file beside a journal, held by the editor that writes it.
QString journalLockPath(const QString& journal);

// Takes the journal's lock without waiting; a lock whose owner is gone is taken over. Null when a
// running editor holds it, or with `error` set when the lock cannot be made.
std::unique_ptr<QLockFile> lockJournal(const QString& journal, JournalError* error = nullptr);

}  // namespace tessera
