#include "main_window/recent_files.h"

#include "main_window/extra_settings.h"

namespace mainwin {

namespace {
const QString kKey = QStringLiteral("RecentFiles");
}  // namespace

void RecentFiles::load() {
    files_.clear();
    for (const QString& f : extraSetting(kKey).toStringList())
        if (!f.isEmpty() && !files_.contains(f) && files_.size() < kMax)
            files_ << f;
}

bool RecentFiles::add(const QString& path) {
    if (path.isEmpty() || (!files_.isEmpty() && files_.first() == path))
        return false;
    files_.removeAll(path);
    files_.prepend(path);
    while (files_.size() > kMax)
        files_.removeLast();
    store();
    return true;
}

bool RecentFiles::remove(const QString& path) {
    if (files_.removeAll(path) == 0)
        return false;
    store();
    return true;
}

void RecentFiles::store() const { setExtraSetting(kKey, files_); }

}  // namespace mainwin
