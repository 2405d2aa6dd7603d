#include "files/Progress.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

#include <QRandomGenerator>
#include <QStringDecoder>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

using Rows = QList<QList<QByteArray>>;

// Reads `bytes` as a map of six and expects its lines, each line's fields as the raw pieces given
// (decoded the way the file's encoding says), and every other cell empty.
void expectFields(QByteArrayView bytes, const Rows& rows)
{
    NullProgress progress;
    const MapTextLoad load = parseMapText(bytes, 6, progress);
    ASSERT_EQ(load.kind, MapFileKind::Text);
    EXPECT_EQ(load.lines, rows.size()) << bytes.toByteArray().toHex(' ').toStdString();
    QStringDecoder decoder(load.encoding == MapTextEncoding::Utf8 ? "UTF-8" : "GB18030");
    qsizetype widest = 0;
    for (int r = 0; r < 6; ++r) {
        const QList<QByteArray> row = rows.value(r);
        widest = std::max(widest, row.size());
        for (int c = 0; c < 6; ++c) {
            QString want = c < row.size() ? decoder.decode(row[c]) : QString();
            if (want == QStringLiteral("空"))
                want.clear();
            EXPECT_EQ(load.cells[static_cast<std::size_t>(r * 6 + c)], want)
                << bytes.toByteArray().toHex(' ').toStdString() << " at " << r + 1 << ',' << c + 1;
        }
    }
    EXPECT_EQ(load.widest, widest) << bytes.toByteArray().toHex(' ').toStdString();
}

}  // namespace

TEST(ParseMapText, SplitsFieldsAndLinesByTheRules)
{
    // An empty text has no line; a piece after the last "|" or line break counts only when it is
    // not empty; LF alone ends no line.
    expectFields("", {});
    expectFields("a|b|", {{"a", "b"}});
    expectFields("|a", {{"", "a"}});
    expectFields("a||b", {{"a", "", "b"}});
    expectFields("|", {{""}});
    expectFields("a\r\nb\r\n", {{"a"}, {"b"}});
    expectFields("a\r\n\r\nb", {{"a"}, {}, {"b"}});
    expectFields("a\nb\n", {{"a\nb\n"}});
}

TEST(ParseMapText, NeverCutsADoubleByteCharacter)
{
    // 81 7C is one GBK character; the "|" after it is a separator.
    expectFields("\x81|a|b", {{"\x81|a", "b"}});
    expectFields("\xBF\xD5|\xBF\xD5", {{"\xBF\xD5", "\xBF\xD5"}});
    // A lead byte swallows a CR, so the LF alone does not end the line.
    expectFields("x\x81\r\ny\r\n", {{"x\x81\r\ny"}});
    // UTF-8 text is split plainly.
    expectFields("\xEF\xBB\xBF\xE4\xB8\xAD|b", {{"\xE4\xB8\xAD", "b"}});
}

TEST(EncodeMapCells, MarksEmptyCellsAndEndsEveryLine)
{
    CountingProgress progress;
    EXPECT_EQ(encodeMapCells(CellTexts(1), 1, progress), QByteArray("\xBF\xD5\r\n"));
    EXPECT_EQ(encodeMapCells(CellTexts(9), 3, progress),
              QByteArray("\xBF\xD5|\xBF\xD5|\xBF\xD5\r\n").repeated(3));
    EXPECT_EQ(progress.maximum(), 9);
    EXPECT_EQ(progress.position(), 9);
    const CellTexts cells{{}, QStringLiteral("C:\\t\\b.jpg"), {}, {}};
    EXPECT_EQ(encodeMapCells(cells, 2, progress), QByteArray("\xBF\xD5|C:\\t\\b.jpg\r\n\xBF\xD5|\xBF\xD5\r\n"));
    EXPECT_TRUE(encodeMapCells(cells, 3, progress).isEmpty());  // not a 3 × 3 map
}

TEST(DetectEncoding, PrefersGb18030UnlessOnlyUtf8Fits)
{
    EXPECT_EQ(detectEncoding("\xBF\xD5|a\r\n"), MapTextEncoding::Gb18030);
    EXPECT_EQ(detectEncoding("plain ascii"), MapTextEncoding::Gb18030);
    EXPECT_EQ(detectEncoding("\xEF\xBB\xBF" "a"), MapTextEncoding::Utf8);
    // 图片 and 山水 in GBK are also well-formed UTF-8 bytes.
    EXPECT_EQ(detectEncoding("/home/user/\xCD\xBC\xC6\xAC/\xC9\xBD\xCB\xAE/1-1.jpg|x\r\n"), MapTextEncoding::Gb18030);
    // 地 in UTF-8: its third byte cannot start a GB18030 character before "/".
    EXPECT_EQ(detectEncoding("/home/\xE5\x9C\xB0/a.jpg"), MapTextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("\xE5\x9C"), MapTextEncoding::Gb18030);  // valid in both
    EXPECT_EQ(detectEncoding("\xC0\x80\x80"), MapTextEncoding::Gb18030);  // valid in neither
    EXPECT_EQ(detectEncoding("\x81\x30\x81\x30|"), MapTextEncoding::Gb18030);  // four-byte form
}

