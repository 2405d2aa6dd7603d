// Dialog half of QtPlatform: message boxes, the decimal input box, file dialogs, folder browser.
#include "gui/QtPlatform.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace tessera {

QtPlatform::QtPlatform(QWidget* dialogParent) : parent_(dialogParent)
{
    // Qt's file dialogs keep their history in the user's settings; the program keeps nothing
    // between runs, so those settings go to a folder that is removed at exit.
    static QTemporaryDir scratch;
    if (scratch.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
    }
}

MessageResult QtPlatform::messageBox(const QString& text, MessageButtons buttons,
                                     const QString& title)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    switch (buttons) {
    case MessageButtons::YesNoInfo:
        icon = QMessageBox::Information;
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case MessageButtons::OkExclamation:
        icon = QMessageBox::Warning;
        break;
    case MessageButtons::OkInfo:
        icon = QMessageBox::Information;
        break;
    case MessageButtons::Ok:
        break;
    }
    QMessageBox box(icon, title.isEmpty() ? kDefaultMessageTitle : title, text, set, parent_);
    box.setObjectName(QStringLiteral("MessageBox"));
    const int pressed = box.exec();
    if (pressed == QMessageBox::Yes)
        return MessageResult::Yes;
    if (pressed == QMessageBox::No)
        return MessageResult::No;
    return MessageResult::Ok;
}

std::optional<QString> QtPlatform::inputBox(const QString& prompt, const QString& title,
                                            const QString& initial)
{
    QDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("InputBox"));
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    auto* edit = new QLineEdit(initial, &dialog);
    edit->setObjectName(QStringLiteral("InputBoxEdit"));
    edit->setAccessibleName(prompt);
    // Decimal style: only digits, minus sign and decimal point can be typed.
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[-0-9.]*")), edit));
    edit->selectAll();
    label->setBuddy(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(320);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->text();
}

QString QtPlatform::startFolder(const QString& kind) const
{
    return lastFolders_.value(kind, QDir::homePath());
}

std::optional<QString> QtPlatform::fileDialog(const FileDialogOptions& options, bool save)
{
    QFileDialog dialog(parent_, QString(), startFolder(options.filters));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtFilterList(options.filters).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(options.defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolders_.insert(options.filters, QFileInfo(chosen).absolutePath());
    return QDir::toNativeSeparators(chosen);
}

std::optional<QString> QtPlatform::openFileDialog(const FileDialogOptions& options)
{
    return fileDialog(options, false);
}

std::optional<QString> QtPlatform::saveFileDialog(const FileDialogOptions& options)
{
    return fileDialog(options, true);
}

QString QtPlatform::browseFolder(const QString& title)
{
    const QString folder = QFileDialog::getExistingDirectory(
        parent_, title, startFolder(kFolderKind),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!folder.isEmpty())
        lastFolders_.insert(kFolderKind, folder);
    return QDir::toNativeSeparators(folder);
}

}  // namespace tessera
