#include "journal/MapJournal.h"

#include "files/Files.h"
#include "files/OutputFile.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QtEndian>

#include <cerrno>
#include <chrono>

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
    path_ = joinFolder(folder.isEmpty() ? defaultJournalFolder() : folder, newJournalName());
    // The file is there from the start, so that a journal that cannot be written is known at once.
    rewrite(journalHeader());
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

void MapJournal::carryTile(std::uint32_t index, const QString& text)
{
    JournalEntry entry = entryOf(JournalEntry::Kind::Carry, 0, text);
    entry.index = index;
    append(std::move(entry));
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
    if (lock_ && ::unlink(QFile::encodeName(path_).constData()) != 0 && errno != ENOENT)
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
    // While failing, the writer wakes now and then to try again.
    constexpr auto kRetry = std::chrono::seconds(5);
    for (;;) {
        std::vector<Item> batch;
        {
            std::unique_lock lock(mutex_);
            const auto ready = [&] { return stopping_ || !queue_.empty(); };
            if (!error_.ok())
                wake_.wait_for(lock, kRetry, ready);
            else
                wake_.wait(lock, ready);
            if (queue_.empty() && stopping_)
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

bool MapJournal::failing() const
{
    const std::lock_guard lock(mutex_);
    return !error_.ok();
}

void MapJournal::write(std::vector<Item> batch)
{
    // Whatever comes before the last start-over is superseded by it.
    std::size_t from = 0;
    for (std::size_t i = 0; i < batch.size(); ++i)
        if (batch[i].startsOver)
            from = i;
    const bool over = !batch.empty() && batch[from].startsOver;
    QByteArray bytes = over ? journalHeader() : QByteArray();
    for (std::size_t i = from; i < batch.size(); ++i) {
        appendJournalEntry(bytes, batch[i].entry);
        applyJournalEntry(kept_, std::move(batch[i].entry));
    }
    batch.clear();
    if (over)
        rewrite(bytes);
    else if (failing())
        rewrite(journalBytesOf(kept_));  // try again, from the map as it is now
    else if (!bytes.isEmpty())
        appendBytes(bytes);
}

bool MapJournal::appendBytes(const QByteArray& bytes)
{
    const int error = writeFully(fd_, bytes.constData(), bytes.size());
    if (error != 0 || ::fdatasync(fd_) != 0) {
        fail({JournalError::Kind::Write, error != 0 ? error : errno, path_});
        return false;
    }
    return true;
}

bool MapJournal::setUp()
{
    const QString folder = QFileInfo(path_).path();
    if (JournalError error = makeJournalFolder(folder); !error.ok()) {
        fail(error);
        return false;
    }
    if (lock_ && QFileInfo::exists(journalLockPath(path_)))
        return true;
    lock_.reset();
    JournalError error;
    lock_ = lockJournal(path_, &error);
    if (!lock_) {
        fail(error.ok() ? JournalError{JournalError::Kind::Lock, EEXIST, journalLockPath(path_)} : error);
        return false;
    }
    return true;
}

bool MapJournal::rewrite(const QByteArray& bytes)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!setUp())
        return false;
    OutputFile file(path_);
    if (!file.open() || file.write(bytes) != bytes.size() || !file.commit()) {
        fail({JournalError::Kind::Write, file.error(), path_});
        return false;
    }
    fd_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0) {
        fail({JournalError::Kind::Write, errno, path_});
        return false;
    }
    bool resumed = false;
    {
        const std::lock_guard lock(mutex_);
        resumed = !error_.ok();
        error_ = {};
    }
    if (resumed)
        emit this->resumed();
    return true;
}

void MapJournal::fail(JournalError error)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = error_.ok();
        error_ = error;
    }
    if (!first)
        return;
    markBehind();
    emit failed();
}

void MapJournal::markBehind()
{
    if (!lock_)
        return;  // not this editor's file
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return;
    char flags[4];
    qToLittleEndian(kJournalBehind, flags);
    const bool marked = fd >= 0 && ::pwrite(fd, flags, 4, kJournalFlagsOffset) == 4 && ::fdatasync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    // A file that cannot say it is behind is moved out of the way of the offer at the next start.
    if (!marked)
        (void)renameWithoutReplacing(path_, joinFolder(QFileInfo(path_).path(), keptAsideName()));
}

}  // namespace tessera
