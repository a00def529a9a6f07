#pragma once
// Qt's own texts (the standard buttons of message boxes, the file dialogs and
// their overwrite question) in Japanese, from the translations Qt ships.
class QTranslator;

namespace platform {

// Loads Qt's Japanese translation from Qt's translations folder and installs
// it for the application (which owns it). nullptr when it is not installed:
// Qt's texts then stay in English, the program's own are unaffected.
QTranslator* installQtJapanese();

}  // namespace platform
