#pragma once

#include "data/dbf/codepage.h"
#include "data/dbf/mdx.h"
#include "data/dbf/storage.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace t7::dbf {

// A field as a new file declares it.
struct FieldSpec
{
    QString name;
    char type = 'C'; // 'C' text, 'N' number
    int width = 1;
};

// A field the file must have to open; for 'N' the number of digits at most.
struct FieldRequirement
{
    QString name;
    char type = 'C';
    int maxWidth = 255;
};

struct Field
{
    QString name;
    char type = 'C';
    int width = 0;
    int decimals = 0;
    int offset = 0; // within the record, after the deletion flag
};

// A dBase table (version 0x03, no memo) with an optional production index of one tag.
// The records are kept in memory; every change is written through to the file at once.
class Table
{
public:
    enum class State { Inactive, Browse, Edit, Append };

    explicit Table(Storage& storage = defaultStorage());
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // The local date that header writes record; tests fix it.
    std::function<QDate()> today = [] { return QDate::currentDate(); };

    static void create(const QString& path, const std::vector<FieldSpec>& fields, quint8 languageId,
                       QDate today, Storage& storage = defaultStorage());
    // Throws when another program (or another open table) holds the file at `path`.
    static void ensureNotHeld(const QString& path, Storage& storage = defaultStorage());

    Storage& storage() const { return m_storage; }

    void setPath(const QString& path) { m_path = path; }
    QString path() const { return m_path; }
    // The production index beside the data file: the last extension replaced by ".mdx".
    QString indexPath() const;

    // Read only: no lock is taken and nothing is ever written.
    void open(const std::vector<FieldRequirement>& required = {}, bool readOnly = false);
    void close();
    // Reads a file's live records in file order a block at a time, keeping none of them:
    // `opened` once the header is read (fields() and decode() serve from then on), then
    // `record` for each. The table is closed afterwards. Throws as open() does.
    void scan(const std::vector<FieldRequirement>& required, const std::function<void()>& opened,
              const std::function<void(const char* record)>& record);
    bool isOpen() const { return m_file != nullptr; }
    State state() const { return m_state; }
    quint8 languageId() const { return m_languageId; }

    const std::vector<Field>& fields() const { return m_fields; }
    int fieldIndex(QStringView name) const;

    // Moving over the live rows in the current order.
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    // Fetches the rows again in the current order, staying on the same row where it can.
    void refresh();
    qint64 visibleCount() const { return qint64(m_order.size()); }
    qint64 recordCount() const { return m_count; }
    // The current row: its place in the order (-1 when none) and its record number (1-based).
    qint64 position() const { return m_order.empty() ? -1 : m_pos; }
    quint32 recNo() const;
    void goToPosition(qint64 position);
    bool goToRecord(quint32 recNo);
    // Record indexes (0-based) of the live rows in the current order.
    const std::vector<quint32>& order() const { return m_order; }

    // Values of the current row (the edit buffer while editing).
    QString text(QStringView field) const;
    std::optional<int> integer(QStringView field) const;
    bool isNull(QStringView field) const;
    // Values of any record by index (0-based), straight from the cache.
    QString textOf(quint32 record, int field) const;
    std::optional<int> integerOf(quint32 record, int field) const;
    QByteArrayView rawOf(quint32 record, int field) const;
    bool deletedAt(quint32 record) const;
    // Stored text bytes in the file's code page, without trailing blanks.
    QString decode(QByteArrayView bytes) const;
    // A field's bytes in a record as its text is read: without the blanks around a number
    // and the trailing blanks of a text.
    QByteArrayView cellBytes(const char* record, int field) const;

