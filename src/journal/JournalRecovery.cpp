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
namespace {

QByteArray readWhole(const QString& path, int& error)
{
    QByteArray data;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = fd < 0 ? errno : EINVAL;
        if (fd >= 0)
            ::close(fd);
        return data;
    }
    data.resize(static_cast<qsizetype>(st.st_size));
    qsizetype got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, static_cast<size_t>(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        got += n;
    }
    data.truncate(got);
    ::close(fd);
    return data;
}

}  // namespace

RecoveredMap readJournal(const QString& journal)
{
    RecoveredMap recovered;
    int error = 0;
    const QByteArray data = readWhole(journal, error);
    if (error != 0) {
        recovered.error = {JournalError::Kind::Read, error, journal};
        return recovered;
    }
    JournalMap map;
    const JournalReplay replay = replayJournal(data, map);
    if (!replay.header || !map.started) {
        recovered.error = {JournalError::Kind::NotAJournal, 0, journal};
        return recovered;
    }
    recovered.mapSize = map.mapSize;
    recovered.cells = std::move(map.cells);
    recovered.mapPath = map.mapPath;
    recovered.unsaved = map.unsaved;
    recovered.damaged = replay.damaged;
    recovered.entries = replay.entries;
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

JournalError JournalRecovery::remove(const QString& journal)
{
    if (::unlink(QFile::encodeName(journal).constData()) != 0 && errno != ENOENT)
        return {JournalError::Kind::Remove, errno, journal};
    journals_.removeAll(journal);
    locks_.erase(journal);
    return {};
}

}  // namespace tessera
