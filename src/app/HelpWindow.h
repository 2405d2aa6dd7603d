#pragma once

#include <QWidget>

class QLineEdit;
class QTextBrowser;

namespace tessera {

// 帮助 → 使用手册 (F1): the usage notes, then a section for each part of the program they do not
// cover; Ctrl+F goes to the search box, Enter finds the next place (from the top again at the end).
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent);

    // The manual as plain text: the usage notes first.
    static QString manualText();
    // Selects the next place of `text` after the selection; false when there is none.
    bool findNext(const QString& text);

private:
    QTextBrowser* text_;
    QLineEdit* search_;
};

}  // namespace tessera
