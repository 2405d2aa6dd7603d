#pragma once

#include "batch/BatchReport.h"
#include "canvas/CanvasGeometry.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <functional>

class QPlainTextEdit;

namespace tessera {

class Dialogs;
class TileGrid;

// The cell a line of the results names: "第 r 行 第 c 列", else the cell that holds a file the line
// names in 【】 (the last such file first).
std::optional<Cell> cellNamedIn(const QString& line, const TileGrid& grid);

// "结果": the report of the batch operations, one text filling the window.
class ResultWindow : public QWidget {
    Q_OBJECT

public:
    explicit ResultWindow(QWidget* parent = nullptr);
    QPlainTextEdit* text() const { return text_; }

signals:
    // A line was double-clicked.
    void lineChosen(const QString& line);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* text_;
};

// Owns the result window across runs: lines accumulate while it stays open; once closed, the next
// run opens it anew and empty.
class ResultReport final : public BatchReport {
public:
    explicit ResultReport(Dialogs& dialogs) : dialogs_(dialogs) {}
    // The window goes with the report that opened it.
    ~ResultReport() override;

    void showResultWindow() override;
    // Called with each line double-clicked in the window.
    void setLineChosen(std::function<void(const QString&)> chosen) { chosen_ = std::move(chosen); }
    // Lines are collected and shown a few times a second, so that long runs stay fast.
    void appendResult(const QString& text) override;
    void flush();
    // "更名成功！" after a rename, "移动成功！" after a move; when steps failed, says how many.
    void announceDone(BatchKind kind, int failures = 0) override;

    ResultWindow* window() const { return window_; }
    QString text();

private:
    Dialogs& dialogs_;
    QPointer<ResultWindow> window_;
    std::function<void(const QString&)> chosen_;
    QString pending_;
    QElapsedTimer sinceFlush_;
};

}  // namespace tessera
