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
inline const QString kHintLabel = QStringLiteral(" 提示：");
inline const QString kNoMapPicture = QStringLiteral("未载入地图图片");

}  // namespace tessera::texts
