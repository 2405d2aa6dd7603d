#include "canvas/TileChooser.h"

#include "work/LoaderThreads.h"
#include "support/TestImages.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

struct TileChooserTest : testing::Test {
    TileChooserTest() : chooser(&drives, &folders, &files, &preview, loaders)
    {
        EXPECT_TRUE(writeSolidImage(dir.filePath(QStringLiteral("b.jpg")), testcolors::kRed));
        chooser.setCurrentFolder(dir.path());
    }
    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < files.count(); ++i)
            names << files.item(i)->text();
        return names;
    }

    QTemporaryDir dir;
    QComboBox drives;
    QTreeView folders;
    QListWidget files;
    QLabel preview;
    LoaderThreads loaders{2};
    TileChooser chooser;
};

}  // namespace

TEST_F(TileChooserTest, TheFileListFollowsTheFolderOnDiskAndKeepsTheSelection)
{
    chooser.chooseFile(QStringLiteral("b.jpg"));
    ASSERT_TRUE(writeSolidImage(dir.filePath(QStringLiteral("a.jpg")), testcolors::kGreen));
    EXPECT_TRUE(QTest::qWaitFor([&] { return files.count() == 2; }, 5000));
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
    ASSERT_NE(files.currentItem(), nullptr);
    EXPECT_EQ(files.currentItem()->text(), QStringLiteral("b.jpg"));
    // A click on the folder lists it again.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(writeSolidImage(dir.filePath(QStringLiteral("sub/c.jpg")), testcolors::kBlue));
    auto* model = qobject_cast<QFileSystemModel*>(folders.model());
    const QModelIndex sub = model->index(dir.filePath(QStringLiteral("sub")));
    emit folders.clicked(sub);
    EXPECT_EQ(listed(), QStringList{QStringLiteral("c.jpg")});
    EXPECT_EQ(files.currentItem(), nullptr);  // another folder: nothing of the last one stays selected
}

TEST_F(TileChooserTest, HiddenFoldersAreListed)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral(".tiles")));
    auto* model = qobject_cast<QFileSystemModel*>(folders.model());
    chooser.setCurrentFolder(dir.path());
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(folders.rootIndex()) == 1; }, 5000));
}

TEST_F(TileChooserTest, AClickChoosesItsFileOnceAndAgainWhenClickedAgain)
{
    ASSERT_TRUE(writeSolidImage(dir.filePath(QStringLiteral("c.jpg")), testcolors::kBlue));
    chooser.refreshFiles();
    QStringList chosen;
    QObject::connect(&chooser, &TileChooser::fileChosen,
                     [&](const QString& path) { chosen << QFileInfo(path).fileName(); });
    files.resize(200, 100);
    files.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&files));
    chosen.clear();  // showing the list may have made its first file current
    auto click = [&](const char* name) {
        const QRect at = files.visualItemRect(files.findItems(QString::fromLatin1(name), Qt::MatchExactly).constFirst());
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {}, at.center());
    };
    click("c.jpg");
    EXPECT_EQ(chosen, QStringList{QStringLiteral("c.jpg")});
    click("c.jpg");
    EXPECT_EQ(chosen, (QStringList{QStringLiteral("c.jpg"), QStringLiteral("c.jpg")}));
    files.setCurrentRow(0);  // by keys: chosen as it becomes current
    EXPECT_EQ(chosen.last(), QStringLiteral("b.jpg"));
    click("b.jpg");  // the current file, clicked: chosen again
    EXPECT_EQ(chosen.size(), 4);
}

