#pragma once
// The compound-file container of FlashPix pictures, on top of libgsf. Nothing of
// libgsf or GLib shows through this header, so Qt code can include it freely.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace engine::codecs::fpx {

// A class or format id as the file stores it (the first three fields little-endian).
using Guid = std::array<uint8_t, 16>;
Guid makeGuid(uint32_t d1, uint16_t d2, uint16_t d3, std::array<uint8_t, 8> d4);

// Silences GLib logging from libgsf and makes sure no warning can abort the
// process; called by every entry point before libgsf is touched.
void initGsf();

// Read access to a compound file held in memory. Streams are read on demand,
// each with a byte limit, so a directory whose entries share one long sector
// chain cannot make the reader allocate more than the caller allows.
class OleReader {
public:
    explicit OleReader(const QByteArray& file);  // the bytes must outlive the reader
    ~OleReader();
    OleReader(const OleReader&) = delete;
    OleReader& operator=(const OleReader&) = delete;

    bool isValid() const;  // false when libgsf could not parse the container

    enum class Read { Ok, Missing, TooLarge, Failed };
    // The stream at path (names from the root down).
    Read readStream(const QStringList& path, qint64 maxBytes, QByteArray& out) const;
    // The class id of the storage at path (empty path: the root).
    bool classId(const QStringList& path, Guid& out) const;
    // The names of the entries in the storage at path; empty when it is no storage.
    QStringList children(const QStringList& path) const;
    bool isStorage(const QStringList& path) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Builds a compound file in memory: storages and streams are collected first and
// written in one pass by finish().
class OleWriter {
public:
    OleWriter();
    ~OleWriter();
    OleWriter(const OleWriter&) = delete;
    OleWriter& operator=(const OleWriter&) = delete;

    void setRootClassId(const Guid& id);
    // Adds a storage below parentPath (empty: the root); returns its path.
    QStringList addStorage(const QStringList& parentPath, const QString& name, const Guid& classId);
    void addStream(const QStringList& parentPath, const QString& name, const QByteArray& data);
    bool finish(QByteArray& out);

    struct Node;

private:
    std::unique_ptr<Node> root_;
    Node* find(const QStringList& path);
};

}  // namespace engine::codecs::fpx
