// Dialog half of QtPlatform: message boxes, the decimal input box, file dialogs, folder browser.
#include "gui/QtPlatform.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tessera {

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

std::optional<int> QtPlatform::chooseItem(const QString& prompt, const QString& title, const QStringList& items,
                                          int current)
{
    QDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("ChoiceBox"));
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    auto* list = new QComboBox(&dialog);
    list->setObjectName(QStringLiteral("ChoiceBoxList"));
    list->setAccessibleName(prompt);
    list->addItems(items);
    list->setCurrentIndex(current);
    label->setBuddy(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(320);
    if (dialog.exec() != QDialog::Accepted || list->currentIndex() < 0)
        return std::nullopt;
    return list->currentIndex();
}

std::optional<QString> QtPlatform::fileDialog(const FileDialogOptions& options, bool save)
{
    QFileDialog dialog(parent_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtFilterList(options.filters).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(options.defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
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
        parent_, title, QString(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    return QDir::toNativeSeparators(folder);
}

}  // namespace tessera
