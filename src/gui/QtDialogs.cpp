// The real dialogs: message boxes, the decimal input box, file dialogs, folder browser.
#include "gui/QtDialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>

namespace tessera {

namespace {

// Qt's file dialogs keep their history in the user's settings; the program keeps nothing between
// runs, so those settings go to a folder that is removed at exit. Made with the first dialog, so
// that the command line (which shows none) leaves no folder behind when it is killed.
void keepDialogHistoryInScratch()
{
    static const QTemporaryDir scratch;
    if (scratch.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
    }
}

}  // namespace

MessageResult QtDialogs::messageBox(const QString& text, MessageButtons buttons, const QString& title,
                                     const QString& informative)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    switch (buttons) {
    case MessageButtons::YesNoInfo:
        icon = QMessageBox::Information;
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case MessageButtons::YesNoCancel:
        icon = QMessageBox::Question;
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
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
    box.setInformativeText(informative);
    const int pressed = box.exec();
    if (pressed == QMessageBox::Yes)
        return MessageResult::Yes;
    if (pressed == QMessageBox::No)
        return MessageResult::No;
    if (pressed == QMessageBox::Cancel)
        return MessageResult::Cancel;
    return MessageResult::Ok;
}

std::optional<QString> QtDialogs::inputBox(const QString& prompt, const QString& title,
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

QString QtDialogs::startFolder(const QString& kind) const
{
    return lastFolders_.value(kind, QDir::homePath());
}

namespace {

// Qt's file model names the types and writes the sizes and dates of files in the system's
// language; the dialogs show them in the program's.
class FileColumnsInChinese : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() < 1 || index.column() > 3)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const bool folder = files->isDir(source);
        switch (index.column()) {
        case 1:
            return folder ? QString() : QLocale().formattedDataSize(files->size(source));
        case 2: {
            if (folder)
                return QStringLiteral("文件夹");
            const QString suffix = files->fileInfo(source).suffix();
            return suffix.isEmpty() ? QStringLiteral("文件") : suffix.toUpper() + QStringLiteral(" 文件");
        }
        default:
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const QString titles[] = {QStringLiteral("名称"), QStringLiteral("大小"), QStringLiteral("类型"),
                                         QStringLiteral("修改日期")};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
            return titles[section];
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
};

// A file dialog of our own look, starting in `folder`.
void prepare(QFileDialog& dialog, const QString& folder)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new FileColumnsInChinese(&dialog));
    dialog.setDirectory(folder);
}

}  // namespace

std::optional<int> QtDialogs::chooseItem(const QString& prompt, const QString& title, const QStringList& items,
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

std::optional<std::pair<int, int>> QtDialogs::inputTwoNumbers(const QString& prompt, const QString& title,
                                                              const QStringList& labels, std::pair<int, int> initial,
                                                              int maximum)
{
    QDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("TwoNumbersBox"));
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(prompt, &dialog));
    auto* form = new QFormLayout;
    QSpinBox* boxes[2];
    const int values[2] = {initial.first, initial.second};
    for (int i = 0; i < 2; ++i) {
        boxes[i] = new QSpinBox(&dialog);
        boxes[i]->setRange(1, maximum);
        boxes[i]->setValue(std::clamp(values[i], 1, maximum));
        boxes[i]->setAccessibleName(labels.value(i));
        form->addRow(labels.value(i), boxes[i]);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(320);
    boxes[0]->selectAll();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return std::pair(boxes[0]->value(), boxes[1]->value());
}

std::optional<QString> QtDialogs::fileDialog(const FileDialogOptions& options, bool save)
{
    keepDialogHistoryInScratch();
    QFileDialog dialog(parent_);
    prepare(dialog, startFolder(options.filters));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtFilterList(options.filters).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(options.defaultExtension);
    if (!options.title.isEmpty())
        dialog.setWindowTitle(options.title);
    // A name typed without an extension takes the chosen type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        static const QRegularExpression firstPattern(QStringLiteral("\\(\\*\\.([^ *)]+)"));
        if (const QRegularExpressionMatch match = firstPattern.match(filter); match.hasMatch())
            dialog.setDefaultSuffix(match.captured(1));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolders_.insert(options.filters, QFileInfo(chosen).absolutePath());
    return QDir::toNativeSeparators(chosen);
}

std::optional<QString> QtDialogs::openFileDialog(const FileDialogOptions& options)
{
    return fileDialog(options, false);
}

std::optional<QString> QtDialogs::saveFileDialog(const FileDialogOptions& options)
{
    return fileDialog(options, true);
}

QString QtDialogs::browseFolder(const QString& title)
{
    keepDialogHistoryInScratch();
    QFileDialog dialog(parent_, title);
    prepare(dialog, startFolder(kFolderKind));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString folder = dialog.selectedFiles().constFirst();
    lastFolders_.insert(kFolderKind, folder);
    return QDir::toNativeSeparators(folder);
}

}  // namespace tessera
