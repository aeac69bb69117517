// Fields of the XML record classes. A record declares each field once, as a public member built
// from its element name, occurrence and default; the first use of a record class collects those
// declarations into the class's field table, which the generic reader and writer work from.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstddef>
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

// Text conversions of the scalar types (integers that do not convert read as 0).
void ConvertText(const QString& text, QString& value);
void ConvertText(const QString& text, qint32& value);
void ConvertText(const QString& text, quint32& value);
void ConvertText(const QString& text, bool& value);
void ConvertText(const QString& text, QDateTime& value);
QString ValueText(const QString& value);
QString ValueText(qint32 value);
QString ValueText(quint32 value);
QString ValueText(bool value);
QString ValueText(const QDateTime& value);

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
            m_value = Generate();
    }
    template <class Owner>
    Scalar(Owner* owner, const char* name, Occurs occurs, const T& constant, const char* attribute = nullptr)
        : m_value(constant)
    {
        static_assert(Generate == nullptr, "a field has either a constant or a computed default");
        if (Registration::Collects(owner))
            Registration::Add(owner, this, Entry(name, occurs, QVariant::fromValue(constant), attribute));
    }

    const T& operator()() const { return m_value; }
    void set(const T& value) { m_value = value; }

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
        T& value = static_cast<Scalar*>(field)->m_value;
        if (Generate != nullptr)
            value = Generate();
        else if (entry.constant.isValid())
            value = entry.constant.value<T>();
        else
            value = T();
    }
    static void FromText(void* field, const QString& text) { ConvertText(text, static_cast<Scalar*>(field)->m_value); }
    static QString ToText(const void* field) { return ValueText(static_cast<const Scalar*>(field)->m_value); }

    static const ScalarOps s_ops;
    T m_value = T();
};

template <typename T, T (*Generate)()>
const ScalarOps Scalar<T, Generate>::s_ops = {&Scalar::SetDefault, &Scalar::FromText, &Scalar::ToText};

// A list of texts, one element per entry: `rec->L()`, `rec->L.set(list)`, `rec->L.append(text)`.
class StringList
{
public:
    template <class Owner>
    StringList(Owner* owner, const char* name, Occurs occurs)
    {
        if (Registration::Collects(owner))
            Registration::Add(owner, this, Entry(name, occurs));
    }

    const QStringList& operator()() const { return m_list; }
    void set(const QStringList& list) { m_list = list; }
    void append(const QString& text) { m_list.append(text); }

private:
    friend class ::CRecordNode;
    static FieldEntry Entry(const char* name, Occurs occurs);
    QStringList m_list;
};

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
