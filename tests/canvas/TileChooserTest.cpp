#include "canvas/TileChooser.h"

#include "support/TestImages.h"

#include <QComboBox>
#include <QDir>
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
    TileChooserTest() : chooser(&drives, &folders, &files, &preview)
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
