#include "imaging/MemoryBudget.h"

#include <algorithm>

namespace tessera {

MemoryBudget::Lease::~Lease()
{
    if (budget_)
        budget_->give(bytes_);
}

MemoryBudget::Lease MemoryBudget::take(qint64 bytes)
{
    if (bytes <= small_)
        return {};
    const qint64 need = std::min(bytes, capacity_);
    QMutexLocker lock(&mutex_);
    const quint64 ticket = nextTicket_++;
    while (ticket != serving_ || held_ + need > capacity_)
        changed_.wait(&mutex_);
    ++serving_;
    held_ += need;
    changed_.wakeAll();  // the next in line may fit as well
    return {this, need};
}

void MemoryBudget::give(qint64 bytes)
{
    const QMutexLocker lock(&mutex_);
    held_ -= bytes;
    changed_.wakeAll();
}

MemoryBudget& tileDecodeBudget()
{
    // Decodes that need up to 4 MB (a 1,024 × 1,024 tile at four bytes a pixel) never wait.
    static MemoryBudget budget(kTileDecodeBudgetBytes, 4LL * 1024 * 1024);
    return budget;
}

}  // namespace tessera
