#pragma once
// The settings object: the settings document "User.xml" with its typed
// accessors, the user data folder and folder helpers, and the shell helpers.
#include <QString>
#include <QStringList>
#include <QVariant>

class yIni {
public:
    // --- user data folder and folder helpers
    void W_UserData(quintptr nWhnd);
    QString FsGtSpFld(int nFlg);
    void F_ChkSb(const QString& sPh, const QStringList& Ary);
    void F_CreateFld(const QString& sFd);

    // --- shell integration
    void W_Help(const QString& sJob);
    void W_HtmView(const QString& sUrl);
    void W_SendTo();
    void W_ExpFd(const QString& sFld, bool bOpn);

    // --- settings document
    void GetTxt(const QString& sFL, bool& bOk);
    void GetGtx(const QString& sGp);
    QVariant vGtVal(const QString& sKy, const QVariant& vDef);
    void SetVal(const QString& sKy, const QVariant& vVL);
    bool SetGtx();  // false when the document has no root closing tag for a new group
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

private:
    QString GtTag(int kind, const QString& name);
    QString MkTag(int kind, const QString& name, const QVariant& value) const;
};
