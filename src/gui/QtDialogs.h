#pragma once

#include "files/Dialogs.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace tessera {

// The real dialogs: Qt's modal boxes over the given parent window.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* dialogParent = nullptr) : parent_(dialogParent) {}
    void setDialogParent(QWidget* parent) { parent_ = parent; }

    MessageResult messageBox(const QString& text, MessageButtons buttons, const QString& title = kDefaultMessageTitle,
                             const QString& informative = QString()) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& initial) override;
    std::optional<int> chooseItem(const QString& prompt, const QString& title, const QStringList& items,
                                  int current) override;
    std::optional<std::pair<int, int>> inputTwoNumbers(const QString& prompt, const QString& title,
                                                       const QStringList& labels, std::pair<int, int> initial,
                                                       int maximum) override;
    std::optional<std::pair<int, int>> chooseRow(const QString& prompt, const QString& title, const QStringList& columns,
                                                 const QList<QStringList>& rows, const QStringList& actions) override;
    std::optional<QString> openFileDialog(const FileDialogOptions& options) override;
    std::optional<QString> saveFileDialog(const FileDialogOptions& options) override;
    QString browseFolder(const QString& title) override;
    std::optional<SliceChoices> sliceDialog(const QString& picture, QSize size, const SliceChoices& initial,
                                            int minSide, int maxSide) override;
    std::optional<TiledExportChoices> tiledExportDialog(const QList<QSize>& cells) override;

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
