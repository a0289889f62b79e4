#pragma once
// Archives written by libarchive's own writer, for the tests: zips with
// members deflated or stored (encrypted with "heslo" when asked), links
// and folders, and gzip streams.
#include <archive.h>
#include <archive_entry.h>

#include <QByteArray>
#include <QList>

namespace ArchiveWriter {

struct Item
{
    QByteArray name; // UTF-8
    QByteArray data;
    unsigned type = AE_IFREG;
    bool stored = false; // not deflated
};

inline la_ssize_t appendBytes(struct archive *, void *out, const void *data, size_t size)
{
    static_cast<QByteArray *>(out)->append(static_cast<const char *>(data), qsizetype(size));
    return la_ssize_t(size);
}

inline QByteArray written(struct archive *a, const QList<Item> &items, const char *options = nullptr)
{
    QByteArray out;
    archive_write_set_bytes_per_block(a, 0);
    archive_write_set_passphrase(a, "heslo");
    if (options)
        archive_write_set_options(a, options);
    archive_write_open(a, &out, nullptr, appendBytes, nullptr);
    for (const Item &item : items) {
        if (archive_format(a) == ARCHIVE_FORMAT_ZIP)
            (item.stored ? archive_write_zip_set_compression_store : archive_write_zip_set_compression_deflate)(a);
        struct archive_entry *e = archive_entry_new();
        archive_entry_update_pathname_utf8(e, item.name.constData());
        archive_entry_set_filetype(e, item.type);
        archive_entry_set_perm(e, 0644);
        if (item.type == AE_IFLNK)
            archive_entry_set_symlink(e, item.data.constData());
        else if (item.type == AE_IFREG)
            archive_entry_set_size(e, item.data.size());
        archive_write_header(a, e);
        if (item.type == AE_IFREG)
            archive_write_data(a, item.data.constData(), size_t(item.data.size()));
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

inline QByteArray zipOf(const QList<Item> &items, const char *options = nullptr)
{
    struct archive *a = archive_write_new();
    archive_write_set_format_zip(a);
    return written(a, items, options);
}

inline QByteArray gzipOf(const QByteArray &data)
{
    struct archive *a = archive_write_new();
    archive_write_add_filter_gzip(a);
    archive_write_set_format_raw(a);
    return written(a, {{"data", data}});
}

} // namespace ArchiveWriter
