#pragma once

#include "work/LongWork.h"

#include <QFrame>
#include <QProgressBar>
#include <QElapsedTimer>

#include <array>
#include <memory>

class QLabel;
class QTimer;

namespace tessera {

// The four-panel status bar: panel 0 lies under the progress bar, panel 1 takes the free width,
// panel 2 reads " 提示：" and panel 3 shows the current hint.
class StatusBar : public QFrame {
    Q_OBJECT

public:
    static constexpr int kHeight = 20;

    explicit StatusBar(QWidget* parent = nullptr);

    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    void setPanelWidth(int panel, int width);
    int panelWidth(int panel) const { return widths_[static_cast<std::size_t>(panel)]; }
    void showHint(const QString& text) { setPanelText(3, text); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placePanels();

    std::array<QLabel*, 4> panels_{};
    std::array<int, 4> widths_{150, 450, 45, 255};
};

// The main window's progress bar. Short walks on the GUI thread drive it through `Progress`;
// background work is followed by polling its `WorkProgress`. A full bar empties itself shortly
// after it fills.
class ProgressBar : public QProgressBar, public Progress {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget* parent = nullptr);

    void start(std::int64_t maximum) override;
    void advance(std::int64_t steps = 1) override;

    // Shows how far `work` is until it ends (nobody else holds it) or other work is followed.
    void follow(std::shared_ptr<const WorkProgress> work);

private:
    void display(std::int64_t position, std::int64_t maximum);
    void poll();

    std::int64_t maximum_ = 0;
    std::int64_t position_ = 0;
    QTimer* resetTimer_;
    QTimer* pollTimer_;
    std::shared_ptr<const WorkProgress> followed_;
};

}  // namespace tessera
