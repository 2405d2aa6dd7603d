#include "files/OpenFolders.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tessera {
namespace {
constexpr std::size_t kHeld = 8;
}

std::pair<QStringView, QStringView> splitPath(QStringView path)
{
    const qsizetype at = path.lastIndexOf(u'/');
    if (at < 0)
        return {u".", path};
    return {at == 0 ? path.first(1) : path.first(at), path.sliced(at + 1)};
}

namespace {
void closeFolder(int fd)
{
#ifdef Q_OS_UNIX
    if (fd >= 0)
        ::close(fd);
#else
    Q_UNUSED(fd);
#endif
}
}  // namespace

OpenFolders::~OpenFolders()
{
    for (const Held& folder : held_)
        closeFolder(folder.fd);
}

int OpenFolders::descriptor(QStringView folder)
{
    if (last_ < held_.size() && held_[last_].text == folder)
        return held_[last_].fd;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (held_[i].text == folder) {
            last_ = i;
            return held_[i].fd;
        }
    }
    Held opened{folder.toString(), -1};
#if defined(O_PATH)
    opened.fd = ::open(QFile::encodeName(opened.text).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#elif defined(Q_OS_UNIX)
    opened.fd = ::open(QFile::encodeName(opened.text).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
    if (held_.size() < kHeld) {
        held_.push_back(std::move(opened));
        last_ = held_.size() - 1;
    } else {
        closeFolder(held_[next_].fd);
        held_[next_] = std::move(opened);
        last_ = next_;
        next_ = (next_ + 1) % kHeld;
    }
    return held_[last_].fd;
}

}  // namespace tessera
