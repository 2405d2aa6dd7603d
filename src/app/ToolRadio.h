#pragma once

#include <QToolButton>

#include <functional>

namespace tessera {

// A push-like tool radio of the tool bar. Its tool is armed whenever it becomes checked, by any
// input (`toggled`); a click on the radio already checked arms the tool once more (`rearmed`).
// Assistive technology sees a radio button.
class ToolRadio : public QToolButton {
public:
    explicit ToolRadio(QWidget* parent = nullptr);

    void setRearmed(std::function<void()> rearmed) { rearmed_ = std::move(rearmed); }

private:
    std::function<void()> rearmed_;
    bool checkedAtPress_ = false;
};

}  // namespace tessera
