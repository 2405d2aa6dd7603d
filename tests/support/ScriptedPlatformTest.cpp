#include "support/ScriptedPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;

TEST(ScriptedPlatform, AnswersInOrderAndRecordsEveryBox)
{
    ScriptedPlatform p;
    p.answerYes();
    p.answerNo();
    EXPECT_EQ(p.script().messageBox(QStringLiteral("是否覆盖？"), MessageButtons::YesNoInfo), MessageResult::Yes);
    EXPECT_EQ(p.script().messageBox(QStringLiteral("导出成功！"), MessageButtons::Ok), MessageResult::Ok);
    EXPECT_EQ(p.script().messageBox(QStringLiteral("是否覆盖？"), MessageButtons::YesNoInfo), MessageResult::No);
    EXPECT_EQ(p.countShown(QStringLiteral("是否覆盖？")), 2);
    ASSERT_EQ(p.shown().size(), 3);
    EXPECT_EQ(p.shown()[1].title, QStringLiteral("信息："));
    EXPECT_TRUE(p.unanswered().isEmpty());
}

TEST(ScriptedPlatform, EachKindOfBoxTakesItsOwnAnswersAndAnUnusedOneFails)
{
    QString leftOver;
    const auto hook = std::exchange(ScriptedDialogs::onUnusedAnswers, [&](const QString& what) { leftOver = what; });
    {
        ScriptedPlatform p;
        p.answerOpen(QStringLiteral("/tmp/in.tlp"));
        p.answerInput(QStringLiteral("3"));
        p.answerCancel(DialogKind::SaveFile);
        p.answerInput(QStringLiteral("unused"));
        // A save dialog asked first takes neither the input nor the open dialog's answer.
        EXPECT_FALSE(p.script().saveFileDialog({}));
        EXPECT_EQ(p.script().inputBox({}, {}, {}), QStringLiteral("3"));
        EXPECT_EQ(p.script().openFileDialog({}), QStringLiteral("/tmp/in.tlp"));
        EXPECT_FALSE(p.script().saveFileDialog({}));  // none left for it
        EXPECT_EQ(p.unanswered().size(), 1);
    }
    ScriptedDialogs::onUnusedAnswers = hook;
    EXPECT_EQ(leftOver, QStringLiteral("1 × kind 1"));
}

TEST(ScriptedPlatform, AnUnexpectedQuestionIsNoAndIsReported)
{
    ScriptedPlatform p;
    EXPECT_EQ(p.script().messageBox(QStringLiteral("是否退出？"), MessageButtons::YesNoInfo), MessageResult::No);
    EXPECT_FALSE(p.script().openFileDialog({}));
    EXPECT_EQ(p.script().browseFolder(QStringLiteral("请选择文件夹：")), QString());
    EXPECT_EQ(p.unanswered().size(), 3);
}

TEST(ScriptedPlatform, SaveDialogAddsTheDefaultExtension)
{
    ScriptedPlatform p;
    p.answerSave(QStringLiteral("/tmp/map"));
    p.answerSave(QStringLiteral("/tmp/map.txt"));
    const FileDialogOptions options{QStringLiteral("a|*.tlp"), QStringLiteral("tlp")};
    EXPECT_EQ(p.script().saveFileDialog(options), QStringLiteral("/tmp/map.tlp"));
    EXPECT_EQ(p.script().saveFileDialog(options), QStringLiteral("/tmp/map.txt"));
}

TEST(ScriptedPlatform, InjectedFailuresHitOnlyMatchingOperations)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.jpg"));
    const QString b = dir.filePath(QStringLiteral("b.jpg"));
    ScriptedPlatform p;
    ASSERT_TRUE(p.faults().writeFileAtomic(a, "A"));
    p.failWhen(ScriptedPlatform::FileOp::Rename, [](const QString& path) { return path.endsWith("a.jpg"); },
               QStringLiteral("磁盘已满"));
    const FileResult renamed = p.faults().renameFile(a, b);
    EXPECT_FALSE(renamed);
    EXPECT_EQ(renamed.error, QStringLiteral("磁盘已满"));
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(p.faults().copyFile(a, b));  // other operations still work
    EXPECT_EQ(p.faults().readFile(b).data, QByteArray("A"));
}
