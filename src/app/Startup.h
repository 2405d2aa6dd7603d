#pragma once

class QApplication;

namespace tessera {

// Loads Qt's Chinese translation (standard buttons read "是", "否", "确定", "取消") and selects a
// font that has the interface's Chinese characters; Chinese dates, and one flat look for dialogs.
void setUpApplication(QApplication& app);

}  // namespace tessera
