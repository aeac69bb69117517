// Fields of the XML record classes. A record declares each field once, as a public member built
// from its element name, occurrence and default; the first use of a record class collects those
// declarations into the class's field table, which the generic reader and writer work from.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstddef>
#include <cstring>
#include <vector>

class CBaseNode;
class CRecordNode;

namespace XmlModel {

// minOccurs of a field: a missing required field fails the read, a missing optional one warns.
enum Occurs { Optional = 0, Required = 1 };

enum class FieldKind {
    Scalar,      // one element holding a value
    StringList,  // one element per entry
    DynamicList, // child records written with an "id" attribute and counted in "dyn_lists"
    FixedList,   // child records written without "id" (an embedded object is a fixed list of one)
};

struct FieldEntry;

// Value handling of one scalar type, shared by every field of that type.
struct ScalarOps {
    void (*setDefault)(void* field, const FieldEntry& entry);
    void (*fromText)(void* field, const QString& text);
    QString (*toText)(const void* field);
};

// One row of a record class's field table.
struct FieldEntry {
    FieldKind kind = FieldKind::Scalar;
    QString name;      // element name
    QString attribute; // scalars: the attribute that may carry the value instead of the element
    bool required = false;
    int minCount = 0;          // fixed lists: children created with the record
    std::ptrdiff_t offset = 0; // of the field object from the record's CBaseNode part
    const ScalarOps* ops = nullptr;
    QVariant constant;             // scalars: constant default, unless the type computes one
    CBaseNode* (*create)() = nullptr; // object lists: a new child record in its default state
    int dynamicIndex = -1;         // dynamic lists: position among the class's dynamic lists
    QString absentWarning;
    QString minOccursError;
};

// The field table and names of one record class.
struct RecordInfo {
    QString className;
    QString elementName;
    QString wrongRootPrefix;
    std::vector<FieldEntry> fields;
    QHash<QString, int> indexByName; // first field of each element name
    std::vector<int> scalarFields;
    std::vector<int> dynamicLists;
    int fieldIndex(const QString& name) const { return indexByName.value(name, -1); }
};

// Records made to be read at once skip the defaults that are computed (a new UUID, the current
// time): the read gives each field either the document's value or its default.
extern thread_local bool t_constructingForRead;
class ForReadScope
{
public:
    ForReadScope() : m_previous(t_constructingForRead) { t_constructingForRead = true; }
    ~ForReadScope() { t_constructingForRead = m_previous; }
    ForReadScope(const ForReadScope&) = delete;
    ForReadScope& operator=(const ForReadScope&) = delete;

private:
    bool m_previous;
};

namespace Registration {
// Collects the fields of the one prototype object that RecordInfo construction builds.
struct Collector {
    RecordInfo* info;
    const void* object;
};
extern thread_local Collector* t_collector;

inline bool Collects(const void* owner)
{
    return t_collector != nullptr && t_collector->object == owner;
}
void Add(const CBaseNode* owner, const void* field, FieldEntry entry);
// Builds the table of a record class by constructing one prototype of it in collecting mode.
RecordInfo Build(const char* className, const char* elementName, std::size_t size,
                 CBaseNode* (*construct)(void* storage));
} // namespace Registration

// Short texts read from one document share one copy: the values that recur from record to record
// (a locale, an operating system, the ancestry of the updates of one version). Installed for the
// walk of one parsed document; without one, nothing is shared.
class SharedTexts
{
public:
    SharedTexts();
    ~SharedTexts();
    SharedTexts(const SharedTexts&) = delete;
    SharedTexts& operator=(const SharedTexts&) = delete;

