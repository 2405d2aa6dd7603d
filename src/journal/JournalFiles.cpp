// The journal's names, folder and lock.
#include "journal/JournalFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>

namespace tessera {
namespace {

QString uniqueId()
{
    return QUuid::createUuid().toString(QUuid::Id128).left(12);
}

}  // namespace

QString defaultJournalFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/journal");
}

JournalError makeJournalFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return {};
    errno = 0;
    if (!QDir().mkpath(folder))
        return {JournalError::Kind::Folder, errno, folder};
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return {};
}

QString newJournalName()
{
    return QStringLiteral("editor-%1.journal").arg(uniqueId());
}

bool isJournalName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^editor-[0-9a-f]{12}\\.journal$"));
    return pattern.match(name).hasMatch();
}

QString keptAsideName()
{
    return QStringLiteral("kept-%1-%2.journal")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")), uniqueId());
}

bool isKeptAsideName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^kept-\\d{8}-\\d{6}-[0-9a-f]{12}\\.journal$"));
    return pattern.match(name).hasMatch();
}

QString journalLockPath(const QString& journal)
{
    return journal + QStringLiteral(".lock");
}

std::unique_ptr<QLockFile> lockJournal(const QString& journal, JournalError* error)
{
    auto lock = std::make_unique<QLockFile>(journalLockPath(journal));
    // Only a dead owner makes a lock stale, however long a running editor has held it.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    if (error && lock->error() != QLockFile::LockFailedError)
        *error = {JournalError::Kind::Lock, lock->error() == QLockFile::PermissionError ? EACCES : EIO,
                  journalLockPath(journal)};
    return nullptr;
}

}  // namespace tessera
