#include "support/FaultyFiles.h"

#include <type_traits>

namespace tessera {

void FaultyFiles::failWhen(Op op, std::function<bool(const QString&)> match, QString why)
{
    const std::lock_guard hold(lock_);
    failures_.append({op, std::move(match), std::move(why)});
}

void FaultyFiles::clearFailures()
{
    const std::lock_guard hold(lock_);
    failures_.clear();
}

std::optional<QString> FaultyFiles::failureFor(Op op, const QString& path) const
{
    const std::lock_guard hold(lock_);
    for (const Failure& f : failures_) {
        if (f.op == op && f.match(path))
            return f.why;
    }
    return std::nullopt;
}

template <typename Result, typename Call>
Result FaultyFiles::unlessFailing(Op op, const QString& path, Call call)
{
    if (std::optional<QString> why = failureFor(op, path)) {
        if constexpr (std::is_same_v<Result, ReadResult>)
            return {false, {}, *why};
        else
            return FileResult::failure(*why);
    }
    return call();
}

ReadResult FaultyFiles::readFile(const QString& path, qint64 maxBytes)
{
    return unlessFailing<ReadResult>(Op::Read, path, [&] { return real_.readFile(path, maxBytes); });
}

ReadResult FaultyFiles::readHead(const QString& path, int count)
{
    return unlessFailing<ReadResult>(Op::Read, path, [&] { return real_.readHead(path, count); });
}

void FaultyFiles::readHeads(std::span<const QString> paths, std::span<FileLook> looks)
{
    real_.readHeads(paths, looks);
    const std::lock_guard hold(lock_);
    for (const Failure& f : failures_) {
        if (f.op != Op::Read)
            continue;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (f.match(paths[i]))
                looks[i].headSize = -1;
        }
    }
}

FileResult FaultyFiles::writeFileAtomic(const QString& path, const QByteArray& data, const QStringList& inputs)
{
    return unlessFailing<FileResult>(Op::Write, path, [&] { return real_.writeFileAtomic(path, data, inputs); });
}

FileResult FaultyFiles::writeNewFile(const QString& path, const QByteArray& data)
{
    return unlessFailing<FileResult>(Op::Write, path, [&] { return real_.writeNewFile(path, data); });
}

FileResult FaultyFiles::renameFile(const QString& from, const QString& to)
{
    return unlessFailing<FileResult>(Op::Rename, from, [&] { return real_.renameFile(from, to); });
}

FileResult FaultyFiles::renameIn(OpenFolders& folders, const QString& from, const QString& to)
{
    return unlessFailing<FileResult>(Op::Rename, from, [&] { return real_.renameIn(folders, from, to); });
}

FileResult FaultyFiles::moveFile(const QString& from, const QString& to)
{
    return unlessFailing<FileResult>(Op::Move, from, [&] { return real_.moveFile(from, to); });
}

FileResult FaultyFiles::copyFile(const QString& from, const QString& to)
{
    return unlessFailing<FileResult>(Op::Copy, from, [&] { return real_.copyFile(from, to); });
}

}  // namespace tessera