    // Replaces text by an equal one met before in the same document.
    static void Share(QString& text);
    static void Share(QByteArray& bytes);

private:
    QSet<QString> m_texts;
    QSet<QByteArray> m_bytes;
    SharedTexts* m_previous;
};

// Text conversions of the scalar types (integers that do not convert read as 0).
void ConvertText(const QString& text, QString& value);
void ConvertText(const QString& text, qint32& value);
void ConvertText(const QString& text, quint32& value);
void ConvertText(const QString& text, bool& value);
QString ValueText(const QString& value);
QString ValueText(qint32 value);
QString ValueText(quint32 value);
QString ValueText(bool value);

// A date-time as a field holds it: read as UTC text "yyyy-MM-dd hh:mm:ss" and given out as local
// time. The local time is made when first asked for, and a value that was read is written back from
// the UTC time it was read as: each conversion consults the time-zone data (a file status check).
class DateTimeValue
{
public:
    DateTimeValue() = default;
    DateTimeValue(const QDateTime& local) : m_local(local) {}
    // The local time; null when the text did not have the form.
    const QDateTime& get() const;
    void set(const QDateTime& local);
    // The whole text in the form "yyyy-MM-dd hh:mm:ss", ASCII digits only, in UTC; anything else (a
    // sign, a missing digit, a blank too many) reads as a null date-time.
    void fromText(const QString& text);
    // The UTC time in that form; empty for a null date-time.
    QString toText() const;

private:
    mutable QDateTime m_local;
    qint64 m_utcSeconds = 0;
    bool m_fromUtc = false;         // m_utcSeconds holds the value
    mutable bool m_localMade = true; // m_local holds the value
};

// How a field of type T keeps its value: as it is, or, for a date-time, as a DateTimeValue.
template <typename T>
struct Stored {
    using Type = T;
    static const T& Get(const T& value) { return value; }
    static void Set(T& value, const T& given) { value = given; }
    static void FromText(T& value, const QString& text) { ConvertText(text, value); }
    static QString ToText(const T& value) { return ValueText(value); }
};

template <>
struct Stored<QDateTime> {
    using Type = DateTimeValue;
    static const QDateTime& Get(const DateTimeValue& value) { return value.get(); }
    static void Set(DateTimeValue& value, const QDateTime& given) { value.set(given); }
    static void FromText(DateTimeValue& value, const QString& text) { value.fromText(text); }
    static QString ToText(const DateTimeValue& value) { return value.toText(); }
};

// A scalar field: `rec->F()` reads it, `rec->F.set(value)` writes it. Generate, when given,
// computes the default (Scalar<QString, &NewUuid>); otherwise a constant or T() is the default.
template <typename T, T (*Generate)() = nullptr>
class Scalar
{
public:
    template <class Owner>
    Scalar(Owner* owner, const char* name, Occurs occurs, const char* attribute = nullptr)
    {
        if (Registration::Collects(owner))
            Registration::Add(owner, this, Entry(name, occurs, QVariant(), attribute));
        else if (Generate != nullptr && !t_constructingForRead)
            Stored<T>::Set(m_value, Generate());
    }
    template <class Owner>
    Scalar(Owner* owner, const char* name, Occurs occurs, const T& constant, const char* attribute = nullptr)
        : m_value(constant)
    {
        static_assert(Generate == nullptr, "a field has either a constant or a computed default");
        if (Registration::Collects(owner))
            Registration::Add(owner, this, Entry(name, occurs, QVariant::fromValue(constant), attribute));
    }

    const T& operator()() const { return Stored<T>::Get(m_value); }
    void set(const T& value) { Stored<T>::Set(m_value, value); }

private:
    static FieldEntry Entry(const char* name, Occurs occurs, const QVariant& constant, const char* attribute)
    {
        FieldEntry entry;
        entry.kind = FieldKind::Scalar;
        entry.name = QString::fromLatin1(name);
        entry.attribute = QString::fromLatin1(attribute != nullptr ? attribute : name);
        entry.required = occurs == Required;
        entry.ops = &s_ops;
        entry.constant = constant;
        return entry;
    }
    static void SetDefault(void* field, const FieldEntry& entry)
    {
        auto& value = static_cast<Scalar*>(field)->m_value;
        if (Generate != nullptr)
            Stored<T>::Set(value, Generate());
        else if (entry.constant.isValid())
            Stored<T>::Set(value, entry.constant.value<T>());
        else
            Stored<T>::Set(value, T());
    }
    static void FromText(void* field, const QString& text) { Stored<T>::FromText(static_cast<Scalar*>(field)->m_value, text); }
    static QString ToText(const void* field) { return Stored<T>::ToText(static_cast<const Scalar*>(field)->m_value); }

    static const ScalarOps s_ops;
    typename Stored<T>::Type m_value = typename Stored<T>::Type();
};

template <typename T, T (*Generate)()>
const ScalarOps Scalar<T, Generate>::s_ops = {&Scalar::SetDefault, &Scalar::FromText, &Scalar::ToText};

// A list of texts, one element per entry: `rec->L()`, `rec->L.set(list)`, `rec->L.append(text)`.
// The entries are kept one after another in one block, each as its length and its characters:
// one byte a character while every character of the list is below U+0100 (the usual case), else
// two. A description holds thousands of such lists; as QStringLists they took half of its memory.
class StringList
{
public:
    template <class Owner>
    StringList(Owner* owner, const char* name, Occurs occurs)
    {
        if (Registration::Collects(owner))
            Registration::Add(owner, this, Entry(name, occurs));
    }

