// 导出为 TMX/TMJ 地图's dialog: the cell size and the atlas at once, with what engines will draw.
#include "gui/QtDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessera {

std::optional<TiledExportChoices> QtDialogs::tiledExportDialog(const QList<QSize>& cells)
{
    if (cells.isEmpty())
        return std::nullopt;
    QDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("TiledExportDialog"));
    dialog.setWindowTitle(QStringLiteral("导出为 TMX/TMJ 地图"));
    auto* sizes = new QComboBox;
    sizes->setObjectName(QStringLiteral("TiledCellSize"));
    for (const QSize& cell : cells)
        sizes->addItem(QStringLiteral("%1 × %2").arg(cell.width()).arg(cell.height()));
    sizes->setItemText(0, sizes->itemText(0) + QStringLiteral("（默认）"));
    auto* atlas = new QCheckBox(QStringLiteral("同时导出图集"));
    atlas->setObjectName(QStringLiteral("TiledAtlas"));
    auto* explanation = new QLabel(atlasExplanation());
    explanation->setWordWrap(true);
    auto* warning = new QLabel;
    warning->setObjectName(QStringLiteral("TiledAtlasWarning"));
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("color: #a04000"));
    // Wrapped labels: the dialog keeps its width and takes the height they need.
    const auto showWarning = [=, &dialog] {
        const QString text = atlas->isChecked() ? QString() : atlasWarning(cells.value(sizes->currentIndex()), cells.first());
        warning->setText(text);
        warning->setVisible(!text.isEmpty());
        dialog.setFixedHeight(dialog.heightForWidth(dialog.width()));
    };
    QObject::connect(sizes, &QComboBox::currentIndexChanged, &dialog, showWarning);
    QObject::connect(atlas, &QCheckBox::toggled, &dialog, showWarning);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("地图中每个单元格的大小（像素）："), sizes);
    form->addRow(atlas);
    form->addRow(explanation);
    form->addRow(warning);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("导出"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    dialog.setFixedWidth(480);
    showWarning();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return TiledExportChoices{sizes->currentIndex(), atlas->isChecked()};
}

}  // namespace tessera
