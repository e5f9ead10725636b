#include "data/dbf/table.h"

#include "common/error.h"
#include "data/dbf/bytes.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace t7::dbf {

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr char kLive = ' ';
constexpr char kDeleted = '*';
constexpr char kTerminator = 0x0D;
constexpr char kEndOfFile = 0x1A;

bool knownVersion(unsigned char version)
{
    // dBase III/IV tables, with or without a memo file.
    return version == 0x03 || version == 0x04 || version == 0x83 || version == 0x8B;
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

Table::Table(Storage& storage) : m_storage(storage) {}

Table::~Table()
{
    try {
        close();
    } catch (...) {
        // Closing on destruction is best effort; every posted row is on disk already.
    }
}

QString Table::indexPath() const
{
    const QFileInfo info(m_path);
    const QString base = info.completeBaseName();
    return info.dir().filePath(base + QStringLiteral(".mdx"));
}

void Table::create(const QString& path, const std::vector<FieldSpec>& specs, quint8 languageId,
                   QDate today, Storage& storage)
{
    const int headerLength = kHeaderSize + kDescriptorSize * int(specs.size()) + 1;
    int recordLength = 1;
    for (const FieldSpec& spec : specs)
        recordLength += spec.width;
    QByteArray bytes(headerLength + 1, '\0');
    char* data = bytes.data();
    data[0] = 0x03;
    putDate(data + 1, today);
    put16(data + 8, quint32(headerLength));
    put16(data + 10, quint32(recordLength));
    data[29] = char(languageId);
    for (size_t i = 0; i < specs.size(); ++i) {
        char* descriptor = data + kHeaderSize + kDescriptorSize * int(i);
        const QByteArray name = specs[i].name.toUpper().toLatin1().left(10);
        std::memcpy(descriptor, name.constData(), size_t(name.size()));
        descriptor[11] = specs[i].type;
        descriptor[16] = char(specs[i].width);
    }
    data[headerLength - 1] = kTerminator;
    data[headerLength] = kEndOfFile;

    // A file that another program holds open is not replaced under its feet.
    if (storage.exists(path))
        ensureNotHeld(path, storage);
    // The old file keeps its place until the new one is whole on disk.
    QString error;
    if (!storage.commit(path, bytes, error))
        throw Error(QStringLiteral("Не удалось записать файл %1: %2").arg(path, error));
}

void Table::ensureNotHeld(const QString& path, Storage& storage)
{
    QString error;
    auto held = storage.open(path, OpenMode::ReadWrite, error);
    if (!held)
        throw Error(QStringLiteral("Не удалось создать файл %1: %2").arg(path, error));
    if (!held->lock())
        throw Error(QStringLiteral("%1 уже открыт другой программой").arg(fileName(path)));
}

void Table::readHeader(QByteArray& header, qint64 fileSize)
{
    const QString name = fileName(m_path);
    auto damaged = [&name](const QString& why) {
        return Error(QStringLiteral("%1 не является таблицей dBase: %2").arg(name, why));
    };
    if (fileSize < kHeaderSize + 1)
        throw damaged(QStringLiteral("файл слишком короткий"));
    header.resize(kHeaderSize);
    if (!m_file->read(0, header.data(), kHeaderSize))
        throw damaged(m_file->errorString());
    const char* data = header.constData();
    if (!knownVersion(static_cast<unsigned char>(data[0])))
        throw damaged(QStringLiteral("неизвестная версия %1")
                          .arg(int(quint8(data[0])), 2, 16, QLatin1Char('0')));
    m_headerLength = int(get16(data + 8));
    m_recordLength = int(get16(data + 10));
    if (m_headerLength < kHeaderSize + kDescriptorSize + 1 || m_headerLength > fileSize)
        throw damaged(QStringLiteral("неверная длина заголовка"));
    if (m_recordLength < 2)
        throw damaged(QStringLiteral("неверная длина записи"));
    header.resize(m_headerLength);
    if (!m_file->read(0, header.data(), m_headerLength))
        throw damaged(m_file->errorString());
    data = header.constData();

    m_fields.clear();
    int offset = 1;
    int at = kHeaderSize;
    for (;; at += kDescriptorSize) {
        if (at >= m_headerLength)
            throw damaged(QStringLiteral("описания полей выходят за заголовок"));
        if (data[at] == kTerminator)
            break;
        if (at + kDescriptorSize > m_headerLength)
            throw damaged(QStringLiteral("описания полей выходят за заголовок"));
        const char* descriptor = data + at;
        Field field;
        field.name = QString::fromLatin1(QByteArray(descriptor, 11).constData());
        field.type = descriptor[11];
        field.width = static_cast<unsigned char>(descriptor[16]);
        field.decimals = static_cast<unsigned char>(descriptor[17]);
        field.offset = offset;
        if (field.name.isEmpty() || field.width == 0)
            throw damaged(QStringLiteral("неверное описание поля"));
        offset += field.width;
        m_fields.push_back(field);
    }
    if (m_fields.empty() || offset != m_recordLength)
        throw damaged(QStringLiteral("длина записи не совпадает с полями"));
    m_languageId = static_cast<unsigned char>(data[29]);
    m_codePage = &codePageForLanguageId(m_languageId);
}

qint64 Table::openHeader(const std::vector<FieldRequirement>& required, bool readOnly)
{
    if (isOpen())
        close();
    const QString name = fileName(m_path);
    QString error;
    m_readOnly = readOnly;
    m_file = m_storage.open(m_path, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite, error);
    if (!m_file)
        throw Error(QStringLiteral("Не удалось открыть %1: %2").arg(name, error));
    try {
        if (!readOnly && !m_file->lock())
            throw Error(QStringLiteral("%1 уже открыт другой программой").arg(name));
        const qint64 size = m_file->size();
        readHeader(m_header, size);
        for (const FieldRequirement& need : required) {
            const int index = fieldIndex(need.name);
            if (index < 0)
                throw Error(QStringLiteral("В %1 нет поля %2").arg(name, need.name));
            const Field& field = m_fields[size_t(index)];
            if (field.type != need.type || field.width > need.maxWidth ||
                (need.type == 'N' && field.decimals != 0))
                throw Error(QStringLiteral("Поле %1 в %2 другого типа").arg(need.name, name));
        }
        return size;
    } catch (...) {
        m_file.reset();
        resetState();
        throw;
    }
}

void Table::open(const std::vector<FieldRequirement>& required, bool readOnly)
{
    const qint64 size = openHeader(required, readOnly);
    const QString name = fileName(m_path);
    try {
        const qint64 count = (size - m_headerLength) / m_recordLength;
        m_records.resize(count * m_recordLength);
        if (count > 0 && !m_file->read(m_headerLength, m_records.data(), m_records.size()))
            throw Error(
                QStringLiteral("Не удалось прочитать %1: %2").arg(name, m_file->errorString()));
        m_count = count;
        m_indexFlag = m_header[28] != 0;
        const bool countWrong = get32(m_header.constData() + 4) != quint32(count);
        const bool hadFlag = m_indexFlag;
        m_tag.reset();
        loadIndex();
        m_state = State::Browse;
        if (!readOnly && (countWrong || hadFlag != m_indexFlag))
            writeHeader(false);
    } catch (...) {
        m_file.reset();
        resetState();
        throw;
    }
    if (!m_tag || m_tag->name.compare(m_selected, Qt::CaseInsensitive) != 0)
        m_selected.clear();
    rebuildOrder(std::nullopt);
}

void Table::scan(const std::vector<FieldRequirement>& required, const std::function<void()>& opened,
                 const std::function<void(const char* record)>& record)
{
    const qint64 size = openHeader(required, true);
    const QString name = fileName(m_path);
    try {
        opened();
        const qint64 count = (size - m_headerLength) / m_recordLength;
        // A block of whole records at a time, about a mebibyte.
        const qint64 perBlock = std::max<qint64>(1, (qint64(1) << 20) / m_recordLength);
        QByteArray block;
        for (qint64 first = 0; first < count; first += perBlock) {
            const qint64 records = std::min(perBlock, count - first);
            block.resize(records * m_recordLength);
            if (!m_file->read(m_headerLength + first * m_recordLength, block.data(), block.size()))
                throw Error(
                    QStringLiteral("Не удалось прочитать %1: %2").arg(name, m_file->errorString()));
            for (qint64 i = 0; i < records; ++i) {
                const char* data = block.constData() + i * m_recordLength;
                if (data[0] != kDeleted)
                    record(data);
            }
        }
    } catch (...) {
        m_file.reset();
        resetState();
        throw;
    }
    m_file.reset();
    resetState();
}

void Table::resetState()
{
    m_state = State::Inactive;
    m_fields.clear();
    m_records.clear();
    m_header.clear();
    m_order.clear();
    m_count = 0;
    m_pos = 0;
    m_bof = m_eof = true;
    m_tag.reset();
    m_indexFlag = false;
    m_indexDirty = false;
}

void Table::loadIndex()
{
    if (!m_indexFlag)
        return;
    QString error;
    auto index = m_storage.open(indexPath(), OpenMode::ReadOnly, error);
    std::optional<MdxTag> found;
    if (index)
        found = readMdxTag(*index, QFileInfo(m_path).completeBaseName());
    const int field = found ? fieldIndex(found->expression) : -1;
    const bool fits = field >= 0 && (found->keyType == 'N'
                                         ? m_fields[size_t(field)].type == 'N'
                                         : m_fields[size_t(field)].type != 'N' &&
                                               found->keyLength == m_fields[size_t(field)].width);
    if (!fits) {
        // A missing, damaged or foreign index is not trusted: file order.
        m_indexFlag = false;
        return;
    }
    // The order comes from the records themselves, so it is true even if the file is stale.
    Tag tag;
    tag.name = found->name;
    tag.field = field;
    tag.descending = found->descending;
    sortTag(tag);
    m_tag = std::move(tag);
}

void Table::close()
{
    if (!isOpen())
        return;
    m_state = State::Browse; // an unposted edit is dropped
    if (m_readOnly) {
        m_file.reset();
        resetState();
        return;
    }
    std::exception_ptr failure;
    try {
        writeHeader(true);
        const qint64 end = m_headerLength + m_count * m_recordLength + 1;
        if (m_file->size() > end && !m_file->resize(end))
            fail(m_file->errorString());
        if (!m_file->sync())
            fail(m_file->errorString());
        if (m_indexDirty && m_tag)
            writeIndex();
    } catch (...) {
        failure = std::current_exception();
    }
    m_file.reset();
    resetState();
    if (failure)
        std::rethrow_exception(failure);
}

void Table::fail(const QString& what) const
{
    throw Error(QStringLiteral("Ошибка записи в %1: %2").arg(fileName(m_path), what));
}

void Table::writeAt(qint64 offset, const char* data, qint64 length)
{
    if (m_readOnly)
        fail(QStringLiteral("файл открыт только для чтения"));
    if (!m_file->write(offset, data, length))
        fail(m_file->errorString());
}

void Table::writeHeader(bool withDate)
{
    char* data = m_header.data();
    if (withDate)
        putDate(data + 1, today());
    put32(data + 4, quint32(m_count));
    data[28] = m_indexFlag ? 1 : 0;
    // The end mark first: it may need new room on the disk, the header never does.
    const char end = kEndOfFile;
    writeAt(m_headerLength + m_count * m_recordLength, &end, 1);
    writeAt(0, data, kHeaderSize);
}

qint64 Table::recordOffset(quint32 record) const
{
    return m_headerLength + qint64(record) * m_recordLength;
}

int Table::fieldIndex(QStringView name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int Table::requireField(QStringView name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw Error(QStringLiteral("Поле '%1' не найдено").arg(name));
    return index;
}

void Table::requireBrowse() const
{
    if (!isOpen())
        throw Error(QStringLiteral("Таблица не открыта"));
    if (m_state != State::Browse)
        throw Error(QStringLiteral("Таблица в режиме правки"));
}

void Table::requireWritable() const
{
    requireBrowse();
    if (m_readOnly)
        fail(QStringLiteral("файл открыт только для чтения"));
}

void Table::requireEditing() const
{
    if (m_state != State::Edit && m_state != State::Append)
        throw Error(QStringLiteral("Таблица не в режиме правки"));
}

void Table::requireRow() const
{
    if (m_order.empty())
        throw Error(QStringLiteral("Таблица пуста"));
}

// Moving.

void Table::first()
{
    m_pos = 0;
    m_bof = true;
    m_eof = m_order.empty();
}

void Table::last()
{
    m_pos = m_order.empty() ? 0 : qint64(m_order.size()) - 1;
    m_eof = true;
    m_bof = m_order.empty();
}

void Table::next()
{
    if (m_pos + 1 < qint64(m_order.size())) {
        ++m_pos;
        m_bof = false;
    } else {
        m_eof = true;
    }
}

void Table::prior()
{
    if (m_pos > 0 && !m_order.empty()) {
        --m_pos;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

quint32 Table::recNo() const
{
    return m_order.empty() ? 0 : m_order[size_t(m_pos)] + 1;
}

void Table::goToPosition(qint64 position)
{
    if (m_order.empty())
        return;
    m_pos = std::clamp<qint64>(position, 0, qint64(m_order.size()) - 1);
    m_bof = m_eof = false;
}

bool Table::goToRecord(quint32 recNo)
{
    const auto hit = std::find(m_order.begin(), m_order.end(), recNo - 1);
    if (hit == m_order.end())
        return false;
    goToPosition(hit - m_order.begin());
    return true;
}

void Table::refresh()
{
    requireBrowse();
    rebuildOrder(m_order.empty() ? std::nullopt : std::optional<quint32>(m_order[size_t(m_pos)]));
}

void Table::setFilter(const QString& expression)
{
    m_filter = expression;
    if (m_filtered)
        setFiltered(true);
}

void Table::setFiltered(bool on)
{
    std::optional<Condition> read;
    if (on) {
        const qsizetype equals = m_filter.indexOf(QLatin1Char('='));
        if (equals < 0)
            fail(QStringLiteral("фильтр \"%1\" не понят").arg(m_filter));
        Condition condition;
        condition.field = requireField(QStringView(m_filter).left(equals).trimmed());
        const QString value = m_filter.mid(equals + 1).trimmed();
        const Field& field = m_fields[size_t(condition.field)];
        if (field.type == 'N') {
            bool whole = false;
            condition.number = value.toInt(&whole);
            condition.matchesNothing = !whole;
        } else {
            condition.matchesNothing = !m_codePage || !m_codePage->encode(value, condition.text);
        }
        read = condition;
    }
    m_filtered = on;
    m_condition = read;
    if (isOpen())
        rebuildOrder(m_order.empty() ? std::nullopt
                                     : std::optional<quint32>(m_order[size_t(m_pos)]));
}

bool Table::passes(quint32 record) const
{
    if (deletedAt(record))
        return false;
    if (!m_condition)
        return true;
    const Condition& condition = *m_condition;
    if (condition.matchesNothing)
        return false;
    if (condition.number)
        return integerOf(record, condition.field) == condition.number;
    QByteArrayView raw = rawOf(record, condition.field);
    while (!raw.isEmpty() && raw.back() == ' ')
        raw.chop(1);
    return raw == QByteArrayView(condition.text);
}

void Table::rebuildOrder(std::optional<quint32> stayOn)
{
    m_order.clear();
    m_order.reserve(size_t(m_count));
    if (m_tag && !m_selected.isEmpty()) {
        for (quint32 record : m_tag->entries) {
            if (passes(record))
                m_order.push_back(record);
        }
    } else {
        for (quint32 record = 0; record < quint32(m_count); ++record) {
            if (passes(record))
                m_order.push_back(record);
        }
    }
    if (stayOn) {
        const auto hit = std::find(m_order.begin(), m_order.end(), *stayOn);
        if (hit != m_order.end()) {
            m_pos = hit - m_order.begin();
            m_bof = m_eof = false;
            return;
        }
    }
    first();
}

// Values.

const char* Table::recordData(quint32 record) const
{
    return m_records.constData() + qint64(record) * m_recordLength;
}

const char* Table::currentData() const
{
    if (m_state == State::Edit || m_state == State::Append)
        return m_buffer.constData();
    requireRow();
    return recordData(m_order[size_t(m_pos)]);
}

bool Table::deletedAt(quint32 record) const
{
    return recordData(record)[0] == kDeleted;
}

QByteArrayView Table::rawOf(quint32 record, int field) const
{
    const Field& f = m_fields[size_t(field)];
    return QByteArrayView(recordData(record) + f.offset, f.width);
}

namespace {

qsizetype trimmedLength(const char* data, qsizetype width)
{
    while (width > 0 && (data[width - 1] == ' ' || data[width - 1] == '\0'))
        --width;
    return width;
}

} // namespace

QString Table::textOf(quint32 record, int field) const
{
    return textIn(recordData(record), field);
}

QByteArrayView Table::cellBytes(const char* record, int field) const
{
    const Field& f = m_fields[size_t(field)];
    const char* data = record + f.offset;
    qsizetype width = f.width;
    if (f.type == 'N') // numbers stand right-aligned
        while (width > 0 && *data == ' ') {
            ++data;
            --width;
        }
    return QByteArrayView(data, trimmedLength(data, width));
}

QString Table::textIn(const char* record, int field) const
{
    const QByteArrayView bytes = cellBytes(record, field);
    return m_codePage->decode(bytes.data(), bytes.size());
}

QString Table::decode(QByteArrayView bytes) const
{
    return m_codePage->decode(bytes.data(), trimmedLength(bytes.data(), bytes.size()));
}

std::optional<int> Table::parseInteger(const char* data, int width) const
{
    const char* begin = data;
    const char* end = data + width;
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\0'))
        --end;
    if (begin == end)
        return std::nullopt;
    int value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<int> Table::integerOf(quint32 record, int field) const
{
    const QByteArrayView raw = rawOf(record, field);
    return parseInteger(raw.data(), int(raw.size()));
}

QString Table::text(QStringView name) const
{
    return textIn(currentData(), requireField(name));
}

std::optional<int> Table::integer(QStringView name) const
{
    const int index = requireField(name);
    const Field& f = m_fields[size_t(index)];
    return parseInteger(currentData() + f.offset, f.width);
}

bool Table::isNull(QStringView name) const
{
    const int index = requireField(name);
    const Field& f = m_fields[size_t(index)];
    return trimmedLength(currentData() + f.offset, f.width) == 0;
}

// Changes.

void Table::append()
{
    requireWritable();
    m_buffer = QByteArray(m_recordLength, ' ');
    m_state = State::Append;
}

void Table::edit()
{
    requireWritable();
    requireRow();
    m_editRecord = m_order[size_t(m_pos)];
    m_buffer = QByteArray(recordData(m_editRecord), m_recordLength);
    m_state = State::Edit;
}

void Table::editRecord(quint32 record)
{
    requireWritable();
    if (record >= quint32(m_count) || deletedAt(record))
        throw Error(QStringLiteral("Запись %1 не найдена").arg(record + 1));
    m_editRecord = record;
    m_buffer = QByteArray(recordData(record), m_recordLength);
    m_state = State::Edit;
}

void Table::setText(QStringView name, const QString& value)
{
    requireEditing();
    const int index = requireField(name);
    const Field& f = m_fields[size_t(index)];
    if (f.type == 'N') {
        const QString trimmed = value.trimmed();
        if (trimmed.isEmpty()) {
            setNull(name);
            return;
        }
        bool ok = false;
        const int number = trimmed.toInt(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' не является целым числом").arg(value));
        setInteger(name, number);
        return;
    }
    QByteArray bytes;
    if (!m_codePage->encode(value, bytes))
        throw Error(QStringLiteral("Текст '%1' нельзя записать в кодовой странице %2")
                        .arg(value)
                        .arg(m_codePage->number()));
    bytes = bytes.left(f.width);
    char* out = m_buffer.data() + f.offset;
    std::memset(out, ' ', size_t(f.width));
    std::memcpy(out, bytes.constData(), size_t(bytes.size()));
}

void Table::setInteger(QStringView name, int value)
{
    requireEditing();
    const int index = requireField(name);
    const Field& f = m_fields[size_t(index)];
    if (value < -32768 || value > 32767)
        throw Error(QStringLiteral("Число %1 вне диапазона -32768..32767").arg(value));
    const QByteArray digits = QByteArray::number(value);
    if (f.type != 'N' || digits.size() > f.width)
        throw Error(QStringLiteral("Число %1 не помещается в поле %2").arg(value).arg(f.name));
    char* out = m_buffer.data() + f.offset;
    std::memset(out, ' ', size_t(f.width));
    std::memcpy(out + f.width - digits.size(), digits.constData(), size_t(digits.size()));
}

void Table::setNull(QStringView name)
{
    requireEditing();
    const Field& f = m_fields[size_t(requireField(name))];
    std::memset(m_buffer.data() + f.offset, ' ', size_t(f.width));
}

void Table::cancel()
{
    if (m_state == State::Edit || m_state == State::Append)
        m_state = State::Browse;
}

void Table::post()
{
    requireEditing();
    m_buffer[0] = kLive;
    if (m_state == State::Append) {
        const quint32 record = quint32(m_count);
        // The record reaches the file before the header counts it.
        appendRecord(record);
        // From here the row is stored, header or not: an open counts rows by the file's
        // length, so the cache takes it before the header write that may still fail.
        m_records.append(m_buffer);
        ++m_count;
        m_state = State::Browse;
        const bool keyed = m_tag.has_value();
        if (keyed)
            placeInTag(record);
        if (keyed && !m_selected.isEmpty())
            rebuildOrder(record);
        else {
            m_order.push_back(record);
            m_pos = qint64(m_order.size()) - 1;
            m_bof = m_eof = false;
        }
        writeHeader(true);
        return;
    }
    const quint32 record = m_editRecord;
    writeAt(recordOffset(record), m_buffer.constData(), m_recordLength);
    const bool keyChanged =
        m_tag && rawOf(record, m_tag->field) !=
                     QByteArrayView(m_buffer.constData() + m_fields[size_t(m_tag->field)].offset,
                                    m_fields[size_t(m_tag->field)].width);
    if (keyChanged && !m_batch)
        unplaceFromTag(record);
    std::memcpy(m_records.data() + qint64(record) * m_recordLength, m_buffer.constData(),
                size_t(m_recordLength));
    m_state = State::Browse;
    if (keyChanged && m_batch) {
        m_batchMoved = true;
    } else if (keyChanged) {
        placeInTag(record);
        if (!m_selected.isEmpty())
            rebuildOrder(record);
    }
}

void Table::beginBatch()
{
    m_batch = true;
    m_batchMoved = false;
}

void Table::endBatch()
{
    m_batch = false;
    if (!m_batchMoved || !m_tag)
        return;
    m_batchMoved = false;
    sortTag(*m_tag);
    m_indexDirty = true;
    if (!m_selected.isEmpty())
        rebuildOrder(m_order.empty() ? std::nullopt
                                     : std::optional<quint32>(m_order[size_t(m_pos)]));
}

void Table::appendRecord(quint32 record)
{
    if (m_readOnly)
        fail(QStringLiteral("файл открыт только для чтения"));
    const qint64 at = recordOffset(record);
    const qint64 before = m_file->size();
    QByteArray bytes = m_buffer;
    bytes.append(kEndOfFile);
    if (m_file->write(at, bytes.constData(), bytes.size()))
        return;
    // A disk that took part of the record: cut it off again and put the end mark back, so
    // the file ends where the header says. Both only give back room the file had.
    const QString why = m_file->errorString();
    if (before >= at && m_file->resize(std::max(before, at)) && before > at)
        m_file->write(at, &kEndOfFile, 1);
    fail(why);
}

void Table::deleteRecord()
{
    requireWritable();
    requireRow();
    const quint32 record = m_order[size_t(m_pos)];
    const char flag = kDeleted;
    writeAt(recordOffset(record), &flag, 1);
    m_records[qint64(record) * m_recordLength] = kDeleted;
    m_order.erase(m_order.begin() + m_pos);
    if (m_order.empty())
        first();
    else {
        m_pos = std::min<qint64>(m_pos, qint64(m_order.size()) - 1);
        m_bof = m_eof = false;
    }
    m_indexDirty = m_tag.has_value();
}

void Table::deleteRecords(const std::vector<quint32>& records)
{
    requireWritable();
    const char flag = kDeleted;
    std::exception_ptr failure;
    try {
        for (quint32 record : records) {
            if (record >= quint32(m_count) || deletedAt(record))
                continue;
            writeAt(recordOffset(record), &flag, 1);
            m_records[qint64(record) * m_recordLength] = kDeleted;
        }
    } catch (...) {
        // The rows marked so far are marked on disk as well; the order must show that.
        failure = std::current_exception();
    }
    m_indexDirty = m_tag.has_value();
    rebuildOrder(std::nullopt);
    if (failure)
        std::rethrow_exception(failure);
}

void Table::pack()
{
    requireWritable();
    QByteArray bytes = m_header;
    bytes.reserve(m_header.size() + m_records.size() + 1);
    qint64 kept = 0;
    for (quint32 record = 0; record < quint32(m_count); ++record) {
        if (!deletedAt(record)) {
            bytes.append(recordData(record), m_recordLength);
            ++kept;
        }
    }
    putDate(bytes.data() + 1, today());
    put32(bytes.data() + 4, quint32(kept));
    bytes[28] = m_indexFlag ? 1 : 0;
    bytes.append(kEndOfFile);

    // The new file is written beside the old one and takes its place in one step, so a
    // failure leaves the old file as it was.
    const QString temporary = m_path + QStringLiteral(".pack~");
    QString error;
    if (!m_storage.writeNew(temporary, bytes, error))
        fail(error);
    m_file.reset();
    const bool replaced = m_storage.replace(temporary, m_path, error);
    if (!replaced)
        m_storage.remove(temporary);
    QString reopenError;
    m_file = m_storage.open(m_path, OpenMode::ReadWrite, reopenError);
    if (m_file && !m_file->lock())
        reopenError = m_file->errorString();
    if (!m_file || !reopenError.isEmpty()) {
        m_file.reset();
        resetState();
        throw Error(
            QStringLiteral("Не удалось снова открыть %1: %2").arg(fileName(m_path), reopenError));
    }
    if (!replaced)
        fail(error);
    m_header = bytes.left(m_headerLength);
    m_records = bytes.mid(m_headerLength, kept * m_recordLength);
    m_count = kept;
    if (m_tag)
        sortTag(*m_tag);
    m_indexDirty = m_tag.has_value();
    rebuildOrder(std::nullopt);
}

// The index.

std::optional<MdxTag> Table::tag() const
{
    if (!m_tag)
        return std::nullopt;
    const Field& field = m_fields[size_t(m_tag->field)];
    MdxTag info;
    info.name = m_tag->name.toUpper();
    info.expression = field.name.toUpper();
    info.keyType = field.type == 'N' ? 'N' : 'C';
    info.descending = m_tag->descending;
    info.keyLength = field.type == 'N' ? kNumericKeyLength : field.width;
    return info;
}

bool Table::keyLess(quint32 a, quint32 b, const Tag& tag) const
{
    const Field& f = m_fields[size_t(tag.field)];
    int order = 0;
    if (f.type == 'N') {
        const int x = integerOf(a, tag.field).value_or(0);
        const int y = integerOf(b, tag.field).value_or(0);
        order = x < y ? -1 : (x > y ? 1 : 0);
    } else {
        order = std::memcmp(recordData(a) + f.offset, recordData(b) + f.offset, size_t(f.width));
    }
    if (tag.descending)
        order = -order;
    return order != 0 ? order < 0 : a < b;
}

void Table::sortTag(Tag& tag) const
{
    tag.entries.resize(size_t(m_count));
    for (quint32 i = 0; i < quint32(m_count); ++i)
        tag.entries[i] = i;
    const Field& f = m_fields[size_t(tag.field)];
    if (f.type == 'N') {
        // Numbers are compared by value: read each once.
        std::vector<int> values(static_cast<size_t>(m_count));
        for (quint32 i = 0; i < quint32(m_count); ++i)
            values[i] = integerOf(i, tag.field).value_or(0);
        const bool descending = tag.descending;
        std::sort(tag.entries.begin(), tag.entries.end(), [&](quint32 a, quint32 b) {
            if (values[a] != values[b])
                return descending ? values[a] > values[b] : values[a] < values[b];
            return a < b;
        });
        return;
    }
    std::sort(tag.entries.begin(), tag.entries.end(),
              [this, &tag](quint32 a, quint32 b) { return keyLess(a, b, tag); });
}

void Table::placeInTag(quint32 record)
{
    auto& entries = m_tag->entries;
    const auto at = std::lower_bound(
        entries.begin(), entries.end(), record,
        [this](quint32 entry, quint32 value) { return keyLess(entry, value, *m_tag); });
    entries.insert(at, record);
    m_indexDirty = true;
}

void Table::unplaceFromTag(quint32 record)
{
    auto& entries = m_tag->entries;
    const auto at = std::find(entries.begin(), entries.end(), record);
    if (at != entries.end())
        entries.erase(at);
    m_indexDirty = true;
}

void Table::keyBytes(const Tag& tag, quint32 record, char* out) const
{
    const Field& f = m_fields[size_t(tag.field)];
    if (f.type == 'N')
        encodeNumericKey(integerOf(record, tag.field).value_or(0), out);
    else
        std::memcpy(out, recordData(record) + f.offset, size_t(f.width));
}

void Table::writeIndex()
{
    const std::optional<MdxTag> info = tag();
    const Tag& current = *m_tag;
    const QByteArray bytes = buildMdx(
        QFileInfo(m_path).completeBaseName(), *info, current.entries,
        [this, &current](quint32 record, char* out) { keyBytes(current, record, out); }, today());
    QString error;
    if (!m_storage.commit(indexPath(), bytes, error))
        fail(error);
    m_indexDirty = false;
}

void Table::addTag(const QString& name, const QString& field, bool descending)
{
    requireBrowse(); // a read-only table sorts in memory and writes nothing
    if (m_tag && m_tag->name.compare(name, Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("Индекс уже содержит тег %1").arg(m_tag->name));
    Tag tag;
    tag.name = name.toUpper();
    tag.field = requireField(field);
    tag.descending = descending;
    sortTag(tag);
    const bool selected = m_tag && !m_selected.isEmpty();
    m_tag = std::move(tag);
    if (!m_readOnly) {
        writeIndex();
        m_indexFlag = true;
        writeHeader(true);
    }
    if (selected)
        rebuildOrder(std::nullopt);
}

void Table::selectTag(const QString& name)
{
    requireBrowse();
    if (name.isEmpty()) {
        m_selected.clear();
    } else {
        if (!m_tag || m_tag->name.compare(name, Qt::CaseInsensitive) != 0)
            throw Error(QStringLiteral("Тег %1 не найден").arg(name));
        m_selected = m_tag->name;
    }
    rebuildOrder(m_order.empty() ? std::nullopt : std::optional<quint32>(m_order[size_t(m_pos)]));
}

void Table::dropTag(const QString& name)
{
    requireWritable();
    if (!m_tag || m_tag->name.compare(name, Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("Тег %1 не найден").arg(name));
    const bool wasSelected = !m_selected.isEmpty();
    m_tag.reset();
    m_selected.clear();
    m_indexDirty = false;
    m_storage.remove(indexPath());
    m_indexFlag = false;
    writeHeader(true);
    if (wasSelected)
        rebuildOrder(std::nullopt);
}

void Table::releaseTag(const QString&)
{
    // Releasing closes an index kept in a file of its own. The one tag here lives in the
    // production index, which belongs to the table and closes with it, so there is nothing
    // to release.
}

void Table::rebuildTags()
{
    requireWritable();
    if (!m_tag)
        return;
    sortTag(*m_tag);
    writeIndex();
    if (!m_selected.isEmpty())
        rebuildOrder(std::nullopt);
}

} // namespace t7::dbf
