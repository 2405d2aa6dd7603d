// A list of rows to act on: a table, a button for each action, one to close.
#include "gui/QtDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tessera {

std::optional<std::pair<int, int>> QtDialogs::chooseRow(const QString& prompt, const QString& title,
                                                        const QStringList& columns, const QList<QStringList>& rows,
                                                        const QStringList& actions)
{
    QDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("RowChoiceBox"));
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    auto* table = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), &dialog);
    table->setObjectName(QStringLiteral("RowChoiceTable"));
    table->setAccessibleName(prompt);
    table->setHorizontalHeaderLabels(columns);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size() && c < columns.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    label->setBuddy(table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    int chosen = -1;
    QList<QPushButton*> actionButtons;
    for (int a = 0; a < actions.size(); ++a) {
        QPushButton* button = buttons->addButton(actions[a], QDialogButtonBox::ActionRole);
        actionButtons << button;
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &chosen, a] {
            chosen = a;
            dialog.accept();
        });
    }
    const auto follow = [table, actionButtons] {
        for (QPushButton* button : actionButtons)
            button->setEnabled(table->currentRow() >= 0 && !table->selectedItems().isEmpty());
    };
    QObject::connect(table, &QTableWidget::itemSelectionChanged, &dialog, follow);
    QObject::connect(table, &QTableWidget::cellDoubleClicked, &dialog, [&dialog, &chosen, &actions] {
        if (!actions.isEmpty()) {
            chosen = 0;
            dialog.accept();
        }
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (!rows.isEmpty())
        table->selectRow(0);
    follow();
    layout->addWidget(label);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.resize(560, 320);
    if (dialog.exec() != QDialog::Accepted || chosen < 0 || table->currentRow() < 0)
        return std::nullopt;
    return std::pair(table->currentRow(), chosen);
}

}  // namespace tessera
