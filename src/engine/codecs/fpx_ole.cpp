// libgsf's headers come first: GLib headers must not see Qt's keyword macros.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "engine/codecs/fpx_ole.h"

#include <cstring>
#include <mutex>

namespace engine::codecs::fpx {

Guid makeGuid(uint32_t d1, uint16_t d2, uint16_t d3, std::array<uint8_t, 8> d4) {
    Guid g{};
    for (int i = 0; i < 4; ++i)
        g[size_t(i)] = uint8_t(d1 >> (8 * i));
    g[4] = uint8_t(d2);
    g[5] = uint8_t(d2 >> 8);
    g[6] = uint8_t(d3);
    g[7] = uint8_t(d3 >> 8);
    std::memcpy(g.data() + 8, d4.data(), 8);
    return g;
}

namespace {

// libgsf reports damaged containers through g_warning and g_return_if_fail
// criticals. A damaged file is an ordinary event for a picture editor, so those
// messages are dropped; messages of other domains keep GLib's default output.
void logHandler(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if (domain && std::strncmp(domain, "libgsf", 6) == 0)
        return;
    // Never let the default handler treat this as fatal.
    g_log_default_handler(domain, GLogLevelFlags(level & ~G_LOG_FLAG_FATAL), message, nullptr);
}

template <typename T>
struct GUnref {
    void operator()(T* p) const {
        if (p)
            g_object_unref(p);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GUnref<T>>;

}  // namespace

void initGsf() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        for (const char* domain : {"libgsf", "libgsf:msole", "libgsf:utils", "GLib-GObject"}) {
            g_log_set_fatal_mask(domain, GLogLevelFlags(G_LOG_LEVEL_ERROR));
            g_log_set_handler(domain, GLogLevelFlags(G_LOG_LEVEL_MASK & ~G_LOG_LEVEL_ERROR), logHandler, nullptr);
        }
    });
    // G_DEBUG=fatal-warnings, or any library calling g_log_set_always_fatal,
    // must not turn libgsf's warning about a damaged file into an abort; this
    // is set again on every use because anything may have changed it since.
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_ERROR));
}

// ---- reading ---------------------------------------------------------------

struct OleReader::Impl {
    GPtr<GsfInput> source;
    GPtr<GsfInfile> root;

    // The entry at path; the caller owns the returned reference.
    GsfInput* open(const QStringList& path) const {
        if (!root)
            return nullptr;
        GsfInput* cur = GSF_INPUT(g_object_ref(root.get()));
        for (const QString& name : path) {
            GsfInput* next = nullptr;
            if (GSF_IS_INFILE(cur) && gsf_infile_num_children(GSF_INFILE(cur)) >= 0)
                next = gsf_infile_child_by_name(GSF_INFILE(cur), name.toUtf8().constData());
            g_object_unref(cur);
            if (!next)
                return nullptr;
            cur = next;
        }
        return cur;
    }
};

OleReader::OleReader(const QByteArray& file) : d(new Impl) {
    initGsf();
    d->source.reset(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()), file.size(), FALSE));
    if (!d->source)
        return;
    GError* err = nullptr;
    d->root.reset(gsf_infile_msole_new(d->source.get(), &err));
    if (err)
        g_error_free(err);
}

OleReader::~OleReader() = default;

bool OleReader::isValid() const { return d->root != nullptr; }

OleReader::Read OleReader::readStream(const QStringList& path, qint64 maxBytes, QByteArray& out) const {
    out.clear();
    GPtr<GsfInput> in(d->open(path));
    if (!in)
        return Read::Missing;
    if (GSF_IS_INFILE(in.get()) && gsf_infile_num_children(GSF_INFILE(in.get())) >= 0)
        return Read::Missing;  // a storage, not a stream
    const gsf_off_t size = gsf_input_size(in.get());
    if (size < 0)
        return Read::Failed;
    if (size > maxBytes)
        return Read::TooLarge;
    out.resize(qsizetype(size));
    if (size > 0 && !gsf_input_read(in.get(), size_t(size), reinterpret_cast<guint8*>(out.data()))) {
        out.clear();
        return Read::Failed;
    }
    return Read::Ok;
}

