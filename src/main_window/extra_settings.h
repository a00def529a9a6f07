#pragma once
// Settings of the window beyond "User.xml" (whose layout stays exactly as it
// is): kept under the program's base name in the per-user program settings
// store, beside the path record.
#include <QString>
#include <QVariant>

namespace mainwin {

QVariant extraSetting(const QString& key, const QVariant& fallback = QVariant());
void setExtraSetting(const QString& key, const QVariant& value);

}  // namespace mainwin
