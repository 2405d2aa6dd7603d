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

// A row of widgets, left-aligned.
QHBoxLayout* rowOf(std::initializer_list<QWidget*> widgets)
{
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets)
        row->addWidget(w);
    row->addStretch();
    return row;
}

// The cell size and, under it, the names the slices will take for that size.
std::pair<QSpinBox*, QSpinBox*> addCellRows(QFormLayout* form, QDialog& dialog, QSize picture, QSize initial,
                                            int minSide, int maxSide)
{
    QSpinBox* width = spinBox(minSide, maxSide, initial.width(), QStringLiteral("CellWidth"));
    QSpinBox* height = spinBox(minSide, maxSide, initial.height(), QStringLiteral("CellHeight"));
    form->addRow(QStringLiteral("单元格大小："),
                 rowOf({width, new QLabel(QStringLiteral("×")), height, new QLabel(QStringLiteral("像素"))}));
    auto* names = new QLabel;
    const auto showNames = [=] {
        const int rows = (picture.height() + height->value() - 1) / height->value();
        const int columns = (picture.width() + width->value() - 1) / width->value();
        names->setText(QStringLiteral("行-列.jpg，从 1-1.jpg 到 %1-%2.jpg（%1 行 × %2 列）").arg(rows).arg(columns));
    };
    showNames();
    QObject::connect(width, &QSpinBox::valueChanged, &dialog, showNames);
    QObject::connect(height, &QSpinBox::valueChanged, &dialog, showNames);
    form->addRow(QStringLiteral("文件名："), names);
    return {width, height};
}

// The padding of the last column and row, with its colour (kept in `colour`).
QCheckBox* addPadRows(QFormLayout* form, QDialog& dialog, bool initial, QColor& colour)
{
    auto* pad = new QCheckBox(QStringLiteral("最后一列和一行补足整个单元格，颜色："));
    pad->setObjectName(QStringLiteral("PadLastCells"));
    pad->setChecked(initial);
    auto* colourButton = new QPushButton;
    showColour(colourButton, colour);
    QObject::connect(colourButton, &QPushButton::clicked, &dialog, [&dialog, &colour, pad, colourButton] {
        const QColor chosen = QColorDialog::getColor(colour, &dialog, QStringLiteral("补足的颜色"));
        if (chosen.isValid()) {
            colour = chosen;
            showColour(colourButton, colour);
            pad->setChecked(true);
        }
    });
    form->addRow(QStringLiteral("边缘："), rowOf({pad, colourButton}));
    form->addRow(QString(), new QLabel(QStringLiteral("不补足时，最后一列和一行保持较窄的大小。")));
    return pad;
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
    const auto [width, height] = addCellRows(form, dialog, size, initial.cell, minSide, maxSide);

    auto* folder = new QLineEdit(QDir::toNativeSeparators(initial.folder));
    folder->setObjectName(QStringLiteral("SliceFolder"));
    folder->setMinimumWidth(320);
    auto* browse = new QPushButton(QStringLiteral("浏览…"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder);
    folderRow->addWidget(browse);
    form->insertRow(2, QStringLiteral("切片文件夹："), folderRow);
    QObject::connect(browse, &QPushButton::clicked, &dialog, [this, folder] {
        const QString chosen = browseFolder(QStringLiteral("选择切片文件夹（空文件夹或新文件夹）"));
        if (!chosen.isEmpty())
            folder->setText(chosen);
    });

    QSpinBox* quality = spinBox(1, 100, initial.quality, QStringLiteral("JpegQuality"));
    form->addRow(QStringLiteral("JPEG 质量："), rowOf({quality}));
    QColor colour = initial.padColour;
    QCheckBox* pad = addPadRows(form, dialog, initial.pad, colour);

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
    return SliceChoices{QSize(width->value(), height->value()), folder->text().trimmed(), quality->value(),
                        pad->isChecked(), colour};
}

}  // namespace tessera
