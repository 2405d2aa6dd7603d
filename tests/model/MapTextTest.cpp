#include "gui/Progress.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

#include <gtest/gtest.h>

using namespace tessera;

namespace {

QList<QByteArray> pieces(QByteArrayView text, QByteArrayView delimiter, bool doubleByte = true)
{
    QList<QByteArray> out;
    for (QByteArrayView piece : splitText(text, delimiter, doubleByte))
        out.append(piece.toByteArray());
    return out;
}

using Bytes = QList<QByteArray>;

}  // namespace

TEST(SplitText, FollowsTheFieldRules)
{
    EXPECT_EQ(pieces("", "|"), Bytes{});
    EXPECT_EQ(pieces("a|b|", "|"), (Bytes{"a", "b"}));
    EXPECT_EQ(pieces("|a", "|"), (Bytes{"", "a"}));
    EXPECT_EQ(pieces("a||b", "|"), (Bytes{"a", "", "b"}));
    EXPECT_EQ(pieces("|", "|"), (Bytes{""}));
    EXPECT_EQ(pieces("abc", "|"), (Bytes{"abc"}));
}

TEST(SplitText, FollowsTheLineRules)
{
    EXPECT_EQ(pieces("a\r\nb\r\n", "\r\n"), (Bytes{"a", "b"}));
    EXPECT_EQ(pieces("a\r\n\r\nb", "\r\n"), (Bytes{"a", "", "b"}));
    EXPECT_EQ(pieces("a\nb\n", "\r\n"), (Bytes{"a\nb\n"}));
}

TEST(SplitText, NeverCutsADoubleByteCharacter)
{
    // 81 7C is one GBK character; the "|" after it is a separator.
    EXPECT_EQ(pieces("\x81|a|b", "|"), (Bytes{"\x81|a", "b"}));
    EXPECT_EQ(pieces("\xBF\xD5|\xBF\xD5", "|"), (Bytes{"\xBF\xD5", "\xBF\xD5"}));
    // A lead byte swallows a CR, so the LF alone does not end the line.
    EXPECT_EQ(pieces("x\x81\r\ny\r\n", "\r\n"), (Bytes{"x\x81\r\ny"}));
    // A lone lead byte at the very end stays in the last piece.
    EXPECT_EQ(pieces("a|\x81", "|"), (Bytes{"a", "\x81"}));
    // Plain splitting for UTF-8 text.
    EXPECT_EQ(pieces("\xE4\xB8\xAD|b", "|", false), (Bytes{"\xE4\xB8\xAD", "b"}));
}

TEST(DetectEncoding, TellsGbkFromUtf8AndUtf16)
{
    EXPECT_EQ(detectEncoding("\xBF\xD5|a\r\n"), MapTextEncoding::Gb18030);
    EXPECT_EQ(detectEncoding("plain ascii"), MapTextEncoding::Gb18030);
    EXPECT_EQ(detectEncoding("\xEF\xBB\xBF" "a"), MapTextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("/home/\xE5\x9C\xB0\xE5\x9B\xBE/a.jpg"), MapTextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("\xE5\x9C"), MapTextEncoding::Gb18030);  // truncated sequence
    EXPECT_EQ(detectEncoding("\xC0\x80"), MapTextEncoding::Gb18030);  // overlong form
    EXPECT_EQ(detectEncoding(QByteArrayView("\xFF\xFE" "a\0", 4)), MapTextEncoding::Utf16);
}

namespace {

struct Loaded {
    TileGrid grid;
    CountingProgress progress;
    MapTextLoad load;
    explicit Loaded(int size, QByteArrayView bytes)
    {
        grid.resize(size);
        grid.setCellText(size, size, QStringLiteral("old"));
        load = loadMapText(grid, bytes, progress);
    }
    QString at(int r, int c) const { return grid.cellText(r, c); }
};

}  // namespace

TEST(LoadMapText, ReadsForeignFilesAsTheRulesSay)
{
    // Short rows and missing lines stay empty; an empty line still counts as a row; a trailing "|"
    // adds no field; an empty field empties its cell.
    Loaded l(3, "a|b|\r\n\r\n|c\r\n");
    EXPECT_EQ(l.at(1, 1), QStringLiteral("a"));
    EXPECT_EQ(l.at(1, 2), QStringLiteral("b"));
    EXPECT_EQ(l.at(2, 1), QString());
    EXPECT_EQ(l.at(3, 1), QString());
    EXPECT_EQ(l.at(3, 2), QStringLiteral("c"));
    EXPECT_EQ(l.at(3, 3), QString());  // the old content is gone
    EXPECT_EQ(l.load.lines, 3);
    EXPECT_EQ(l.progress.maximum(), 4);
    EXPECT_EQ(l.progress.position(), 4);
}

TEST(LoadMapText, KeepsLfOnlyLinesBlanksAndMarkersAsTheyAre)
{
    Loaded l(2, "a|\xBF\xD5\nb| \xBF\xD5 \n");
    EXPECT_EQ(l.load.lines, 1);
    EXPECT_EQ(l.at(1, 1), QStringLiteral("a"));
    EXPECT_EQ(l.at(1, 2), QStringLiteral("空\nb"));
    EXPECT_EQ(l.at(2, 1), QString());
    Loaded blanks(1, " \xBF\xD5 \r\n");
    EXPECT_EQ(blanks.at(1, 1), QStringLiteral(" 空 "));
}

TEST(LoadMapText, StopsAtTheFirstZeroByte)
{
    const QByteArray bytes("a|b\r\nc\0|d\r\ne\r\n", 15);
    Loaded l(3, bytes);
    EXPECT_EQ(l.at(1, 2), QStringLiteral("b"));
    EXPECT_EQ(l.at(2, 1), QStringLiteral("c"));
    EXPECT_EQ(l.at(2, 2), QString());
    EXPECT_EQ(l.at(3, 1), QString());
}

TEST(LoadMapText, ReadsUtf8WithAndWithoutByteOrderMark)
{
    for (QByteArrayView prefix : {QByteArrayView("\xEF\xBB\xBF"), QByteArrayView("")}) {
        const QByteArray bytes = prefix.toByteArray() + "/\xE5\x9C\xB0\xE5\x9B\xBE/\xE4\xB8\xAD|x\r\n";
        Loaded l(2, bytes);
        EXPECT_EQ(l.load.encoding, MapTextEncoding::Utf8);
        EXPECT_EQ(l.at(1, 1), QStringLiteral("/地图/中"));
        EXPECT_EQ(l.at(1, 2), QStringLiteral("x"));
    }
}

TEST(LoadMapText, LeavesTheGridAsItWasForUtf16)
{
    const QByteArray bytes("\xFF\xFE" "a\0|\0", 6);
    Loaded l(2, bytes);
    EXPECT_EQ(l.load.encoding, MapTextEncoding::Utf16);
    EXPECT_EQ(l.at(2, 2), QStringLiteral("old"));
}

TEST(LoadMapText, SurvivesBrokenGbk)
{
    // A lone lead byte before "|" joins the next field; at the very end it is simply dropped.
    Loaded l(3, "a\x81|b|c\r\nd|\xFE");
    EXPECT_EQ(l.grid.cellText(1, 2), QStringLiteral("c"));
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
