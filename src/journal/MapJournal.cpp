#include "journal/MapJournal.h"

#include "files/Files.h"
#include "files/OutputFile.h"

#include <QFile>
#include <QLockFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace tessera {
namespace {

JournalEntry entryOf(JournalEntry::Kind kind, int mapSize = 0, const QString& path = {})
{
    JournalEntry entry;
    entry.kind = kind;
    entry.mapSize = mapSize;
    entry.path = path;
    return entry;
}

}  // namespace

MapJournal::MapJournal(const QString& folder, QObject* parent) : QObject(parent)
{
    const QString at = folder.isEmpty() ? defaultJournalFolder() : folder;
    JournalError error = makeJournalFolder(at);
    const QString journal = joinFolder(at, newJournalName());
    if (error.ok()) {
        lock_ = lockJournal(journal, &error);
        if (!lock_ && error.ok())
            error = {JournalError::Kind::Lock, EEXIST, journalLockPath(journal)};
    }
    if (!error.ok()) {
        error_ = error;
        closed_ = true;
        return;
    }
    path_ = journal;
    writer_ = std::thread([this] { writerLoop(); });
}

MapJournal::~MapJournal()
{
    stopWriter();
    if (fd_ >= 0)
        ::close(fd_);
}

void MapJournal::startMap(int mapSize, const QString& mapPath)
{
    append(entryOf(JournalEntry::Kind::Start, mapSize, mapPath), true);
}

void MapJournal::setCells(std::vector<JournalCell> changes)
{
    JournalEntry entry = entryOf(JournalEntry::Kind::Cells);
    entry.changes = std::move(changes);
    append(std::move(entry));
}

void MapJournal::replaceMap(int mapSize, CellTexts cells)
{
    Q_ASSERT(cells.size() == static_cast<std::size_t>(mapSize) * static_cast<std::size_t>(mapSize));
    JournalEntry entry = entryOf(JournalEntry::Kind::Replace, mapSize);
    entry.cells = std::move(cells);
    append(std::move(entry));
}

void MapJournal::shiftMap(ShiftDirection direction, int distance)
{
    JournalEntry entry = entryOf(JournalEntry::Kind::Shift);
    entry.direction = direction;
    entry.distance = distance;
    append(std::move(entry));
}

void MapJournal::setMapPath(const QString& path)
{
    append(entryOf(JournalEntry::Kind::MapPath, 0, path));
}

void MapJournal::markSaved(const QString& path)
{
    append(entryOf(JournalEntry::Kind::Saved, 0, path));
}

void MapJournal::compact(int mapSize, CellTexts cells, const QString& mapPath, bool saved)
{
    startMap(mapSize, mapPath);
    replaceMap(mapSize, std::move(cells));
    if (saved)
        markSaved(mapPath);
}

void MapJournal::append(JournalEntry entry, bool startsOver)
{
    {
        const std::lock_guard lock(mutex_);
        if (closed_)
            return;
        queue_.push_back({std::move(entry), startsOver});
        ++queued_;
    }
    wake_.notify_one();
}

JournalError MapJournal::flush()
{
    std::unique_lock lock(mutex_);
    const quint64 target = queued_;
    written_.wait(lock, [&] { return done_ >= target; });
    return error_;
}

JournalError MapJournal::error() const
{
    const std::lock_guard lock(mutex_);
    return error_;
}

JournalError MapJournal::discard()
{
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        done_ += queue_.size();
        queue_.clear();
    }
    written_.notify_all();
    stopWriter();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    JournalError result;
    if (!path_.isEmpty() && ::unlink(QFile::encodeName(path_).constData()) != 0 && errno != ENOENT)
        result = {JournalError::Kind::Remove, errno, path_};
    lock_.reset();
    return result;
}

void MapJournal::stopWriter()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable())
        writer_.join();
}

void MapJournal::writerLoop()
{
    for (;;) {
        std::vector<Item> batch;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            batch.swap(queue_);
        }
        const std::size_t count = batch.size();
        write(std::move(batch));
        {
            const std::lock_guard lock(mutex_);
            done_ += count;
        }
        written_.notify_all();
    }
}

void MapJournal::write(std::vector<Item> batch)
{
    // Whatever comes before the last start-over is superseded by it.
    std::size_t from = 0;
    for (std::size_t i = 0; i < batch.size(); ++i)
        if (batch[i].startsOver)
            from = i;
    const bool over = batch[from].startsOver;
    if (!over && fd_ < 0)
        return;  // stopped by a failure, or not started: nothing to append to
    QByteArray bytes = over ? journalHeader() : QByteArray();
    for (std::size_t i = from; i < batch.size(); ++i)
        appendJournalEntry(bytes, batch[i].entry);
    batch.clear();
    if (!over) {
        appendBytes(bytes);
    } else if (rewrite(bytes)) {
        const std::lock_guard lock(mutex_);
        error_ = {};
    }
}

bool MapJournal::appendBytes(const QByteArray& bytes)
{
    const int error = writeFully(fd_, bytes.constData(), bytes.size());
    if (error != 0 || ::fdatasync(fd_) != 0) {
        fail(JournalError::Kind::Write, error != 0 ? error : errno);
        return false;
    }
    return true;
}

bool MapJournal::rewrite(const QByteArray& bytes)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    OutputFile file(path_);
    if (!file.open() || file.write(bytes) != bytes.size() || !file.commit()) {
        fail(JournalError::Kind::Write, file.error());
        return false;
    }
    fd_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0) {
        fail(JournalError::Kind::Write, errno);
        return false;
    }
    return true;
}

void MapJournal::fail(JournalError::Kind kind, int error)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = error_.ok();
        if (first)
            error_ = {kind, error, path_};
    }
    if (first)
        emit failed();
}

}  // namespace tessera
