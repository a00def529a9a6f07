// Writing the picture: the save prompt for unsaved edits and the save routine
// behind "上書き保存" and "名前を付けて保存".
#include "picture_control/upce.h"

#include "engine/depth_code.h"
#include "engine/image_engine.h"
#include "picture_control/upce_util.h"
#include "platform/file_names.h"
#include "platform/prompt.h"
#include "platform/special_folders.h"
#include "picture_control/commands.h"

#include <QDir>
#include <QFileInfo>

namespace {

// What each target format takes: its format code, the depths it holds
// (empty: every depth), the depth to convert to otherwise, and whether the
// JPEG quality applies.
struct SaveFormat {
    const char* ext;
    int code;
    engine::DepthSet accepted;
    engine::DepthCode convertTo;
    bool jpegQuality;
};

using D = engine::DepthCode;
constexpr engine::DepthSet kGreyOr24 = {D::Greys256, D::Bits24};
constexpr engine::DepthSet kPaletteOr24 = {D::Mono, D::Colours16, D::Greys16, D::Colours256, D::Greys256, D::Bits24};
constexpr engine::DepthSet kColourOr32 = {D::Bits24, D::Bits32};
constexpr engine::DepthSet kGreyColourOr32 = {D::Greys256, D::Bits24, D::Bits32};
constexpr engine::DepthSet kPalette = {D::Mono, D::Colours16, D::Greys16, D::Colours256, D::Greys256};

constexpr SaveFormat kFormats[] = {
    {"bmp", 0, {}, D::None, false},
    {"jpeg", 2, kGreyOr24, D::Bits24, true},
    {"jpg", 2, kGreyOr24, D::Bits24, true},
    {"fpx", 13, kGreyOr24, D::Bits24, true},
    {"png", 12, kPaletteOr24, D::Bits24, false},
    {"pcx", 16, kPaletteOr24, D::Bits24, false},
    {"gif", 4, kPalette, D::Colours256, false},
    {"tif", 5, {}, D::None, false},
    {"tiff", 5, {}, D::None, false},
    // The newer formats: the lossy ones at the JPEG quality, 32 bits kept
    // where the format holds an alpha channel (libavif leaves out the opaque
    // alpha of a 32-bit picture, so AVIF takes 24). JPEG 2000 is written lossless.
    {"webp", 19, kColourOr32, D::Bits24, true},
    {"avif", 20, kGreyOr24, D::Bits24, true},
    {"heic", 21, kColourOr32, D::Bits24, true},
    {"heif", 21, kColourOr32, D::Bits24, true},
    {"jxl", 22, kGreyColourOr32, D::Bits24, true},
    {"jp2", 17, kGreyColourOr32, D::Bits24, false},
    {"j2k", 18, kGreyColourOr32, D::Bits24, false},
    {"jpc", 18, kGreyColourOr32, D::Bits24, false},
};
constexpr SaveFormat kOtherFormat = {"", 0, {}, D::None, false};

const SaveFormat& formatFor(const QString& ext) {
    for (const SaveFormat& f : kFormats)
        if (ext.compare(QLatin1String(f.ext), Qt::CaseInsensitive) == 0)
            return f;
    return kOtherFormat;
}

const QString kSaveQuestion = QStringLiteral("現在の画像の変更を保存しますか");
const QString kSaveExtensions = QStringLiteral("BMP;JPG;GIF;TIF;PCX;FPX;PNG;WEBP;AVIF;HEIC;JXL;JP2");
const QString kDefaultName = QStringLiteral("Wrk.jpg");
const QString kOverwriteQuestion = QStringLiteral("\rこのﾌｧｲﾙは既にあります。上書きしますか");

}  // namespace

int uPcE::vCheckSave() {
    // With no picture there is nothing to save; asking would hold the window
    // open, since the save that follows a "yes" can write nothing.
    if (sEdtMode_ != commands::states::Edited.toString() || ikImg_->ImageHandle() == 0)
        return 0;
    int result = 0;
    switch (iEdtUpd_) {
    case 0:
        result = platform::prompt().message(kSaveQuestion, platform::Buttons::YesNoCancel);
        if (result == platform::No)
            sEdtMode_ = commands::states::Loaded.toString();
        break;
    case 1: result = platform::No; break;
    case 2: result = platform::Yes; break;
    default: return 0;
    }
    if (result == platform::Yes) {
        bool written = false;
        guarded([&] { written = pcSave(0); });
        // The edits are not on disk: whatever was about to replace them must stop.
        if (!written)
            result = platform::Cancel;
    }
    return result;
}

