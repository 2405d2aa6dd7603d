#pragma once

#include "gui/Platform.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace tessera {

// The real platform: Qt dialogs over the given parent window and the local file system.
class QtPlatform : public Platform {
public:
    explicit QtPlatform(QWidget* dialogParent = nullptr);
    void setDialogParent(QWidget* parent) { parent_ = parent; }

    MessageResult messageBox(const QString& text, MessageButtons buttons,
                             const QString& title = kDefaultMessageTitle) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& initial) override;
    std::optional<int> chooseItem(const QString& prompt, const QString& title, const QStringList& items,
                                  int current) override;
    std::optional<QString> openFileDialog(const FileDialogOptions& options) override;
    std::optional<QString> saveFileDialog(const FileDialogOptions& options) override;
    QString browseFolder(const QString& title) override;

    bool exists(const QString& pathOrPattern) override;
    ReadResult readFile(const QString& path, qint64 maxBytes = std::numeric_limits<qint64>::max()) override;
    bool isFile(const QString& path) override;
    ReadResult readHead(const QString& path, int count) override;
    FileResult writeFileAtomic(const QString& path, const QByteArray& data,
                               const QStringList& inputs = {}) override;
    FileResult renameFile(const QString& from, const QString& to) override;
    FileResult moveFile(const QString& from, const QString& to) override;
    FileResult copyFile(const QString& from, const QString& to) override;
    FileResult writeNewFile(const QString& path, const QByteArray& data) override;
    FileResult removeFile(const QString& path) override;
    FileStatus fileStatus(const QString& path) override;
    QString realFolder(const QString& folder) override;
    QStringList fileNames(const QString& folder) override;

private:
    std::optional<QString> fileDialog(const FileDialogOptions& options, bool save);
    // Where a dialog for this kind of file (its filter list) starts: the folder last used for it
    // in this run, else the home folder.
    QString startFolder(const QString& kind) const;

    static inline const QString kFolderKind = QStringLiteral("folder");
    QPointer<QWidget> parent_;
    QHash<QString, QString> lastFolders_;
};

}  // namespace tessera
