#pragma once

// Memory that decoders may hold at once, shared by the threads of the process.
#include <QMutex>
#include <QWaitCondition>

namespace tessera {

// A decode asks for what it will allocate before it does, and gives it back when done. Asks of
// up to `small` bytes pass at once, uncounted: every thread holds at most one. Larger ones are
// served in the order they came, each as soon as it fits beside what is held; one larger than the
// whole budget waits until nothing is held and then runs alone, so nothing waits for ever.
// Waiting happens on the asking thread: never ask on Qt's global thread pool, because a decode
// that holds budget may wait there for Qt's own image scaling and conversion.
class MemoryBudget {
public:
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) { other.budget_ = nullptr; }
        Lease& operator=(Lease&&) = delete;
        ~Lease();

    private:
        friend class MemoryBudget;
        Lease(MemoryBudget* budget, qint64 bytes) : budget_(budget), bytes_(bytes) {}
        MemoryBudget* budget_ = nullptr;
        qint64 bytes_ = 0;
    };

    MemoryBudget(qint64 capacity, qint64 small) : capacity_(capacity), small_(small) {}

    // Blocks until `bytes` may be held; held until the lease ends.
    [[nodiscard]] Lease take(qint64 bytes);

private:
    void give(qint64 bytes);

    const qint64 capacity_;
    const qint64 small_;
    mutable QMutex mutex_;
    QWaitCondition changed_;
    qint64 held_ = 0;
    quint64 nextTicket_ = 0;  // the order of waiting asks
    quint64 serving_ = 0;
};

// What the tile decoders of the process share: the buffers a decode needs beyond the bytes it
// reads and the tile it gives, such as a picture at full size or libjpeg's coefficients of a
// progressive JPEG. One 8,192 × 8,192 picture at four bytes a pixel.
inline constexpr qint64 kTileDecodeBudgetBytes = 256LL * 1024 * 1024;
MemoryBudget& tileDecodeBudget();

}  // namespace tessera
