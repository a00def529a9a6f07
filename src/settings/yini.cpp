#include "settings/yini.h"

void yIni::W_UserData(quintptr nWhnd) { nOwnWnd = nWhnd; }
QString yIni::FsGtSpFld(int) { return QString(); }
void yIni::F_ChkSb(const QString&, const QStringList&) {}
void yIni::F_CreateFld(const QString&) {}
void yIni::W_Help(const QString&) {}
void yIni::W_HtmView(const QString&) {}
void yIni::W_SendTo() {}
void yIni::W_ExpFd(const QString&, bool) {}
void yIni::GetTxt(const QString& sFL, bool& bOk) { sIniFile = sFL; bOk = true; }
void yIni::GetGtx(const QString& sGp) { sCurGp = sGp; }
QVariant yIni::vGtVal(const QString&, const QVariant& vDef) { return vDef; }
void yIni::SetVal(const QString&, const QVariant&) {}
bool yIni::SetGtx() { return true; }
void yIni::SetTxt(bool& bOk) { bOk = false; }
QString yIni::GtTag(int, const QString&) { return QString(); }
QString yIni::MkTag(int, const QString&, const QVariant&) const { return QString(); }
