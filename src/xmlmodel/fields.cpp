#include "xmlmodel/fields.h"

#include "platform/log.h"
#include "xmlmodel/basenode.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <new>

namespace XmlModel {

namespace {

const char kComponent[] = "KvrXmlModel";
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

void ConvertText(const QString& text, QString& value)
{
    value = text;
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

} // namespace

void ConvertText(const QString& text, QDateTime& value)
{
    // The whole text in the form "yyyy-MM-dd hh:mm:ss", in UTC; anything else (a sign, a missing
    // digit, a blank too many) reads as a null date-time. Date and time are taken apart, so that a
    // UTC time that falls into a daylight-saving gap of the local zone is still read.
    value = QDateTime();
    QDate date;
    QTime time;
    if (!ParseExactDateTime(text, date, time) || !date.isValid() || !time.isValid())
        return;
    const QDateTime utc(date, time, Qt::UTC);
    if (utc.isValid())
        value = utc.toLocalTime();
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

QString ValueText(const QDateTime& value)
{
    if (!value.isValid())
        return QString();
    return QLocale::c().toString(value.toUTC(), kDateTimeFormat);
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
