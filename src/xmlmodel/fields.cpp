#include "xmlmodel/fields.h"

#include "platform/log.h"
#include "xmlmodel/basenode.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <cstring>
#include <new>

namespace XmlModel {

namespace {

const char kComponent[] = "KvrXmlModel";
const qint64 kUnixEpochDay = 2440588; // Julian day of 1970-01-01
const qint64 kSecondsPerDay = 86400;
const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QString Message(const char* pattern, const QString& className, const QString& tag)
{
    return QString::fromLatin1(pattern).arg(className, tag);
}

} // namespace

thread_local bool t_constructingForRead = false;

namespace Registration {

thread_local Collector* t_collector = nullptr;

void Add(const CBaseNode* owner, const void* field, FieldEntry entry)
{
    RecordInfo* info = t_collector->info;
    entry.offset = static_cast<const char*>(field) - reinterpret_cast<const char*>(owner);
    const int index = int(info->fields.size());
    if (!info->indexByName.contains(entry.name))
        info->indexByName.insert(entry.name, index);
    if (entry.kind == FieldKind::Scalar)
        info->scalarFields.push_back(index);
    if (entry.kind == FieldKind::DynamicList) {
        entry.dynamicIndex = int(info->dynamicLists.size());
        info->dynamicLists.push_back(index);
    }
    entry.absentWarning = Message("Warning in class '%1': tag '%2' is absent", info->className, entry.name);
    entry.minOccursError =
        Message("Error in class '%1': tag '%2' does not satisfy 'minOccurs = 1' condition", info->className, entry.name);
    info->fields.push_back(std::move(entry));
}

RecordInfo Build(const char* className, const char* elementName, std::size_t size,
                 CBaseNode* (*construct)(void* storage))
{
    RecordInfo info;
    info.className = QString::fromLatin1(className);
    info.elementName = QString::fromLatin1(elementName);
    info.wrongRootPrefix = QStringLiteral("Error in class '%1': wrong root element with tag name '").arg(info.className);

    void* storage = ::operator new(size);
    Collector collector{&info, storage};
    Collector* const previous = t_collector;
    t_collector = &collector;
    CBaseNode* prototype = construct(storage);
    t_collector = previous;
    delete prototype;
    KVR_ASSERT(kComponent, !info.fields.empty());
    return info;
}

} // namespace Registration

namespace {

// Longer texts seldom recur; looking them up would cost more than it saves.
const int kMaxSharedCharacters = 32;
const int kMaxSharedBytes = 128;
thread_local SharedTexts* t_sharedTexts = nullptr;

} // namespace

SharedTexts::SharedTexts() : m_previous(t_sharedTexts)
{
    t_sharedTexts = this;
}

SharedTexts::~SharedTexts()
{
    t_sharedTexts = m_previous;
}

namespace {

// Replaces value by an equal one of the set, or adds it there.
template <typename T>
void ShareIn(QSet<T>& all, T& value)
{
    const auto found = all.constFind(value);
    if (found != all.constEnd())
        value = *found;
    else
        all.insert(value);
}

} // namespace

void SharedTexts::Share(QString& text)
{
    if (t_sharedTexts != nullptr && text.size() <= kMaxSharedCharacters)
        ShareIn(t_sharedTexts->m_texts, text);
}

void SharedTexts::Share(QByteArray& bytes)
{
    if (t_sharedTexts != nullptr && bytes.size() <= kMaxSharedBytes)
        ShareIn(t_sharedTexts->m_bytes, bytes);
}

void ConvertText(const QString& text, QString& value)
{
    // The parser leaves room behind many texts; a value kept for long gives it back.
    value = text;
    if (value.capacity() > value.size())
        value.squeeze();
    SharedTexts::Share(value);
}

void ConvertText(const QString& text, qint32& value)
{
    // Read as 64 bits and kept in 32.
    value = qint32(quint32(quint64(text.toLongLong(nullptr, 10))));
}

void ConvertText(const QString& text, quint32& value)
{
    value = text.toUInt(nullptr, 10);
}

void ConvertText(const QString& text, bool& value)
{
    value = text.toLongLong(nullptr, 10) != 0;
}

namespace {

// Value of the two-digit or four-digit ASCII number at text[from, from + length), or -1.
int Digits(const QString& text, int from, int length)
{
    int value = 0;
    for (int i = from; i < from + length; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The form "dddd-dd-dd dd:dd:dd" with ASCII digits; Qt's format parser would also take signs.
bool ParseExactDateTime(const QString& text, QDate& date, QTime& time)
{
    if (text.size() != 19 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-')
        || text.at(10) != QLatin1Char(' ') || text.at(13) != QLatin1Char(':') || text.at(16) != QLatin1Char(':'))
        return false;
    const int year = Digits(text, 0, 4);
    const int month = Digits(text, 5, 2);
    const int day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2);
    const int minute = Digits(text, 14, 2);
    const int second = Digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return false;
    date = QDate(year, month, day);
    time = QTime(hour, minute, second);
    return true;
}

// Writes value as count decimal digits, with leading zeros.
void PutDigits(char* out, int count, int value)
{
    for (int i = count - 1; i >= 0; --i, value /= 10)
        out[i] = char('0' + value % 10);
}

} // namespace

const QDateTime& DateTimeValue::get() const
{
    if (!m_localMade) {
        m_local = QDateTime::fromMSecsSinceEpoch(m_utcSeconds * 1000, Qt::LocalTime);
        m_localMade = true;
    }
    return m_local;
}

void DateTimeValue::set(const QDateTime& local)
{
    m_local = local;
    m_localMade = true;
    m_fromUtc = false;
}

void DateTimeValue::fromText(const QString& text)
{
    // Date and time are taken apart, so that a UTC time that falls into a daylight-saving gap of
    // the local zone is still read.
    set(QDateTime());
    QDate date;
    QTime time;
    if (!ParseExactDateTime(text, date, time) || !date.isValid() || !time.isValid())
        return;
    m_utcSeconds = (date.toJulianDay() - kUnixEpochDay) * kSecondsPerDay + time.msecsSinceStartOfDay() / 1000;
    m_fromUtc = true;
    m_localMade = false;
}

QString DateTimeValue::toText() const
{
    if (!m_fromUtc) {
        if (!m_local.isValid())
            return QString();
        return QLocale::c().toString(m_local.toUTC(), kDateTimeFormat);
    }
    // Read from four-digit years, so the text has the same form again.
    const qint64 day = m_utcSeconds >= 0 ? m_utcSeconds / kSecondsPerDay : -((-m_utcSeconds - 1) / kSecondsPerDay) - 1;
    const int second = int(m_utcSeconds - day * kSecondsPerDay);
    int year = 0;
    int month = 0;
    int dayOfMonth = 0;
    QDate::fromJulianDay(day + kUnixEpochDay).getDate(&year, &month, &dayOfMonth);
    char text[] = "yyyy-MM-dd hh:mm:ss";
    PutDigits(text, 4, year);
    PutDigits(text + 5, 2, month);
    PutDigits(text + 8, 2, dayOfMonth);
    PutDigits(text + 11, 2, second / 3600);
    PutDigits(text + 14, 2, second / 60 % 60);
    PutDigits(text + 17, 2, second % 60);
    return QString::fromLatin1(text, 19);
}

QString ValueText(const QString& value)
{
    return value;
}

QString ValueText(qint32 value)
{
    return QString::number(value);
}

QString ValueText(quint32 value)
{
    return QString::number(value);
}

QString ValueText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

namespace {

void AppendLength(QByteArray& packed, int length)
{
    const quint32 value = quint32(length);
    packed.append(reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace

QStringList StringList::operator()() const
{
    QStringList list;
    forEach([&list](const QString& text) { list.append(text); });
    return list;
}

bool StringList::contains(const QString& text) const
{
    bool found = false;
    forEachStored([&](const char* stored, int length, bool wide) {
        if (!found && length == text.size())
            found = wide ? std::memcmp(stored, text.constData(), size_t(length) * 2) == 0
                         : text == QLatin1String(stored, length);
    });
    return found;
}

void StringList::set(const QStringList& list)
{
    m_packed.clear();
    for (const QString& text : list)
        append(text);
    m_packed.squeeze();
}

void StringList::settle()
{
    m_packed.squeeze();
    SharedTexts::Share(m_packed);
}

void StringList::append(const QString& text)
{
    if (m_packed.isEmpty())
        m_packed.append(char(0));
    const int size = text.size();
    if (m_packed.at(0) == 0) {
        // Copied a byte a character, and taken back when one of them needs two.
        const int at = m_packed.size();
        m_packed.resize(at + int(sizeof(quint32)) + size);
        char* out = m_packed.data() + at;
        const quint32 length = quint32(size);
        std::memcpy(out, &length, sizeof length);
        out += sizeof length;
        const ushort* in = text.utf16();
        ushort high = 0;
        for (int i = 0; i < size; ++i) {
            high |= in[i];
            out[i] = char(in[i]);
        }
        if (high < 0x100)
            return;
        m_packed.truncate(at);
        // The first character that needs two bytes: the list is kept with two from now on.
        const QStringList entries = (*this)();
        m_packed = QByteArray(1, char(1));
        for (const QString& entry : entries)
            append(entry);
    }
    AppendLength(m_packed, size);
    m_packed.append(reinterpret_cast<const char*>(text.constData()), size * 2);
}

FieldEntry StringList::Entry(const char* name, Occurs occurs)
{
    FieldEntry entry;
    entry.kind = FieldKind::StringList;
    entry.name = QString::fromLatin1(name);
    entry.required = occurs == Required;
    return entry;
}

FieldEntry NodeList::Entry(FieldKind kind, const char* name, Occurs occurs, int minCount, CBaseNode* (*create)())
{
    FieldEntry entry;
    entry.kind = kind;
    entry.name = QString::fromLatin1(name);
    entry.required = occurs == Required;
    entry.minCount = minCount;
    entry.create = create;
    return entry;
}

NodeList::NodeList(const NodeList& other)
{
    m_items.reserve(other.m_items.size());
    for (const CBaseNode* node : other.m_items)
        m_items.append(node->clone());
}

NodeList& NodeList::operator=(const NodeList& other)
{
    if (this == &other)
        return *this;
    // Copies are made before the old children go, so a source inside them stays valid meanwhile.
    QList<CBaseNode*> copies;
    copies.reserve(other.m_items.size());
    for (const CBaseNode* node : other.m_items)
        copies.append(node->clone());
    clear();
    m_items = copies;
    return *this;
}

NodeList::~NodeList()
{
    clear();
}

void NodeList::removeAt(int i)
{
    delete m_items.takeAt(i);
}

void NodeList::clear()
{
    const QList<CBaseNode*> items = m_items;
    m_items.clear();
    qDeleteAll(items);
}

void NodeList::appendNode(CBaseNode* node)
{
    KVR_ASSERT(kComponent, node != nullptr);
    if (node != nullptr)
        m_items.append(node);
}

CBaseNode* NodeList::takeNode(int i)
{
    return m_items.takeAt(i);
}

} // namespace XmlModel
