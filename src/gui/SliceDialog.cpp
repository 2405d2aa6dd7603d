// 切分大图's dialog: the cell size, the folder, the names, the JPEG quality and the padding at once.
#include "gui/QtDialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace tessera {
namespace {

QSpinBox* spinBox(int minimum, int maximum, int value, const QString& name)
{
    auto* box = new QSpinBox;
    box->setRange(minimum, maximum);
    box->setValue(value);
    box->setObjectName(name);
    return box;
}

void showColour(QPushButton* button, const QColor& colour)
{
    button->setText(colour.name());
    button->setStyleSheet(QStringLiteral("background-color: %1; color: %2")
                              .arg(colour.name(), colour.lightness() > 128 ? QStringLiteral("black") : QStringLiteral("white")));
}

}  // namespace

std::optional<SliceChoices> QtDialogs::sliceDialog(const QString& picture, QSize size, const SliceChoices& initial,
                                                   int minSide, int maxSide)
{
    QDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("SliceDialog"));
    dialog.setWindowTitle(QStringLiteral("切分大图"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("图片："), new QLabel(QStringLiteral("%1（%2 × %3 像素）")
                                                     .arg(QFileInfo(picture).fileName())
                                                     .arg(size.width())
                                                     .arg(size.height())));

    QSpinBox* width = spinBox(minSide, maxSide, initial.cell.width(), QStringLiteral("CellWidth"));
    QSpinBox* height = spinBox(minSide, maxSide, initial.cell.height(), QStringLiteral("CellHeight"));
    auto* cellRow = new QHBoxLayout;
    cellRow->addWidget(width);
    cellRow->addWidget(new QLabel(QStringLiteral("×")));
    cellRow->addWidget(height);
    cellRow->addWidget(new QLabel(QStringLiteral("像素")));
    cellRow->addStretch();
    form->addRow(QStringLiteral("单元格大小："), cellRow);

    auto* folder = new QLineEdit(QDir::toNativeSeparators(initial.folder));
    folder->setObjectName(QStringLiteral("SliceFolder"));
    folder->setMinimumWidth(320);
    auto* browse = new QPushButton(QStringLiteral("浏览…"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder);
    folderRow->addWidget(browse);
    form->addRow(QStringLiteral("切片文件夹："), folderRow);
    QObject::connect(browse, &QPushButton::clicked, &dialog, [this, folder] {
        const QString chosen = browseFolder(QStringLiteral("选择切片文件夹（空文件夹或新文件夹）"));
        if (!chosen.isEmpty())
            folder->setText(chosen);
    });

    const auto rows = [&] { return (size.height() + height->value() - 1) / height->value(); };
    const auto columns = [&] { return (size.width() + width->value() - 1) / width->value(); };
    auto* names = new QLabel;
    const auto showNames = [&] {
        names->setText(QStringLiteral("行-列.jpg，从 1-1.jpg 到 %1-%2.jpg（%1 行 × %2 列）").arg(rows()).arg(columns()));
    };
    showNames();
    QObject::connect(width, &QSpinBox::valueChanged, &dialog, showNames);
    QObject::connect(height, &QSpinBox::valueChanged, &dialog, showNames);
    form->addRow(QStringLiteral("文件名："), names);

    QSpinBox* quality = spinBox(1, 100, initial.quality, QStringLiteral("JpegQuality"));
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(quality);
    qualityRow->addStretch();
    form->addRow(QStringLiteral("JPEG 质量："), qualityRow);

    auto* pad = new QCheckBox(QStringLiteral("最后一列和一行补足整个单元格，颜色："));
    pad->setObjectName(QStringLiteral("PadLastCells"));
    pad->setChecked(initial.pad);
    QColor colour = initial.padColour;
    auto* colourButton = new QPushButton;
    showColour(colourButton, colour);
    QObject::connect(colourButton, &QPushButton::clicked, &dialog, [&] {
        const QColor chosen = QColorDialog::getColor(colour, &dialog, QStringLiteral("补足的颜色"));
        if (chosen.isValid()) {
            colour = chosen;
            showColour(colourButton, colour);
            pad->setChecked(true);
        }
    });
    auto* padRow = new QHBoxLayout;
    padRow->addWidget(pad);
    padRow->addWidget(colourButton);
    padRow->addStretch();
    form->addRow(QStringLiteral("边缘："), padRow);
    form->addRow(QString(), new QLabel(QStringLiteral("不补足时，最后一列和一行保持较窄的大小。")));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("切分"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    const auto allow = [&] { buttons->button(QDialogButtonBox::Ok)->setEnabled(!folder->text().trimmed().isEmpty()); };
    allow();
    QObject::connect(folder, &QLineEdit::textChanged, &dialog, allow);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    SliceChoices choices;
    choices.cell = QSize(width->value(), height->value());
    choices.folder = folder->text().trimmed();
    choices.quality = quality->value();
    choices.pad = pad->isChecked();
    choices.padColour = colour;
    return choices;
}

}  // namespace tessera
