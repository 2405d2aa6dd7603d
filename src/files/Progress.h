#pragma once

#include <cstdint>

namespace tessera {

// Where long walks over the map report how far they are, and learn that they are to stop.
// `WorkProgress` (background work) feeds the main window's progress bar; `NullProgress` and
// `CountingProgress` serve code and tests without a window.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void start(std::int64_t maximum) = 0;  // maximum and position 0
    virtual void advance(std::int64_t steps = 1) = 0;
    // True once the work has been asked to stop; walks check it between steps.
    virtual bool cancelled() const { return false; }
};

class NullProgress final : public Progress {
public:
    void start(std::int64_t) override {}
    void advance(std::int64_t) override {}
};

class CountingProgress final : public Progress {
public:
    void start(std::int64_t maximum) override
    {
        maximum_ = maximum;
        position_ = 0;
        ++starts_;
    }
    void advance(std::int64_t steps) override { position_ += steps; }

    std::int64_t maximum() const { return maximum_; }
    std::int64_t position() const { return position_; }
    int starts() const { return starts_; }

private:
    std::int64_t maximum_ = 0;
    std::int64_t position_ = 0;
    int starts_ = 0;
};

}  // namespace tessera
