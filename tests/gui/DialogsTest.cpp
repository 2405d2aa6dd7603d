#include "gui/QtDialogs.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QDate>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

// Answers the next file dialog: notes the folder it starts in, then picks `file` or cancels.
void answerDialog(const QString& file, QString* startedIn)
{
    QTimer::singleShot(0, [file, startedIn] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        *startedIn = dialog->directory().absolutePath();
        if (file.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(file);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

}  // namespace

TEST(QtDialogs, FileDialogsStartAtHomeRememberTheLastFolderPerKindAndWriteNoHistory)
{
    QTemporaryDir home;
    QTemporaryDir maps;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    {
        QtDialogs dialogs;
        const FileDialogOptions mapFiles{QStringLiteral("地图数据（tlp）|*.tlp"), QStringLiteral("tlp")};
        const FileDialogOptions pictures{QStringLiteral("图片文件（jpg）|*.jpg"), QStringLiteral("jpg")};
        const QString map = QDir(maps.path()).filePath(QStringLiteral("a.tlp"));
        QFile(map).open(QIODevice::WriteOnly);
        QString startedIn;
        answerDialog(map, &startedIn);
        EXPECT_EQ(dialogs.openFileDialog(mapFiles), QDir::toNativeSeparators(map));
        EXPECT_EQ(startedIn, QDir(home.path()).absolutePath());
        answerDialog(QString(), &startedIn);
        EXPECT_EQ(dialogs.saveFileDialog(mapFiles), std::nullopt);
        EXPECT_EQ(startedIn, QDir(maps.path()).absolutePath());  // the export after an import
        answerDialog(QString(), &startedIn);
        dialogs.openFileDialog(pictures);
        EXPECT_EQ(startedIn, QDir(home.path()).absolutePath());  // another kind of file
    }
    EXPECT_FALSE(QDir(home.path()).exists(QStringLiteral(".config")));
    {
        // Types and dates in the program's language, whatever the system's.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        ASSERT_TRUE(QDir(maps.path()).mkdir(QStringLiteral("sub")));
        QtDialogs dialogs;
        QString type, date, header;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->reject();  // closes once this returns
            QAbstractProxyModel* shown = dialog->proxyModel();
            ASSERT_NE(shown, nullptr);
            const auto* files = qobject_cast<QFileSystemModel*>(shown->sourceModel());
            const QModelIndex sub = shown->mapFromSource(files->index(QDir(maps.path()).filePath(QStringLiteral("sub"))));
            type = shown->data(sub.siblingAtColumn(2)).toString();
            date = shown->data(sub.siblingAtColumn(3)).toString();
            header = shown->headerData(2, Qt::Horizontal).toString();
        });
        dialogs.browseFolder(QStringLiteral("选择文件夹"));
        QLocale::setDefault(before);
        EXPECT_EQ(type, QStringLiteral("文件夹"));
        EXPECT_EQ(header, QStringLiteral("类型"));
        EXPECT_TRUE(date.startsWith(QString::number(QDate::currentDate().year()))) << date.toStdString();
    }
    {
        // The type chosen in a save dialog gives a name typed without an extension its own.
        QtDialogs dialogs;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(types, nullptr);
            QTest::keyClick(types, Qt::Key_Down);
            dialog->selectFile(QDir(maps.path()).filePath(QStringLiteral("map")));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const std::optional<QString> chosen =
            dialogs.saveFileDialog({QStringLiteral("PNG 图片|*.png|JPEG 图片|*.jpg;*.jpeg"), QStringLiteral("png")});
        EXPECT_EQ(chosen, QDir::toNativeSeparators(QDir(maps.path()).filePath(QStringLiteral("map.jpg"))));
    }
    qputenv("HOME", oldHome);
    if (!oldConfig.isEmpty())
        qputenv("XDG_CONFIG_HOME", oldConfig);
}

// 导出为 TMX/TMJ 地图's dialog: a size other than the pictures' own warns until the atlas is checked.
TEST(QtDialogs, TiledExportDialogWarnsOfForeignCellSizesUntilTheAtlasIsChosen)
{
    QtDialogs dialogs;
    QStringList seen;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* sizes = dialog->findChild<QComboBox*>(QStringLiteral("TiledCellSize"));
        auto* atlas = dialog->findChild<QCheckBox*>(QStringLiteral("TiledAtlas"));
        auto* warning = dialog->findChild<QLabel*>(QStringLiteral("TiledAtlasWarning"));
        ASSERT_TRUE(sizes && atlas && warning);
        const auto note = [&] { seen << (warning->isVisibleTo(dialog) ? warning->text() : QString()); };
        note();
        sizes->setCurrentIndex(1);
        note();
        atlas->setChecked(true);
        note();
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    const std::optional<TiledExportChoices> chosen = dialogs.tiledExportDialog({QSize(64, 48), QSize(40, 30)});
    EXPECT_EQ(seen, (QStringList{QString(), atlasWarning(QSize(40, 30), QSize(64, 48)), QString()}));
    EXPECT_TRUE(seen.value(1).startsWith(QStringLiteral("单元格 40 × 30 与图片的大小（64 × 48）不同")));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->cell, 1);
    EXPECT_TRUE(chosen->atlas);
}
