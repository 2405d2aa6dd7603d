// A picture's top-left corner read straight from its file.
#include "imaging/ImageCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRect>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tessera {

QImage readPictureCorner(const QString& path, QSize size)
{
    // Opening a FIFO would wait for a writer: regular files only.
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
#else
    if (!QFileInfo(path).isFile())
        return {};
#endif
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file);
    const QSize full = reader.size();
    if (!full.isValid())
        return {};
    reader.setClipRect(QRect(QPoint(0, 0), size).intersected(QRect(QPoint(0, 0), full)));
    return reader.read();
}

}  // namespace tessera