    void append();
    void edit();
    // Puts a record (0-based) in edit mode wherever the cursor stands.
    void editRecord(quint32 record);
    void setText(QStringView field, const QString& value);
    void setInteger(QStringView field, int value);
    void setNull(QStringView field);
    void post();
    // Posts between these keep the sort order for the end: a run of edits that changes the
    // keys of many rows (renumbering) re-sorts once instead of once a row. The rows shown
    // keep their order until the end.
    void beginBatch();
    void endBatch();
    void cancel();
    // Marks the current row deleted; it is hidden from then on.
    void deleteRecord();
    // Marks these records (0-based) deleted in one pass.
    void deleteRecords(const std::vector<quint32>& records);
    // Rewrites the file without the deleted rows.
    void pack();

    // On a read-only table the tag lives in memory only.
    void addTag(const QString& tag, const QString& field, bool descending);
    // The empty name selects file order.
    void selectTag(const QString& tag);
    void dropTag(const QString& tag);
    // Closes an index open as a file of its own; a production index tag stays.
    void releaseTag(const QString& tag);
    void rebuildTags();
    QString selectedTag() const { return m_selected; }

    // A filter of the form "FIELD=VALUE": while it is on, only the rows whose field holds
    // that value pass (a numeric field compared as a whole number; a value that is not one
    // lets no row pass). Switching it on or off fetches the rows again.
    void setFilter(const QString& expression);
    QString filter() const { return m_filter; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }
    bool hasTag() const { return m_tag.has_value(); }
    std::optional<MdxTag> tag() const;

private:
    struct Tag
    {
        QString name;
        int field = 0;
        bool descending = false;
        std::vector<quint32> entries; // every record, deleted ones too, in key order
    };

    const char* recordData(quint32 record) const;
    QString textIn(const char* record, int field) const;
    const char* currentData() const;
    int requireField(QStringView name) const;
    void requireBrowse() const;
    void requireWritable() const;
    void requireEditing() const;
    void requireRow() const;
    void readHeader(QByteArray& header, qint64 fileSize);
    // Opens the file and reads its header; returns the file's size.
    qint64 openHeader(const std::vector<FieldRequirement>& required, bool readOnly);
    void writeHeader(bool withDate);
    void fail(const QString& what) const;
    void writeAt(qint64 offset, const char* data, qint64 length);
    void appendRecord(quint32 record);
    qint64 recordOffset(quint32 record) const;

    bool keyLess(quint32 a, quint32 b, const Tag& tag) const;
    void sortTag(Tag& tag) const;
    void placeInTag(quint32 record);
    void unplaceFromTag(quint32 record);
    void rebuildOrder(std::optional<quint32> stayOn);
    void writeIndex();
    void loadIndex();
    void keyBytes(const Tag& tag, quint32 record, char* out) const;
    std::optional<int> parseInteger(const char* data, int width) const;
    void resetState();

    Storage& m_storage;
    QString m_path;
    std::unique_ptr<File> m_file;
    bool m_readOnly = false;
    State m_state = State::Inactive;

    QByteArray m_header; // the header bytes as in the file, descriptors included
    std::vector<Field> m_fields;
    int m_headerLength = 0;
    int m_recordLength = 0;
    quint8 m_languageId = kLanguageIdWindows1251;
    const CodePage* m_codePage = nullptr;
    qint64 m_count = 0;
    QByteArray m_records;

    std::vector<quint32> m_order;
    qint64 m_pos = 0;
    bool m_bof = true;
    bool m_eof = true;

    QByteArray m_buffer; // the row being edited or appended
    quint32 m_editRecord = 0;

    std::optional<Tag> m_tag;
    QString m_selected; // kept across close and open
    bool m_batch = false;
    bool m_batchMoved = false; // a key changed during the batch: the tag wants sorting
    QString m_filter;
    bool m_filtered = false;
    // The filter as read: the field, and the value its rows carry.
    struct Condition
    {
        int field = -1;
        QByteArray text;           // a text field's value, as stored
        std::optional<int> number; // a numeric field's value
        bool matchesNothing = false;
    };
    std::optional<Condition> m_condition;
    bool passes(quint32 record) const;
    bool m_indexFlag = false;
    bool m_indexDirty = false;
};

} // namespace t7::dbf
