#pragma once

#include <QHash>
#include <QString>

namespace tessera::texts {

QString windowTitle();
QString usageNotes();
// Status-bar hints of the main window's controls, by object name.
const QHash<QString, QString>& hints();

QString aboutEditorTitle();
QString aboutEditorText();
QString aboutMakerTitle();
QString aboutMakerText();

inline const QString kExitQuestion = QStringLiteral("请注意保存，是否退出？");
inline const QString kUnsavedChanges = QStringLiteral("地图有未保存的修改");
// The result window's last line after a batch: the files moved, so the history before it ends.
inline const QString kHistoryEnded = QStringLiteral("文件的位置已改变，此前的操作无法再撤销。");
inline const QString kHintLabel = QStringLiteral(" 提示：");
inline const QString kNoMapPicture = QStringLiteral("未载入地图图片");

}  // namespace tessera::texts
