#pragma once
// Special folders by the shell folder numbers the program was designed
// around, mapped onto the desktop's own (XDG) folders.
#include <QString>

namespace platform {

enum SpecialFolder : int {
    AppDataFolder = 26,   // per-user application data: the XDG data home (~/.local/share)
    DocumentsFolder = 5,  // personal documents: the XDG documents folder
    SendToFolder = 9,     // "Send To": the applications folder (~/.local/share/applications),
                          // whose entries the file manager offers under "Open With"
    PicturesFolder = 39,  // personal pictures: the XDG pictures folder
};

// The folder's full path without a trailing separator; empty for any other
// number or when the desktop has none.
QString specialFolder(int number);

}  // namespace platform
