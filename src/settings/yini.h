#pragma once
// The settings object: the settings document "User.xml" with its typed
// accessors, the user data folder and folder helpers, and the shell helpers.
//
// The document is not parsed as XML: every read and write is a plain text
// search for a tag pair, relying on the exact layout this class writes itself
// (declaration line, root "運用", groups indented by three spaces, key lines by
// six, CR LF line ends, no line break after the root's closing tag).
#include <QString>
#include <QStringList>
#include <QVariant>

class yIni {
public:
    // --- user data folder and folder helpers (user_data_folder.cpp, folder_helpers.cpp)

    // Stores the owner window, sets Usr::sApFd and Usr::sUsrFd from the
    // definition file "UserData.ini" beside the program, records the program's
    // path in the per-user settings store and creates the user data folder.
    void W_UserData(quintptr nWhnd);
    // A special folder by its shell folder number: 26 application data, 5
    // documents, 9 Send To (here the applications folder of the desktop).
    // No trailing separator; empty for any other number.
    QString FsGtSpFld(int nFlg);
    // Creates every sPh + name folder of Ary that is missing (one level each,
    // readable and writable by the user alone).
    // Returns false when one of them could not be created.
    bool F_ChkSb(const QString& sPh, const QStringList& Ary);
    // Creates the folder and every missing parent; errors are ignored.
    void F_CreateFld(const QString& sFd);

    // --- shell integration (shell_integration.cpp)

    // Writes the help shortcut to the home page plus the topic (lower-cased,
    // ".htm" appended when it has no extension) and opens it.
    void W_Help(const QString& sJob);
    // Opens the help page shipped with the program (the topic as for W_Help)
    // in the desktop's browser; when it is missing or nothing can open it,
    // says so with the file's path.
    void W_HelpFile(const QString& sJob);
    // Where the shipped copy of a help topic is: beside the program (a build
    // tree), in the data folder of the installation the program belongs to,
    // then in the desktop's data folders. When it is nowhere, the path it
    // should have in this installation.
    QString helpFilePath(const QString& sJob) const;
    // Writes a shortcut to the address in the work folder and opens it.
    void W_HtmView(const QString& sUrl);
    // Puts a desktop entry for the program in the applications folder, so the
    // file manager offers it for pictures, and confirms it in a message.
    void W_SendTo();
    // Opens sFld (bOpn true) or shows an existing folder in the file manager.
    void W_ExpFd(const QString& sFld, bool bOpn);
    // The maker's web address that help topics are appended to (ends with "/").
    static QString homePage();

    // --- settings document (settings_document.cpp)

    // Loads the settings file (created empty when missing) into sTxt; a path
    // holding "_DV.xml" (any case) uses ".xml" instead. bOk is true on success.
    void GetTxt(const QString& sFL, bool& bOk);
    // Makes sGp the current group and copies its key lines into sGtx.
    void GetGtx(const QString& sGp);
    // Reads a key of the current group; the type of vDef chooses the
    // conversion and an empty or absent value gives vDef:
    //  - QString: the text as stored;
    //  - bool: "true"/"false" in any case, or a number (non-zero is true);
    //    any other text gives an invalid QVariant, which the caller must
    //    treat as an error (it is neither true nor false);
    //  - QDate/QDateTime: the text as an ISO date, else vDef;
    //  - anything else (the numbers): a double, the leading number of the
    //    text ("12px" is 12, "abc" is 0).
    QVariant vGtVal(const QString& sKy, const QVariant& vDef);
    // Replaces the value of a key of the current group, or appends its line.
    void SetVal(const QString& sKy, const QVariant& vVL);
    // Writes the current group back into sTxt, replacing its lines or adding
    // a new group before "</運用>". False (sTxt unchanged) when a new group
    // has no root closing tag to go before.
    bool SetGtx();
    // Writes sTxt to sIniFile as CP932. The file is replaced only once the new
    // content is completely written. bOk is true on success.
    void SetTxt(bool& bOk);

    // State (read by tests).
    quintptr nOwnWnd = 0;
    QString sIniFile;
    QString sTxt;
    QString sGtx;
    QString sCurGp;

    // The program folder (with a trailing separator) and executable path; the
    // running program's by default, set by tests.
    QString programFolder;
    QString programPath;

    // The program folder in use (programFolder, else the running program's),
    // with a trailing separator, and the executable path in use.
    QString programFolderPath() const;
    QString programFilePath() const;

private:
    QString GtTag(int kind, const QString& name);
    QString MkTag(int kind, const QString& name, const QVariant& value) const;
};

namespace Usr {
// The program's one settings object, created on first use.
yIni& oIni();
// Releases the settings object (the next oIni() creates a fresh one).
void releaseIni();
}  // namespace Usr
