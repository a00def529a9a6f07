#pragma once
// The pictures opened or saved last, most recent first, kept in the per-user
// program settings store beside the path record, so the list survives a
// restart without touching "User.xml".
#include <QString>
#include <QStringList>

namespace mainwin {

class RecentFiles {
public:
    static constexpr int kMax = 10;

    // Reads the list stored for the program's base name.
    void load();
    const QStringList& files() const { return files_; }

    // Puts path first (removing it further down, dropping the oldest beyond
    // kMax) and stores the list. False when nothing changed.
    bool add(const QString& path);
    // Removes path and stores the list. False when it was not listed.
    bool remove(const QString& path);

private:
    void store() const;
    QStringList files_;
};

}  // namespace mainwin
