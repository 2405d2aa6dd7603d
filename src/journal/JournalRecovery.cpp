#include "journal/JournalRecovery.h"

#include "files/Files.h"
#include "files/OutputFile.h"
#include "journal/JournalFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessera {

RecoveredMap readJournal(const QString& journal)
{
    RecoveredMap recovered;
    // Never blocks on a FIFO or device; a link is not followed.
    const int fd = ::open(QFile::encodeName(journal).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        recovered.error = {JournalError::Kind::Read, errno, journal};
        return recovered;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        recovered.error = {JournalError::Kind::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : 0, journal};
        ::close(fd);
        return recovered;
    }
    const JournalSource source{[fd](char* into, qint64 size) -> qint64 {
                                   for (;;) {
                                       const ssize_t n = ::read(fd, into, static_cast<size_t>(std::min<qint64>(size, 1 << 20)));
                                       if (n >= 0)
                                           return n;
                                       if (errno != EINTR)
                                           return -errno;
                                   }
                               },
                               static_cast<qint64>(st.st_size)};
    JournalMap map;
    const JournalReplay replay = replayJournal(source, map);
    ::close(fd);
    recovered.damaged = replay.damaged;
    recovered.headerDamaged = replay.headerDamaged;
    recovered.behind = replay.behind;
    recovered.readError = replay.readError;
    recovered.entries = replay.entries;
    recovered.validBytes = replay.validBytes;
    recovered.fileSize = static_cast<qint64>(st.st_size);
    if (!map.started) {
        // Read whole, it is the journal of an editor that had no map yet; else nothing is left.
        if (!recovered.whole() || !replay.header)
            recovered.error = {JournalError::Kind::NotAJournal, replay.readError, journal};
        return recovered;
    }
    recovered.carriedTo = settleCarriedTile(map);
    recovered.mapSize = map.mapSize;
    recovered.cells = std::move(map.cells);
    recovered.mapPath = map.mapPath;
    recovered.unsaved = map.unsaved;
    return recovered;
}

JournalRecovery::JournalRecovery(const QString& folder)
    : folder_(folder.isEmpty() ? defaultJournalFolder() : folder)
{
    const QDir dir(folder_);
    QFileInfoList found;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Time | QDir::Reversed)) {
        const QString name = info.fileName();
        if (isJournalName(name)) {
            // A FIFO or device under a journal's name was not written by an editor.
            if (!info.isFile())
                continue;
            found.push_back(info);
        } else if (name.endsWith(QStringLiteral(".lock")) && isJournalName(name.chopped(5))
                   && !dir.exists(name.chopped(5))) {
            lockJournal(info.filePath().chopped(5));  // a lock whose journal is gone: taken and let go
        } else if (isJournalName(partialTargetName(name))) {
            removeAbandonedPartial(info.filePath());  // a compaction that was killed
        }
    }
    for (const QFileInfo& info : found) {
        auto lock = lockJournal(info.filePath());
        if (!lock)
            continue;
        journals_.push_back(info.filePath());
        locks_[info.filePath()] = std::move(lock);
    }
}

JournalRecovery::~JournalRecovery() = default;

JournalRecovery::KeptAside JournalRecovery::keepAside(const QString& journal)
{
    const QString aside = joinFolder(QFileInfo(journal).path(), keptAsideName());
    if (const int error = renameWithoutReplacing(journal, aside); error != 0)
        return {{JournalError::Kind::Rename, error, journal}, {}};
    journals_.removeAll(journal);
    locks_.erase(journal);
    return {{}, aside};
}

QStringList JournalRecovery::keptAside(const QString& folder)
{
    QStringList kept;
    const QDir dir(folder);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Time))
        if (isKeptAsideName(info.fileName()))
            kept << info.filePath();
    return kept;
}

JournalError JournalRecovery::remove(const QString& journal)
{
    if (::unlink(QFile::encodeName(journal).constData()) != 0 && errno != ENOENT)
        return {JournalError::Kind::Remove, errno, journal};
    journals_.removeAll(journal);
    locks_.erase(journal);
    return {};
}

}  // namespace tessera
