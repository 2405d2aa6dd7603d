#include "support/HugeTiles.h"

#include "render/PictureWriters.h"
#include "model/MapText.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSaveFile>

#include <turbojpeg.h>

#include <vector>

namespace tessera {
namespace {

// One flat picture, encoded from planes so that no RGB copy is needed.
QByteArray progressiveJpeg()
{
    const std::size_t luma = std::size_t(kHugeTileSide) * kHugeTileSide;
    std::vector<unsigned char> y(luma, 120), u(luma / 4, 110), v(luma / 4, 150);
    const unsigned char* planes[3] = {y.data(), u.data(), v.data()};
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long length = 0;
    QByteArray jpeg;
    if (tj && tjCompressFromYUVPlanes(tj, planes, kHugeTileSide, nullptr, kHugeTileSide, TJSAMP_420, &out, &length,
                                      85, TJFLAG_PROGRESSIVE)
                  == 0)
        jpeg = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(length));
    tjFree(out);
    if (tj)
        tjDestroy(tj);
    return jpeg;
}

}  // namespace

QStringList writeHugeJpegs(const QString& folder, int count)
{
    const QByteArray jpeg = progressiveJpeg();
    // The first quantizer of the first table scales the luma DC: each value gives another grey.
    const qsizetype table = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    if (jpeg.isEmpty() || table < 0 || !QDir().mkpath(folder))
        return {};
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        QByteArray copy = jpeg;
        copy[table + 5] = static_cast<char>(static_cast<unsigned char>(jpeg[table + 5]) + i);
        QFile file(QDir(folder).filePath(QStringLiteral("huge_%1.jpg").arg(i)));
        if (!file.open(QIODevice::WriteOnly) || file.write(copy) != copy.size())
            return {};
        paths << file.fileName();
    }
    return paths;
}

bool writeHugePng(const QString& path, QRgb band, QRgb solid)
{
    QImage rows(kHugeTileSide, 256, QImage::Format_ARGB32);
    for (int y = 0; y < rows.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(rows.scanLine(y));
        for (int x = 0; x < kHugeTileSide; ++x)
            line[x] = x < kHugeTileSide / 4 ? 0 : x < kHugeTileSide / 2 ? band : solid;
    }
    QSaveFile file(path);
    const auto writer = PictureWriter::create(PictureFormat::Png);
    if (!file.open(QIODevice::WriteOnly) || !writer->begin(file, QSize(kHugeTileSide, kHugeTileSide)))
        return false;
    for (int y = 0; y < kHugeTileSide; y += rows.height()) {
        if (!writer->writeRows(rows, rows.height()))
            return false;
    }
    return writer->finish() && file.commit();
}

bool writeFiveByFiveMap(const QString& path, const QStringList& tiles)
{
    QString text;
    for (int cell = 0; cell < 25; ++cell)
        text += (cell < tiles.size() ? tiles[cell] : QStringLiteral("空")) + QLatin1String(cell % 5 == 4 ? "\r\n" : "|");
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(encodeMapText(text)) >= 0 && file.commit();
}

double peakMbOf(const QString& program, const QStringList& arguments)
{
    QProcess child;
    child.start(QStringLiteral(PEAK_CHILD), QStringList{program} + arguments);
    if (!child.waitForFinished(120000))
        return -1;
    // What the program printed, then peak_child's line: its status, peak in kB and CPU time.
    const QList<QByteArray> last = child.readAllStandardOutput().trimmed().split('\n').constLast().split(' ');
    return last.size() == 3 && last[0] == "0" ? last[1].toDouble() / 1024.0 : -1;
}

}  // namespace tessera
