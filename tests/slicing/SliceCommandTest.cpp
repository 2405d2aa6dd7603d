// `tessera slice`: its usage errors and statuses, the map path file it writes, and the round trip
// through `tessera assemble` and `tessera render`.
#include "cli/CommandLine.h"
#include <algorithm>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace tessera;

namespace {

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome run(const QStringList& arguments)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status = runCommand(arguments, outStream, errStream);
    return {status, out, err};
}

// Smooth, and different everywhere: no two slices alike.
QImage landscape(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(128 + int(60 * std::sin(x / 37.0) + 50 * std::sin(y / 53.0 + x / 91.0)),
                                      128 + int(60 * std::sin(y / 29.0) + 50 * std::cos(x / 71.0 - y / 97.0)),
                                      128 + int(100 * std::sin((x + 2 * y) / 113.0))));
    return image;
}

TEST(SliceCommandTest, UsageErrorsAndStatuses)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("big.jpg"));
    ASSERT_TRUE(landscape(QSize(90, 70)).save(picture, "JPG", 90));
    const QString out = dir.filePath(QStringLiteral("out"));
    const QList<std::pair<QStringList, QString>> usage = {
        {{QStringLiteral("slice")}, QStringLiteral("缺少要切分的图片")},
        {{QStringLiteral("slice"), picture}, QStringLiteral("缺少 -o")},
        {{QStringLiteral("slice"), picture, QStringLiteral("-o")}, QStringLiteral("-o 后面缺少值")},
        {{QStringLiteral("slice"), picture, QStringLiteral("-o"), out, QStringLiteral("--cell"), QStringLiteral("7x300")},
         QStringLiteral("“7x300”无效")},
        {{QStringLiteral("slice"), picture, QStringLiteral("-o"), out, QStringLiteral("--cell=4001x300")},
         QStringLiteral("“4001x300”无效")},
        {{QStringLiteral("slice"), picture, QStringLiteral("-o"), out, QStringLiteral("--quality"), QStringLiteral("0")},
         QStringLiteral("JPEG 质量")},
        {{QStringLiteral("slice"), picture, QStringLiteral("-o"), out, QStringLiteral("--pad"), QStringLiteral("nocolour")},
         QStringLiteral("颜色")},
        {{QStringLiteral("slice"), picture, QStringLiteral("-o"), out, QStringLiteral("--rows"), QStringLiteral("3")},
         QStringLiteral("未知的选项")},
        {{QStringLiteral("slice"), picture, picture, QStringLiteral("-o"), out}, QStringLiteral("多余的参数")},
    };
    for (const auto& [arguments, why] : usage) {
        const Outcome r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(why) && r.err.contains(QStringLiteral("用法：tessera slice")))
            << r.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_EQ(run({QStringLiteral("slice"), QStringLiteral("--help")}).status, 0);

    const Outcome missing = run({QStringLiteral("slice"), dir.filePath(QStringLiteral("none.jpg")), QStringLiteral("-o"), out});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("none.jpg")));

    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    const Outcome done = run({QStringLiteral("slice"), picture, QStringLiteral("-o"), out, QStringLiteral("--cell"),
                          QStringLiteral("40x30"), QStringLiteral("--pad"), QStringLiteral("#ffffff"),
                          QStringLiteral("--map"), map});
    ASSERT_EQ(done.status, 0) << done.err.toStdString();
    EXPECT_EQ(done.out.count(u'\n'), 1);
    EXPECT_TRUE(done.out.contains(QStringLiteral("3 行 × 3 列、9 个切片")));
    EXPECT_EQ(QImage(QDir(out).filePath(QStringLiteral("3-3.jpg"))).size(), QSize(40, 30));  // padded
    // The map path file names each slice in its cell.
    QFile mapFile(map);
    ASSERT_TRUE(mapFile.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(mapFile.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].split(u'|').value(2), QDir(out).filePath(QStringLiteral("2-3.jpg")));

    // Again into the same folder: every name is taken, nothing is replaced.
    const QByteArray before = [&] {
        QFile f(QDir(out).filePath(QStringLiteral("1-1.jpg")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const Outcome again = run({QStringLiteral("slice"), picture, QStringLiteral("-o"), out, QStringLiteral("--quality"),
                           QStringLiteral("20"), QStringLiteral("--cell"), QStringLiteral("40x30")});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("不会覆盖")));
    QFile first(QDir(out).filePath(QStringLiteral("1-1.jpg")));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), before);
}

TEST(SliceCommandTest, RoundTripThroughAssembleAndRender)
{
    QTemporaryDir dir;
    const QImage picture = landscape(QSize(1600, 1200));
    const QString picturePath = dir.filePath(QStringLiteral("big.png"));
    ASSERT_TRUE(picture.save(picturePath, "PNG"));
    const QString slices = dir.filePath(QStringLiteral("slices"));
    const QString reference = dir.filePath(QStringLiteral("reference.jpg"));
    const Outcome cut = run({QStringLiteral("slice"), picturePath, QStringLiteral("-o"), slices, QStringLiteral("--reference"),
                         reference});
    ASSERT_EQ(cut.status, 0) << cut.err.toStdString();

    // Names that say nothing of the cell, in a shuffled order.
    QStringList names = QDir(slices).entryList(QDir::Files);
    ASSERT_EQ(names.size(), 16);
    QList<int> order;
    for (int i = 0; i < names.size(); ++i)
        order.append(i);
    std::shuffle(order.begin(), order.end(), *QRandomGenerator::global());
    for (int i = 0; i < names.size(); ++i)
        ASSERT_TRUE(QFile::rename(QDir(slices).filePath(names[i]),
                                  QDir(slices).filePath(QStringLiteral("piece%1.jpg").arg(order[i]))));

    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    const Outcome assembled = run({QStringLiteral("assemble"), QStringLiteral("--reference"), reference,
                               QStringLiteral("--slices"), slices, QStringLiteral("-o"), map});
    ASSERT_EQ(assembled.status, 0) << assembled.err.toStdString();
    const QString rendered = dir.filePath(QStringLiteral("rendered.png"));
    const Outcome drawn = run({QStringLiteral("render"), map, QStringLiteral("-o"), rendered, QStringLiteral("--cell"),
                           QStringLiteral("400x300")});
    ASSERT_EQ(drawn.status, 0) << drawn.err.toStdString();

    const QImage back = QImage(rendered).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(back.size(), picture.size());
    double total = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* a = picture.constScanLine(y);
        const uchar* b = back.constScanLine(y);
        for (int k = 0; k < picture.width() * 3; ++k)
            total += std::abs(int(a[k]) - int(b[k]));
    }
    EXPECT_LE(total / (3.0 * picture.width() * picture.height()), 2.0);
}

}  // namespace
