#pragma once

#include <optional>

namespace tessera {

class Platform;

// Largest map edge accepted: a 1000 × 1000 map.
inline constexpr int kMaxMapSize = 1000;

// Asks "请注意保存，是否新建？" and then for the size. Nothing when the user declines or cancels or
// the answer is below 1; an answer above the largest size is refused with a message.
std::optional<int> askNewMapSize(Platform& platform);

}  // namespace tessera
