#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>

namespace tessera {

// One file the program writes, whole or not at all. Every writer of the program goes through it.
//
// A regular file, new or old, is written under a hidden partial name next to it (see
// partialFileName), held with an exclusive flock while it is written; `commit` renames it into
// place once every byte is written, synced and closed without an error. A symbolic link is followed:
// the file it leads to is replaced and the link stays. The new file keeps the old one's permission
// bits (and owner, where allowed). An old file the user may not write is refused, as root too when it
// has no write bit at all: a read-only mark is the user's word. So is an old file that is one of the
// writer's inputs (same device and inode; the inputs are asked for only then).
//
// A FIFO or character device (/dev/null, a pipe behind /dev/stdout) is written straight through and
// never replaced; a FIFO that nobody reads is refused at once instead of waiting. A folder, a block
// device or a socket is refused.
//
// The first failure keeps its errno (`error`) and its reason in Chinese (`errorString`, without the
// path: the caller names the file); nothing more is written after it. A file that is not committed
// (a failure, `discard`, the destructor) leaves the old file as it was and no partial file behind;
// one left by a killed process is removed by the next `Replace` writer of the same file.
class OutputFile : public QIODevice {
public:
    enum class Kind {
        Replace,    // an output the user named: replaced, synced, checked as above
        CreateNew,  // a file that must not exist yet (a batch copy): never replaces, not synced
    };

    explicit OutputFile(const QString& path, Kind kind = Kind::Replace);
    ~OutputFile() override;

    // The files this writer reads; the output must not be one of them.
    void setInputs(std::function<QStringList()> inputs) { inputs_ = std::move(inputs); }

    // WriteOnly is the only mode. False with the reason when the output cannot be written.
    bool open(OpenMode mode = WriteOnly) override;
    // Writes the rest and syncs it, the owner and bits given, without making it the output yet:
    // after it `commit` only closes and renames. Files replaced together are all prepared before
    // the first commits. False with the reason.
    bool prepare();
    // Makes the written bytes the output; false with the reason when they are not.
    bool commit();
    // Drops what was written; the old file stays.
    void discard();
    void close() override { discard(); }

    // The errno of the failure, 0 for a refusal of the program's own (an input, a special file).
    int error() const { return error_; }
    bool failed() const { return failed_; }
    qint64 written() const { return written_; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    enum class Target { Missing, Regular, Stream };

    bool fail(int error, const QString& why = {});
    bool resolve();
    bool mayReplace();
    bool isAnInput();
    bool openStream();
    bool createPartial();
    bool flushBuffer();
    bool settlePartial();
    bool finishPartial();

    QString path_;
    Kind kind_;
    std::function<QStringList()> inputs_;
    QByteArray target_;   // the file replaced or written through, links followed
    QByteArray partial_;  // the partial file, while there is one
    Target targetKind_ = Target::Missing;
    unsigned int oldMode_ = 0;
    unsigned int oldOwner_ = 0, oldGroup_ = 0;
    unsigned long long oldDevice_ = 0, oldInode_ = 0;
    int fd_ = -1;
    int error_ = 0;
    bool failed_ = false;
    bool prepared_ = false;
    qint64 written_ = 0;
    QByteArray buffer_;
};

// Renames without ever replacing an existing target. Returns 0 or an errno value.
int renameWithoutReplacing(const QString& from, const QString& to);
// Its way on file systems without RENAME_NOREPLACE: a hard link, then the old name's removal.
int renameWithoutReplacingByLink(const QString& from, const QString& to);

// Writes every byte to the descriptor, again after an interruption. Returns 0 or an errno value.
int writeFully(int fd, const char* data, qint64 size);

// Removes a partial file whose writer is gone: only when no process holds its lock and the name
// still leads to the file that was checked. True when it was removed.
bool removeAbandonedPartial(const QString& path);

}  // namespace tessera