TEST(ClassifyMapFile, RefusesPicturesArchivesAndBinaryFirstLines)
{
    const std::pair<QByteArray, MapFileKind> cases[] = {
        {QByteArray("\xFF\xFE/\0a\0", 6), MapFileKind::Utf16},
        {QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 10), MapFileKind::Picture},
        {QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), MapFileKind::Picture},
        {QByteArray("GIF89a\x01\0", 8), MapFileKind::Picture},
        {QByteArray("BM\x10\0\0\0\0\0\0\0\0\0\0\0\0\0", 16), MapFileKind::Picture},
        {QByteArray("PK\x03\x04\x14\0", 6), MapFileKind::Archive},
        {QByteArray("\x1F\x8B\x08\0", 4), MapFileKind::Archive},
        {QByteArray("\x7F" "ELF\x02\x01", 6), MapFileKind::Binary},
        {QByteArray("a.jpg|\x01\x02|b\r\n", 12), MapFileKind::Binary},
        {QByteArray("\0a.jpg\r\n", 8), MapFileKind::Binary},
        {QByteArray("{\n  \"layers\": []\n}\n"), MapFileKind::OtherText},  // one cell of lines
        // Text, however odd: a path starting with "BM", tabs, LF-only lines, control bytes after
        // the first line.
        {QByteArray("BMaps/tiles/a.jpg|b\r\n"), MapFileKind::Text},
        {QByteArray("a\tb|c\nd\n"), MapFileKind::Text},
        {QByteArray("a|b\r\n\x01\x02\0\r\n", 10), MapFileKind::Text},
        {QByteArray("a.jpg\n"), MapFileKind::Text},
        // Only what comes before the first zero byte is read, and judged.
        {QByteArray("/x.jpg|/y.jpg\0|\x01/z.jpg\r\n", 22), MapFileKind::Text},
        {QByteArray(), MapFileKind::Text},
    };
    for (const auto& [bytes, kind] : cases)
        EXPECT_EQ(classifyMapFile(bytes), kind) << bytes.toHex(' ').toStdString();
}

namespace {

struct Loaded {
    int size;
    CountingProgress progress;
    MapTextLoad load;
    explicit Loaded(int mapSize, QByteArrayView bytes) : size(mapSize), load(parseMapText(bytes, mapSize, progress)) {}
    QString at(int r, int c) const { return load.cells[static_cast<std::size_t>((r - 1) * size + c - 1)]; }
};

}  // namespace

TEST(ParseMapText, ReadsForeignFilesAsTheRulesSay)
{
    // Short rows and missing lines stay empty; an empty line still counts as a row; a trailing "|"
    // adds no field; an empty field empties its cell.
    Loaded l(3, "a|b|\r\n\r\n|c\r\n");
    EXPECT_EQ(l.at(1, 1), QStringLiteral("a"));
    EXPECT_EQ(l.at(1, 2), QStringLiteral("b"));
    EXPECT_EQ(l.at(2, 1), QString());
    EXPECT_EQ(l.at(3, 1), QString());
    EXPECT_EQ(l.at(3, 2), QStringLiteral("c"));
    EXPECT_EQ(l.at(3, 3), QString());
    EXPECT_EQ(l.load.lines, 3);
    EXPECT_EQ(l.progress.maximum(), 4);
    EXPECT_EQ(l.progress.position(), 4);
}

TEST(ParseMapText, KeepsLfOnlyLinesBlanksAndMarkersAsTheyAre)
{
    Loaded l(2, "a|\xBF\xD5\nb| \xBF\xD5 \n");
    EXPECT_EQ(l.load.lines, 1);
    EXPECT_EQ(l.at(1, 1), QStringLiteral("a"));
    EXPECT_EQ(l.at(1, 2), QStringLiteral("空\nb"));
    EXPECT_EQ(l.at(2, 1), QString());
    Loaded blanks(1, " \xBF\xD5 \r\n");
    EXPECT_EQ(blanks.at(1, 1), QStringLiteral(" 空 "));
}

TEST(ParseMapText, StopsAtTheFirstZeroByte)
{
    const QByteArray bytes("a|b\r\nc\0|d\r\ne\r\n", 15);
    Loaded l(3, bytes);
    EXPECT_EQ(l.at(1, 2), QStringLiteral("b"));
    EXPECT_EQ(l.at(2, 1), QStringLiteral("c"));
    EXPECT_EQ(l.at(2, 2), QString());
    EXPECT_EQ(l.at(3, 1), QString());
    // A zero byte in the first line: what comes before it is a map.
    Loaded first(2, QByteArray("/x.jpg|/y.jpg\0|/z.jpg\r\n", 22));
    EXPECT_EQ(first.load.kind, MapFileKind::Text);
    EXPECT_EQ(first.at(1, 1), QStringLiteral("/x.jpg"));
    EXPECT_EQ(first.at(1, 2), QStringLiteral("/y.jpg"));
}

