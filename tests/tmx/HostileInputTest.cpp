// Hostile maps, pictures and command lines given to the real binary without a display: each ends
// with its status and its words, and (outside the sanitizers) within 256 MB of its own peak.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QTemporaryDir dir;

QString put(const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return file.fileName();
}

QByteArray tmx(const QByteArray& inside, const QByteArray& csv = "1", int side = 1, const QByteArray& before = {})
{
    return before + "<map orientation=\"orthogonal\" width=\"" + QByteArray::number(side) + "\" height=\""
        + QByteArray::number(side) + "\">" + inside + "<layer name=\"l\" width=\"" + QByteArray::number(side)
        + "\" height=\"" + QByteArray::number(side) + "\"><data encoding=\"csv\">" + csv + "</data></layer></map>";
}

}  // namespace

TEST(HostileInputTest, EachEndsWithItsStatusAndWordsWithinItsMemory)
{
    const QByteArray tile = "<tileset firstgid=\"1\"><tile id=\"0\"><image source=\"t.jpg\"/></tile></tileset>";
    // 100 entries name one 9 MB tileset; cell i uses the i-th.
    QByteArray bigTileset = "<tileset>";
    for (int i = 0; i < 150000; ++i)
        bigTileset += "<tile id=\"" + QByteArray::number(i) + "\"><image source=\"tiles/" + QByteArray::number(i)
            + ".jpg\"/></tile>";
    put(QStringLiteral("big.tsx"), bigTileset + "</tileset>");
    QByteArray entries, cells;
    for (int i = 0; i < 100; ++i) {
        entries += "<tileset firstgid=\"" + QByteArray::number(i * 200000 + 1) + "\" source=\"big.tsx\"/>";
        cells += (i ? "," : "") + QByteArray::number(i * 200000 + 1 + i);
    }
    // Tiled's JSON, keys in alphabetical order: kilobytes of layers before the orientation.
    const QByteArray tiledJson = "{\"height\":1,\"layers\":[{\"data\":[1],\"height\":1,\"name\":\"" + QByteArray(6000, 'x')
        + "\",\"type\":\"tilelayer\",\"width\":1}],\"orientation\":\"orthogonal\",\"tilesets\":[{\"firstgid\":1,"
          "\"tiles\":[{\"id\":0,\"image\":\"grass.jpg\"}]}],\"type\":\"map\",\"width\":1}";
    QImage picture(6000, 6000, QImage::Format_RGB32);
    picture.fill(Qt::darkYellow);
    ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("large.png")), "PNG"));
    ASSERT_TRUE(picture.copy(0, 0, 16, 16).save(dir.filePath(QStringLiteral("small.jpg")), "JPEG"));
    QFile small(dir.filePath(QStringLiteral("small.jpg")));
    ASSERT_TRUE(small.open(QIODevice::ReadOnly));
    QByteArray claimsHuge = small.readAll();
    claimsHuge.replace(claimsHuge.indexOf("\xFF\xC0") + 5, 4, QByteArray("\xFD\xE8\xFD\xE8", 4));  // 65,000 × 65,000

    const struct { QStringList arguments; int status; QString said; int peakMb = 256; } cases[] = {
        {{"convert", put("nested.tmx", tmx(tile + QByteArray("<group>").repeated(40000), "1", 1).replace("</map>", QByteArray("</group>").repeated(40000) + "</map>")), "-o", "nested.tlp"}, 0, ""},
        {{"convert", put("entities.tmx", tmx(tile, QByteArray("&e;").repeated(100000), 1, "<!DOCTYPE map [<!ENTITY e \"" + QByteArray(4000, ' ') + "\">]>")), "-o", "e.tlp"}, 1, "XML 实体"},
        {{"convert", put("shared.tmx", tmx(entries, cells, 10)), "-o", "shared.tlp"}, 0, ""},
        {{"convert", put("many.tmj", "{\"layers\":[{\"data\":[" + QByteArray("0,").repeated(25000000) + "0],\"height\":1,\"type\":\"tilelayer\",\"width\":1}],\"orientation\":\"orthogonal\",\"width\":1,\"height\":1}"), "-o", "m.tlp"}, 1, "超过 1000000 个图块编号"},
        {{"convert", put("many.tmx", tmx(tile, QByteArray("0,").repeated(20000000) + "0")), "-o", "m.tlp"}, 1, "的数据超过了它的 1 × 1 个图块所需"},
        {{"convert", put("strings.tmj", "{\"layers\":[{\"data\":[\"1\",\"2\",\"0\",\"1\"],\"height\":2,\"type\":\"tilelayer\",\"width\":2}],\"orientation\":\"orthogonal\",\"width\":2,\"height\":2}"), "-o", "s.tlp"}, 1, "第 1 个值不是图块编号"},
        {{"convert", put("tiled.json", tiledJson), "-o", "tiled.tlp"}, 0, ""},
        {{"convert", put("nosource.tmx", tmx("<tileset firstgid=\"1\"><tile id=\"0\"><image source=\"\"/></tile></tileset>")), "-o", "n.tlp"}, 0, "没有图片，已留空"},
        {{"convert", put("up.tmx", tmx("<tileset firstgid=\"1\" source=\"../../../../../../../../etc/none.tsx\"/>")), "-o", "u.tlp"}, 1, "/etc/none.tsx（写作“../../../../../../../../etc/none.tsx”）"},
        {{"render", put("lf.tlp", "a.jpg|b.jpg\nc.jpg|d.jpg\n"), "-o", dir.filePath("lf.png")}, 0, "行尾只有 LF，整个文件被读成了一行"},
        {{"render", put("list.json", "[\n  \"a.jpg\"\n]\n"), "-o", dir.filePath("list.png")}, 1, "整个文件会是一个含有换行的单元格"},
        {{"--version"}, 0, ""},
        {{"--foo"}, 2, "未知的选项“--foo”"},
        {{"-o", "x.png", "render", "m.tlp"}, 2, "命令“render”必须写在最前面"},
        {{"render", "m.tlp", "-o", "x.png", QString(20000, u'长')}, 2, "长…（共 20000 个字符）"},
        {{"slice", dir.filePath("small.jpg"), "-o", dir.filePath("slices"), "--map", "/missing/m.tlp"}, 1, "文件夹 /missing 不存在"},
        {{"slice", put("huge.jpg", claimsHuge), "-o", dir.filePath("huge"), "--cell", "3999x3999"}, 1, "huge.jpg"},
        {{"slice", dir.filePath("large.png"), "-o", dir.filePath("large"), "--cell", "2000x2000"}, 0, "", 400},
        {{"slice", dir.filePath("missing.png"), "-o", dir.filePath("none")}, 1, "文件或文件夹不存在"},
        {{"slice", put("bad.jpg", "\xFF\xD8\xFF\xE0\0\x02\xFF\xC9"), "-o", dir.filePath("none")}, 1, "JPEG 数据有误"},
        {{"slice", put("text.png", "no picture"), "-o", dir.filePath("none")}, 1, "不是能读取的图片格式"},
        {{"slice", dir.filePath(QString(300, u'x')), "-o", dir.filePath("none")}, 1, "路径太长"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').left(200).toStdString());
        QProcess child;  // without a display
        child.setWorkingDirectory(dir.path());
        child.start(QStringLiteral("env"), QStringList{"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                                                       PEAK_CHILD, TESSERA_BINARY} + c.arguments);
        ASSERT_TRUE(child.waitForFinished(120000));
        // peak_child's last line: the status, the peak in kB, the CPU time.
        const QList<QByteArray> last = child.readAllStandardOutput().trimmed().split('\n').constLast().split(' ');
        const QString err = QString::fromUtf8(child.readAllStandardError());
        ASSERT_EQ(last.size(), 3);
        EXPECT_EQ(last[0].toInt(), c.status) << err.left(2000).toStdString();
        EXPECT_TRUE(err.contains(c.said) && err.size() < 4000) << err.left(2000).toStdString();
        // No English sentence, nor the editor's words where nothing is imported.
        EXPECT_FALSE(err.contains(QRegularExpression(QStringLiteral("[A-Z][a-z]+ [a-z]{2,}|导入失败|地图没有改变"))));
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer's own memory is no measure
        EXPECT_LE(last[1].toLongLong() / 1024, c.peakMb);
#endif
    }
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("slices"))).exists());
    QFile tiled(dir.filePath(QStringLiteral("tiled.tlp"))), noSource(dir.filePath(QStringLiteral("n.tlp")));
    ASSERT_TRUE(tiled.open(QIODevice::ReadOnly) && noSource.open(QIODevice::ReadOnly));
    EXPECT_TRUE(tiled.readAll().startsWith(dir.filePath(QStringLiteral("grass.jpg")).toUtf8()));
    EXPECT_FALSE(noSource.readAll().contains(dir.path().toUtf8()));  // not the map's folder
}
