#include "files/Dialogs.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

using namespace tessera;

TEST(DecimalValue, ReadsLeadingDigitsTheUsualWay)
{
    EXPECT_EQ(decimalValue(QStringLiteral("25")), 25);
    EXPECT_EQ(decimalValue(QStringLiteral("  12abc")), 12);
    EXPECT_EQ(decimalValue(QStringLiteral("\t+7")), 7);
    EXPECT_EQ(decimalValue(QStringLiteral("-3")), -3);
    EXPECT_EQ(decimalValue(QStringLiteral("1e9")), 1);
    EXPECT_EQ(decimalValue(QStringLiteral("4.9")), 4);
    EXPECT_EQ(decimalValue(QStringLiteral("-4.9")), -4);
    EXPECT_EQ(decimalValue(QStringLiteral("007")), 7);
}

TEST(DecimalValue, NoDigitsGiveZero)
{
    for (const char* text : {"", "-", "+", ".", "abc", " ", "- 5", ".5"})
        EXPECT_EQ(decimalValue(QString::fromLatin1(text)), 0) << text;
}

TEST(DecimalValue, ClampsToThirtyTwoBits)
{
    EXPECT_EQ(decimalValue(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(decimalValue(QStringLiteral("2147483648")), 2147483647);
    EXPECT_EQ(decimalValue(QStringLiteral("99999999999999999999999")), 2147483647);
    EXPECT_EQ(decimalValue(QStringLiteral("-2147483648")), -2147483647 - 1);
    EXPECT_EQ(decimalValue(QStringLiteral("-99999999999999999999999")), -2147483647 - 1);
}

TEST(DecimalValue, InputNumberConvertsTheAnswerAndKeepsCancel)
{
    ScriptedPlatform platform;
    platform.answerInput(QStringLiteral(" 30x"));
    platform.answerCancel(DialogKind::Input);
    EXPECT_EQ(platform.script().inputNumber(QStringLiteral("请输入地图大小："), QStringLiteral("新建地图"),
                                   QStringLiteral("25")),
              30);
    EXPECT_FALSE(platform.script().inputNumber(QStringLiteral("p"), QStringLiteral("t"), QStringLiteral("1")));
}

TEST(QtFilterList, TurnsPipeListIntoQtFilters)
{
    EXPECT_EQ(qtFilterList(QStringLiteral("青石地图路径文件（TLP）|*.tlp|文本文档（TXT）|*.txt|所有文件|*.*")),
              QStringLiteral("青石地图路径文件（TLP） (*.tlp);;文本文档（TXT） (*.txt);;所有文件 (*)"));
}
