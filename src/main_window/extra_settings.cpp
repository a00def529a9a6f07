#include "main_window/extra_settings.h"

#include "platform/program_state.h"

#include <QSettings>

namespace mainwin {

namespace {

QString fullKey(const QString& key) { return Usr::sExe + u'/' + key; }

}  // namespace

QVariant extraSetting(const QString& key, const QVariant& fallback) {
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QuillonTools"));
    return s.value(fullKey(key), fallback);
}

void setExtraSetting(const QString& key, const QVariant& value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QuillonTools"));
    s.setValue(fullKey(key), value);
}

}  // namespace mainwin
