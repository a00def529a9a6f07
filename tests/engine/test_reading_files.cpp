// Reading starts only on a regular file of a size some picture can have:
// links to devices, FIFOs and huge files are refused before a byte is read.
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "support/test_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace engine;

namespace {

QByteArray bytesOf(const QString& path) { return QFile::encodeName(path); }

}  // namespace

TEST(ReadingFiles, OnlyRegularFilesWithinTheLimitsAreRead) {
    QTemporaryDir dir;
    codecs::Decoded d;
    Error err = Error::None;

    // A name that links to an endless device.
    const QString zero = dir.filePath(QStringLiteral("zero.png"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    EXPECT_FALSE(codecs::decodeFile(zero, d, err));
    EXPECT_EQ(err, Error::FileUnreadable);

    // A FIFO nobody writes to: opening it must not wait for a writer.
    const QString fifo = dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(bytesOf(fifo).constData(), 0600), 0);
    EXPECT_FALSE(codecs::decodeFile(fifo, d, err));
    EXPECT_EQ(err, Error::FileUnreadable);

    // Sparse files: 12 GiB and one byte over the limit are refused unread.
    for (const qint64 size : {qint64(12) << 30, kMaxFileBytes + 1}) {
        const QString huge = dir.filePath(QStringLiteral("huge.bmp"));
        const int fd = ::open(bytesOf(huge).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "BM", 2), 2);
        const bool grown = ::ftruncate(fd, off_t(size)) == 0;
        ::close(fd);
        if (!grown)
            GTEST_SKIP() << "the file system holds no sparse file of " << size << " bytes";
        EXPECT_FALSE(codecs::decodeFile(huge, d, err));
        EXPECT_EQ(err, Error::TooLarge) << size;
    }

    // A folder is no file; a regular picture still reads, through a link too.
    EXPECT_FALSE(codecs::decodeFile(dir.path(), d, err));
    EXPECT_EQ(err, Error::FileMissing);
    const QString real = dir.filePath(QStringLiteral("real.bmp"));
    ASSERT_TRUE(codecs::saveFile(real, codecs::Bmp, testsupport::makeTestPicture(3, 2, 24), {}, err));
    const QString link = dir.filePath(QStringLiteral("link.bmp"));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_TRUE(codecs::decodeFile(link, d, err));
    EXPECT_EQ(d.format, codecs::Bmp);
}

TEST(ReadingFiles, TheEngineReportsARefusedFileAndKeepsItsPicture) {
    QTemporaryDir dir;
    ImageEngine e;
    Error err = Error::None;
    const QString real = dir.filePath(QStringLiteral("real.bmp"));
    ASSERT_TRUE(codecs::saveFile(real, codecs::Bmp, testsupport::makeTestPicture(3, 2, 24), {}, err));
    e.File().FileName = real;
    ASSERT_TRUE(e.File().LoadFile(0));
    const quint32 before = e.ImageHandle();
    const QString fifo = dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    e.File().FileName = fifo;
    EXPECT_FALSE(e.File().LoadFile(0));
    EXPECT_EQ(e.lastError(), Error::FileUnreadable);
    EXPECT_EQ(e.ImageHandle(), before);
}