bool OleReader::classId(const QStringList& path, Guid& out) const {
    GPtr<GsfInput> in(d->open(path));
    if (!in || !GSF_IS_INFILE_MSOLE(in.get()))
        return false;
    return gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(in.get()), out.data());
}

QStringList OleReader::children(const QStringList& path) const {
    QStringList names;
    GPtr<GsfInput> in(d->open(path));
    if (!in || !GSF_IS_INFILE(in.get()))
        return names;
    const int n = gsf_infile_num_children(GSF_INFILE(in.get()));
    for (int i = 0; i < n; ++i)
        if (const char* name = gsf_infile_name_by_index(GSF_INFILE(in.get()), i))
            names << QString::fromUtf8(name);
    return names;
}

bool OleReader::isStorage(const QStringList& path) const {
    GPtr<GsfInput> in(d->open(path));
    return in && GSF_IS_INFILE(in.get()) && gsf_infile_num_children(GSF_INFILE(in.get())) >= 0;
}

// ---- writing ---------------------------------------------------------------

struct OleWriter::Node {
    QString name;
    bool storage = true;
    Guid classId{};
    QByteArray data;
    std::vector<std::unique_ptr<Node>> children;
};

OleWriter::OleWriter() : root_(new Node) { initGsf(); }
OleWriter::~OleWriter() = default;

void OleWriter::setRootClassId(const Guid& id) { root_->classId = id; }

OleWriter::Node* OleWriter::find(const QStringList& path) {
    Node* cur = root_.get();
    for (const QString& name : path) {
        Node* next = nullptr;
        for (auto& c : cur->children)
            if (c->storage && c->name == name)
                next = c.get();
        if (!next)
            return nullptr;
        cur = next;
    }
    return cur;
}

QStringList OleWriter::addStorage(const QStringList& parentPath, const QString& name, const Guid& classId) {
    Node* parent = find(parentPath);
    Q_ASSERT(parent);
    auto node = std::make_unique<Node>();
    node->name = name;
    node->classId = classId;
    parent->children.push_back(std::move(node));
    return parentPath + QStringList{name};
}

void OleWriter::addStream(const QStringList& parentPath, const QString& name, const QByteArray& data) {
    Node* parent = find(parentPath);
    Q_ASSERT(parent);
    auto node = std::make_unique<Node>();
    node->name = name;
    node->storage = false;
    node->data = data;
    parent->children.push_back(std::move(node));
}

static bool writeChildren(GsfOutfile* dir, const std::vector<std::unique_ptr<OleWriter::Node>>& children);

static bool writeNode(GsfOutfile* parent, const OleWriter::Node& node) {
    GPtr<GsfOutput> out(gsf_outfile_new_child(parent, node.name.toUtf8().constData(), node.storage));
    if (!out)
        return false;
    bool ok = true;
    if (node.storage) {
        ok = gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out.get()), node.classId.data());
        ok = ok && writeChildren(GSF_OUTFILE(out.get()), node.children);
    } else if (!node.data.isEmpty()) {
        ok = gsf_output_write(out.get(), size_t(node.data.size()), reinterpret_cast<const guint8*>(node.data.constData()));
    }
    return gsf_output_close(out.get()) && ok;
}

static bool writeChildren(GsfOutfile* dir, const std::vector<std::unique_ptr<OleWriter::Node>>& children) {
    for (const auto& c : children)
        if (!writeNode(dir, *c))
            return false;
    return true;
}

bool OleWriter::finish(QByteArray& out) {
    out.clear();
    GPtr<GsfOutput> sink(gsf_output_memory_new());
    if (!sink)
        return false;
    bool ok = false;
    {
        GPtr<GsfOutfile> ole(gsf_outfile_msole_new(sink.get()));
        if (!ole)
            return false;
        ok = gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole.get()), root_->classId.data());
        ok = writeChildren(ole.get(), root_->children) && ok;
        ok = gsf_output_close(GSF_OUTPUT(ole.get())) && ok;
    }
    if (!ok)
        return false;
    const gsf_off_t size = gsf_output_size(sink.get());
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    if (size <= 0 || !bytes)
        return false;
    // Closing the compound file closed the sink too; its bytes stay readable.
    out = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size));
    return true;
}

}  // namespace engine::codecs::fpx
