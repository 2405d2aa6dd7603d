#include "gui/QtPlatform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

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
        QtPlatform platform;
        const FileDialogOptions mapFiles{QStringLiteral("地图数据（tlp）|*.tlp"), QStringLiteral("tlp")};
        const FileDialogOptions pictures{QStringLiteral("图片文件（jpg）|*.jpg"), QStringLiteral("jpg")};
        const QString map = QDir(maps.path()).filePath(QStringLiteral("a.tlp"));
        QFile(map).open(QIODevice::WriteOnly);
        QString startedIn;
        answerDialog(map, &startedIn);
        EXPECT_EQ(platform.openFileDialog(mapFiles), QDir::toNativeSeparators(map));
        EXPECT_EQ(startedIn, QDir(home.path()).absolutePath());
        answerDialog(QString(), &startedIn);
        EXPECT_EQ(platform.saveFileDialog(mapFiles), std::nullopt);
        EXPECT_EQ(startedIn, QDir(maps.path()).absolutePath());  // the export after an import
        answerDialog(QString(), &startedIn);
        platform.openFileDialog(pictures);
        EXPECT_EQ(startedIn, QDir(home.path()).absolutePath());  // another kind of file
    }
    EXPECT_FALSE(QDir(home.path()).exists(QStringLiteral(".config")));
    qputenv("HOME", oldHome);
    if (!oldConfig.isEmpty())
        qputenv("XDG_CONFIG_HOME", oldConfig);
}