// Whether path lives where every load deletes files ("$$*.bmp" in the work folder).
bool uPcE::fileIsInWorkFolder(const QString& path) const {
    if (sWrkFld_.isEmpty() || path.isEmpty())
        return false;
    const QFileInfo fi(path);
    const QString name = fi.fileName();
    if (!name.startsWith(QStringLiteral("$$")) || !name.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive))
        return false;
    return QFileInfo(fi.absolutePath()) == QFileInfo(sWrkFld_);
}

// saveAs 0 overwrites the current file, anything else asks for a name. True
// when the file was written.
bool uPcE::pcSave(int saveAs) {
    if (ikImg_->ImageHandle() == 0)
        return false;
    engine::EngineFile& file = ikImg_->File();

    // A picture without a file of its own (one from the clipboard lives in the
    // work folder, which the next load empties) is saved under a new name.
    if (saveAs == 0 && (sFile_.isEmpty() || fileIsInWorkFolder(sFile_)))
        saveAs = 1;

    QString path;
    if (saveAs == 0) {
        file.Comment = sCmt_ + QChar('\r');
        path = sFile_;
    } else {
        // A first save starts where the dialogs were last used, not in the
        // work folder that every load empties.
        if (sSavePath_.isEmpty())
            sSavePath_ = dialogFolder() + kDefaultName;
        file.FileName = sSavePath_;
        file.SaveFilter = kSaveExtensions;
        if (!file.ShowSaveDialog())
            return false;
        path = file.FileName;
    }

    const QString chosen = path;
    path = upce::lcExt(path);
    QString ext = upce::getExt(path);
    if (ext.isEmpty()) {
        ext = QStringLiteral("BMP");
        path += QStringLiteral(".bmp");
    }
    // The name written is not the name chosen (extension lower-cased or
    // added): whatever the dialog asked was about another file, so a file
    // under the final name is asked about here.
    if (path != chosen && platform::fileKind(path) != platform::FileKind::Missing &&
        platform::prompt().message(path + kOverwriteQuestion, platform::Buttons::YesNo) != platform::Yes)
        return false;
    file.FileName = path;

    const SaveFormat& format = formatFor(ext);
    // The conversion runs on a copy, so a failed save leaves the picture as it was.
    quint32 converted = 0;
    if (!format.accepted.empty() && !format.accepted.contains(engine::DepthCode::fromText(sBit_))) {
        ikImg2_->SetImageHandle(ikImg_->CopyImage(ikImg_->ImageHandle()));
        bRet_ = ikImg2_->ImageHandle() != 0 && ikImg2_->Edit().ConvertDepth(format.convertTo.number(), 0, true, 50);
        if (!bRet_) {
            const engine::Error err = ikImg2_->lastError();
            ikImg2_->FreeImage(ikImg2_->ImageHandle());
            ikImg_->setError(err);
            showMessage(path + QStringLiteral("\r画像ﾌｧｲﾙを保存できません"));
            return false;
        }
        converted = ikImg2_->ImageHandle();
    }
    if (format.jpegQuality)
        file.JpegQuality = 85;

    bRet_ = file.SaveFile(format.code, converted ? converted : ikImg_->ImageHandle());
    if (!bRet_) {
        if (converted)
            ikImg2_->FreeImage(converted);
        showMessage(path + QStringLiteral("\r画像ﾌｧｲﾙを保存できません"));
        return false;
    }
    if (converted) {
        // The file holds the converted picture; so does the control from now on.
        ikImg_->SetImageHandle(ikImg_->CopyImage(converted));
        ikImg2_->FreeImage(converted);
        ikImg_->ApplyDispMode(iDspMode_);
    }

    pcLoad(path, 2, false);
    ikImg_->Refresh();
    sSavePath_ = upce::folderOf(path) + kDefaultName;
    if (saveAs != 0)
        sDlgFdUsed_ = upce::folderOf(path);
    return true;
}

void uPcE::SetDlgFd(const QString& folder) {
    sDlgFd_ = folder;
    if (!sDlgFd_.isEmpty() && !sDlgFd_.endsWith(QChar('/')))
        sDlgFd_ += QChar('/');
}

QString uPcE::dialogFolder() const {
    if (!sDlgFdUsed_.isEmpty())
        return sDlgFdUsed_;
    const auto inWorkFolder = [this](const QString& folder) {
        if (sWrkFld_.isEmpty())
            return false;
        const QString work = QFileInfo(sWrkFld_).absoluteFilePath() + QChar('/');
        return (QFileInfo(folder).absoluteFilePath() + QChar('/')).startsWith(work);
    };
    if (!sDlgFd_.isEmpty() && QFileInfo(sDlgFd_).isDir() && !inWorkFolder(sDlgFd_))
        return sDlgFd_;
    QString pictures = platform::specialFolder(platform::PicturesFolder);
    if (pictures.isEmpty() || !QFileInfo(pictures).isDir())
        pictures = QDir::homePath();
    return pictures + QChar('/');
}