TEST(ParseMapText, ReadsUtf8WithAndWithoutByteOrderMark)
{
    for (QByteArrayView prefix : {QByteArrayView("\xEF\xBB\xBF"), QByteArrayView("")}) {
        const QByteArray bytes = prefix.toByteArray() + "/\xE5\x9C\xB0/\xE4\xB8\xAD|x\r\n";
        Loaded l(2, bytes);
        EXPECT_EQ(l.load.encoding, MapTextEncoding::Utf8);
        EXPECT_EQ(l.at(1, 1), QStringLiteral("/地/中"));
        EXPECT_EQ(l.at(1, 2), QStringLiteral("x"));
    }
}

TEST(ParseMapText, ReadsGbkWordsThatLookLikeUtf8)
{
    Loaded l(2, "/home/user/\xCD\xBC\xC6\xAC/1-1.jpg|/\xC9\xBD\xCB\xAE/\xCA\xAF\xCD\xB7.jpg\r\n"
                "/\xC6\xBD\xD4\xAD/a.jpg|b\r\n");
    EXPECT_EQ(l.at(1, 1), QStringLiteral("/home/user/图片/1-1.jpg"));
    EXPECT_EQ(l.at(1, 2), QStringLiteral("/山水/石头.jpg"));
    EXPECT_EQ(l.at(2, 1), QStringLiteral("/平原/a.jpg"));
}

TEST(ParseMapText, EveryWrittenGridReadsBackTheSame)
{
    const QString words[] = {QString(), QStringLiteral("/home/user/图片/"), QStringLiteral("山水"),
                             QStringLiteral("石头"), QStringLiteral("平原"), QStringLiteral("a-1.jpg"),
                             QStringLiteral("🙂"), QStringLiteral("𠀀"), QStringLiteral("é"), QStringLiteral("空 "),
                             QStringLiteral("/mnt/tiles/stonetown_0001.jpg")};  // long ASCII runs are scanned by words
    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        TileGrid written;
        written.resize(round == 0 ? 150 : random.bounded(1, 5));  // one map large enough to be cut in parts
        const int n = written.mapSize();
        for (int r = 1; r <= n; ++r) {
            for (int c = 1; c <= n; ++c) {
                QString text;
                for (int k = random.bounded(0, 4); k > 0; --k)
                    text += words[random.bounded(int(std::size(words)))];
                written.setCellText(r, c, text);
            }
        }
        CountingProgress progress;
        Loaded read(n, encodeMapCells(written.cells(), n, progress));
        for (int r = 1; r <= n; ++r) {
            for (int c = 1; c <= n; ++c)
                ASSERT_EQ(read.at(r, c), written.cellText(r, c)) << round << ' ' << r << ',' << c;
        }
    }
}

TEST(ParseMapText, GivesNoCellsForFilesThatAreNotText)
{
    for (const QByteArray& bytes : {QByteArray("\xFF\xFE" "a\0|\0", 6), QByteArray("\xFF\xD8\xFF\xDB\0C", 6)}) {
        Loaded l(2, bytes);
        EXPECT_NE(l.load.kind, MapFileKind::Text);
        EXPECT_TRUE(l.load.cells.empty());
    }
}

TEST(ParseMapText, SurvivesBrokenGbk)
{
    // A lone lead byte before "|" joins the next field; at the very end it is simply dropped.
    Loaded l(3, "a\x81|b|c\r\nd|\xFE");
    EXPECT_EQ(l.at(1, 2), QStringLiteral("c"));
    EXPECT_EQ(l.at(2, 1), QStringLiteral("d"));
}

TEST(CellsUnfitForMapText, NamesCellsWithSeparatorsOrLineBreaks)
{
    TileGrid grid;
    grid.resize(30);
    grid.setCellText(1, 2, QStringLiteral("a|b"));
    grid.setCellText(2, 1, QStringLiteral("a\nb"));
    grid.setCellText(3, 3, QStringLiteral("a\rb"));
    grid.setCellText(4, 4, QStringLiteral("空"));  // reads back empty, but that is the marker's job
    for (int c = 1; c <= 20; ++c)
        grid.setCellText(10, c, QStringLiteral("|"));
    const UnfitCells unfit = cellsUnfitForMapText(grid, 3);
    EXPECT_EQ(unfit.count, 23);
    EXPECT_EQ(unfit.first, (QList<QPoint>{QPoint(2, 1), QPoint(1, 2), QPoint(3, 3)}));
}