    QStringList operator()() const;
    // Whether an entry equals text, without making the list.
    bool contains(const QString& text) const;
    void set(const QStringList& list);
    void append(const QString& text);

private:
    friend class ::CRecordNode;
    static FieldEntry Entry(const char* name, Occurs occurs);
    // Calls f with each entry, in order.
    template <typename F>
    void forEach(F f) const;
    // Calls f with each entry as stored: its characters, their count, and whether they take two bytes.
    template <typename F>
    void forEachStored(F f) const;
    void clear() { m_packed.clear(); }
    // Gives back the room that appending left, and shares a short list met before.
    void settle();

    // Empty, or a kind byte (one or two bytes a character) and the entries.
    QByteArray m_packed;
};

template <typename F>
void StringList::forEachStored(F f) const
{
    if (m_packed.isEmpty())
        return;
    const char* p = m_packed.constData();
    const char* const end = p + m_packed.size();
    const bool wide = *p++ != 0;
    while (p != end) {
        quint32 length = 0;
        std::memcpy(&length, p, sizeof length);
        p += sizeof length;
        f(p, int(length), wide);
        p += wide ? length * 2 : length;
    }
}

template <typename F>
void StringList::forEach(F f) const
{
    forEachStored([&f](const char* stored, int length, bool wide) {
        if (!wide) {
            f(QString::fromLatin1(stored, length));
            return;
        }
        QString text(length, Qt::Uninitialized);
        std::memcpy(static_cast<void*>(text.data()), stored, size_t(length) * 2);
        f(text);
    });
}

// Owned child records of any class; copying copies the children deeply.
class NodeList
{
public:
    NodeList() = default;
    NodeList(const NodeList& other);
    NodeList& operator=(const NodeList& other);
    ~NodeList();

    int size() const { return m_items.size(); }
    int count() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    // Destroys the child at i, or all children.
    void removeAt(int i);
    void clear();

protected:
    friend class ::CRecordNode;
    static FieldEntry Entry(FieldKind kind, const char* name, Occurs occurs, int minCount, CBaseNode* (*create)());
    void appendNode(CBaseNode* node);
    CBaseNode* takeNode(int i);

    QList<CBaseNode*> m_items;
};

// Owned child records of class C: at(i), first(), indexOf(), append() (takes ownership),
// takeAt() (gives it back), removeAt() and clear() (destroy), and range-for over C*.
template <class C>
class ObjectList : public NodeList
{
public:
    class const_iterator
    {
    public:
        explicit const_iterator(QList<CBaseNode*>::const_iterator it) : m_it(it) {}
        C* operator*() const { return static_cast<C*>(*m_it); }
        const_iterator& operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return m_it == other.m_it; }
        bool operator!=(const const_iterator& other) const { return m_it != other.m_it; }

    private:
        QList<CBaseNode*>::const_iterator m_it;
    };

    C* at(int i) const { return static_cast<C*>(m_items.at(i)); }
    C* first() const { return static_cast<C*>(m_items.first()); }
    C* last() const { return static_cast<C*>(m_items.last()); }
    int indexOf(const C* node) const { return m_items.indexOf(const_cast<C*>(node)); }
    void append(C* node) { appendNode(node); }
    C* takeAt(int i) { return static_cast<C*>(takeNode(i)); }
    // Gives up every child, in order; the caller owns them.
    QList<C*> takeAll()
    {
        QList<C*> all;
        all.reserve(m_items.size());
        for (CBaseNode* node : qAsConst(m_items))
            all.append(static_cast<C*>(node));
        m_items.clear();
        return all;
    }
    const_iterator begin() const { return const_iterator(m_items.constBegin()); }
    const_iterator end() const { return const_iterator(m_items.constEnd()); }

protected:
    static CBaseNode* Create() { return new C; }
};

// Child records that carry an "id" and whose next free identifier is kept in "dyn_lists".
template <class C>
class DynList : public ObjectList<C>
{
public:
    template <class Owner>
    DynList(Owner* owner, const char* name, Occurs occurs)
    {
        if (Registration::Collects(owner)) {
            Registration::Add(owner, static_cast<NodeList*>(this),
                              NodeList::Entry(FieldKind::DynamicList, name, occurs, 0, &ObjectList<C>::Create));
        }
    }
};

// Child records without "id"; a new record holds `count` of them in their default state.
template <class C>
class FixedList : public ObjectList<C>
{
public:
    template <class Owner>
    FixedList(Owner* owner, const char* name, Occurs occurs, int count)
    {
        if (Registration::Collects(owner)) {
            Registration::Add(owner, static_cast<NodeList*>(this),
                              NodeList::Entry(FieldKind::FixedList, name, occurs, count, &ObjectList<C>::Create));
            return;
        }
        for (int i = 0; i < count; ++i)
            this->append(new C);
    }
};

} // namespace XmlModel
