// Random maps renamed and held against the plain rules: no picture lost or overwritten, every cell
// on a file with its own picture, a failure for each cell left off its target, and, where no file
// stays in the way, every cell on its target.
#include "BatchTestSupport.h"

#include "batch/BatchRename.h"
#include "batch/BatchSupport.h"

#include <QDirIterator>
#include <QHash>
#include <QRandomGenerator>

#include <unistd.h>

using namespace tessera;

namespace {

class RenameProperty : public BatchTest {
protected:
    void writeBytes(const QString& path, const QByteArray& data)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    // Every regular file under the round's folder, by content: how many hold it.
    QHash<QByteArray, int> contents(const QString& folder)
    {
        QHash<QByteArray, int> found;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext())
            ++found[bytes(it.next())];
        return found;
    }
};

}  // namespace

TEST_F(RenameProperty, RandomMapsLoseNothingAndEndOnTheirTargetsWhereTheyCan)
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        // A clean round holds only pictures that cells name, reached through no link.
        const bool clean = round % 2 == 0, fill = random.bounded(3) == 0;
        const QString base = folder(QStringLiteral("r%1").arg(round));
        const QString a = folder(QStringLiteral("r%1/a").arg(round)), out = folder(QStringLiteral("r%1/out").arg(round));
        const QString alias = QDir(base).filePath(QStringLiteral("alias"));
        ASSERT_EQ(::symlink("a", QFile::encodeName(alias).constData()), 0);
        const int n = random.bounded(1, 5);

        // Pictures in a and in out (many under cell names, some outside the map), some of a also
        // through the linked folder; in unclean rounds also a text, a missing file and a link.
        QStringList pictures, pool;
        QHash<QString, QString> aliasOf;  // a picture → its path through the linked folder
        const int count = random.bounded(2, 3 + n * n);
        for (int i = 0; i < count; ++i) {
            const bool inOut = random.bounded(2) == 0;
            const QString name = inOut && random.bounded(4) != 0
                ? cellFileName(random.bounded(1, n + 2), random.bounded(1, n + 2))
                : QStringLiteral("t%1.jpg").arg(i);
            const QString path = QDir(inOut ? out : a).filePath(name);
            if (pictures.contains(path))
                continue;
            pictures << path;
            pool << path;
            if (!inOut && random.bounded(3) == 0)
                pool << (aliasOf[path] = QDir(alias).filePath(name));
        }
        QStringList texts;
        const QString link = QDir(a).filePath(QStringLiteral("link.jpg"));
        if (!clean) {
            const QString text = QDir(random.bounded(2) ? a : out).filePath(cellFileName(1, n));
            if (!pictures.contains(text))
                texts << text;
            pool << texts << QDir(a).filePath(QStringLiteral("gone.jpg")) << link;
        }
        QStringList cells;
        for (int i = 0; i < n * n; ++i)
            cells << (random.bounded(5) == 0 ? QString() : pool[random.bounded(static_cast<int>(pool.size()))]);
        for (const QString& path : pictures) {
            if (!clean || cells.contains(path) || (aliasOf.contains(path) && cells.contains(aliasOf[path])))
                writeBytes(path, "\xFF\xD8\xFF tile " + QFile::encodeName(path));
        }
        for (const QString& path : texts)
            writeBytes(path, "plain text " + QFile::encodeName(path));
        if (!clean) {
            ASSERT_EQ(::symlink(QFile::encodeName(pictures[0]).constData(), QFile::encodeName(link).constData()), 0);
            if (random.bounded(2) == 0 && !QFile::exists(QDir(out).filePath(cellFileName(n, 1))))
                writeBytes(QDir(out).filePath(cellFileName(n, 1)), "\xFF\xD8\xFF stranger");  // in a cell's way
        }

        const QHash<QByteArray, int> before = contents(base);
        const QStringList namesBefore = QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System);
        std::vector<QByteArray> pictureOf(cells.size());
        int expectedFailures = 0;
        grid.resize(n);
        for (int i = 0; i < n * n; ++i) {
            grid.setCellText(i / n + 1, i % n + 1, cells[i]);
            const QFileInfo info(cells[i]);
            const QByteArray data = info.isFile() ? bytes(cells[i]) : QByteArray();
            pictureOf[i] = data.startsWith("\xFF\xD8\xFF") ? data : QByteArray();
            expectedFailures += !cells[i].isEmpty() && pictureOf[i].isEmpty();  // missing or not a picture
        }

        BatchRename renamer(grid, platform, progress, report, fill);
        renamer.renameInto(out);

        // Nothing lost: every content is still somewhere, as often at least.
        const QHash<QByteArray, int> after = contents(base);
        for (auto it = before.begin(); it != before.end(); ++it)
            EXPECT_GE(after.value(it.key()), it.value()) << it.key().toStdString();
        // Nothing else in the target folder: no aside names, no partial files.
        for (const QString& name : QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System))
            EXPECT_TRUE(namesBefore.contains(name) || cellOfFileName(name, n) >= 0) << name.toStdString();
        const QString text = report.text();
        for (int i = 0; i < n * n; ++i) {
            const QString now = grid.cellText(i / n + 1, i % n + 1);
            const QString target = QDir(out).filePath(cellFileName(i / n + 1, i % n + 1));
            if (!pictureOf[i].isEmpty()) {
                EXPECT_EQ(bytes(now), pictureOf[i]) << i;
                if (now != target) {
                    ++expectedFailures;
                    EXPECT_TRUE(text.contains(QStringLiteral("【%1】").arg(cells[i]))) << i;
                }
            } else if (cells[i].isEmpty()) {
                if (fill && now != target)
                    ++expectedFailures;
                EXPECT_TRUE(now.isEmpty() || (fill && now == target && bytes(now).startsWith("\xFF\xD8\xFF"))) << i;
            } else {
                EXPECT_EQ(now, QFileInfo(cells[i]).isFile() ? cells[i] : QString()) << i;
            }
        }
        EXPECT_EQ(renamer.failures(), expectedFailures);
        EXPECT_TRUE(!clean || renamer.failures() == 0);
    }
}
