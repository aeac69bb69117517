#include "xmlmodel/recordnode.h"

#include <QDomText>
#include <QHash>
#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <climits>
#include <vector>

using XmlModel::FieldEntry;
using XmlModel::FieldKind;
using XmlModel::NodeList;
using XmlModel::RecordInfo;

namespace {

const QString kIdAttribute = QStringLiteral("id");
const QString kDynListsAttribute = QStringLiteral("dyn_lists");
const QString kNoId = QStringLiteral("-1");

// Identifiers advance by one and wrap at the top of the range instead of overflowing.
int NextId(int id)
{
    return id == INT_MAX ? INT_MIN : id + 1;
}

int IdOf(const QDomElement& element)
{
    return element.attribute(kIdAttribute, kNoId).toInt();
}

QStringList DynListPieces(const QDomElement& element)
{
    return element.attribute(kDynListsAttribute).split(QLatin1Char(' '), Qt::KeepEmptyParts);
}

// True when every node has an identifier (not -1) that no other node has.
bool HasDistinctIds(const QList<CBaseNode*>& nodes)
{
    std::vector<int> ids;
    ids.reserve(nodes.size());
    for (const CBaseNode* node : nodes)
        ids.push_back(node->getId());
    std::sort(ids.begin(), ids.end());
    return std::adjacent_find(ids.begin(), ids.end()) == ids.end()
           && !std::binary_search(ids.begin(), ids.end(), -1);
}

bool IsObjectList(FieldKind kind)
{
    return kind == FieldKind::DynamicList || kind == FieldKind::FixedList;
}

// Writes the preserved elements of a record back at their positions among the children written.
class PreservedWriter
{
public:
    PreservedWriter(XmlModel::XmlSink& sink, const QMap<qint32, QDomElement>& preserved)
        : m_sink(sink), m_preserved(preserved), m_next(preserved.constBegin())
    {
    }
    // Called before each child that the record writes.
    void beforeChild()
    {
        writeDue();
        ++m_position;
    }
    // Preserved elements that followed the last field, then any left behind a gap in the positions
    // (a list that became shorter since the read), so that none is lost.
    void finish()
    {
        writeDue();
        for (; m_next != m_preserved.constEnd(); ++m_next)
            m_sink.copyElement(m_next.value());
    }

private:
    void writeDue()
    {
        while (m_next != m_preserved.constEnd() && m_next.key() < m_position)
            ++m_next;
        while (m_next != m_preserved.constEnd() && m_next.key() == m_position) {
            m_sink.copyElement(m_next.value());
            ++m_next;
            ++m_position;
        }
    }

    XmlModel::XmlSink& m_sink;
    const QMap<qint32, QDomElement>& m_preserved;
    QMap<qint32, QDomElement>::const_iterator m_next;
    int m_position = 0;
};

// The identifiers that the children of a dynamic list are written with: their own, except where
// missing (-1) or given to an earlier child, which take the list's next free identifier. next is
// raised above every identifier of the list.
std::vector<int> WrittenIds(const QList<CBaseNode*>& children, int& next)
{
    int highest = INT_MIN;
    for (const CBaseNode* child : children)
        highest = qMax(highest, child->getId());
    if (!children.isEmpty() && highest != INT_MAX)
        next = qMax(next, highest + 1);
    std::vector<int> ids;
    ids.reserve(size_t(children.size()));
    for (const CBaseNode* child : children)
        ids.push_back(child->getId());
    if (HasDistinctIds(children))
        return ids; // the usual case: no set of given identifiers is needed
    QSet<int> given;
    for (int& id : ids) {
        while (id == -1 || given.contains(id)) {
            id = next;
            next = NextId(next);
        }
        given.insert(id);
    }
    return ids;
}

// The element a record reads: an element whose only child is an element of the expected name
// stands for that child.
QDomElement Unwrap(QDomElement element, const QString& tag)
{
    for (;;) {
        const QDomNode only = element.firstChild();
        if (only.isNull() || only != element.lastChild() || !only.isElement() || element.firstChildElement(tag).isNull())
            return element;
        element = only.toElement();
    }
}

// The whole text of a string-list entry; a single text node's string is shared, not copied.
QString EntryText(const QDomElement& element)
{
    const QDomNode first = element.firstChild();
    if (!first.isNull() && first == element.lastChild() && first.isText())
        return first.nodeValue();
    return element.text();
}

} // namespace

// What readXml keeps while it walks the children of an element.
struct CRecordNode::ReadState {
    ReadState(const RecordInfo& recordInfo, bool uniting)
        : info(recordInfo), unite(uniting), fieldCount(int(recordInfo.fields.size()))
    {
    }
    const RecordInfo& info;
    const bool unite;
    const int fieldCount;
    // Merging: the text of each child held before the read, by list and identifier.
    QVarLengthArray<QHash<int, QString>, 4> remembered;
    // Occurrences: a field occurred once its counter fell below its start.
    QVarLengthArray<int, 32> start;
    QVarLengthArray<int, 32> counter;
    // Scalars whose attribute the record's own element carries.
    QVarLengthArray<bool, 32> ownAttribute;
    bool anyOwnAttribute = false;
    int position = 0;                // of the current child among the element's child elements
    bool matchTookAttribute = false; // the current child's own field took an attribute instead
};

void* CRecordNode::fieldAt(const FieldEntry& entry)
{
    return reinterpret_cast<char*>(static_cast<CBaseNode*>(this)) + entry.offset;
}

const void* CRecordNode::fieldAt(const FieldEntry& entry) const
{
    return reinterpret_cast<const char*>(static_cast<const CBaseNode*>(this)) + entry.offset;
}

NodeList& CRecordNode::listAt(const FieldEntry& entry)
{
    return *static_cast<NodeList*>(fieldAt(entry));
}

const NodeList& CRecordNode::listAt(const FieldEntry& entry) const
{
    return *static_cast<const NodeList*>(fieldAt(entry));
}

QDomElement CRecordNode::getXml(QDomDocument& document, bool noIds) const
{
    XmlModel::XmlDomSink sink(document);
    writeXml(sink, {}, noIds);
    return sink.root();
}

void CRecordNode::writeXml(XmlModel::XmlSink& sink, const XmlModel::XmlSink::Attributes& attributes, bool noIds) const
{
    const RecordInfo& info = recordInfo();
    // The identifiers of the dynamic lists' children are settled first: dyn_lists, written before
    // the children, names each list's next free identifier after them.
    QVarLengthArray<std::vector<int>, 4> ids(int(info.dynamicLists.size()));
    QStringList dynLists;
    for (const FieldEntry& entry : info.fields) {
        if (entry.kind == FieldKind::StringList) {
            dynLists << entry.name;
        } else if (entry.kind == FieldKind::DynamicList) {
            int next = m_mapMaxDynListIds.value(entry.name, 0);
            ids[entry.dynamicIndex] = WrittenIds(listAt(entry).m_items, next);
            m_mapMaxDynListIds.insert(entry.name, next);
            dynLists << entry.name << QString::number(next);
        }
    }
    XmlModel::XmlSink::Attributes all = attributes;
    all.append({kDynListsAttribute, dynLists.join(QLatin1Char(' '))});
    sink.startElement(m_qsExtTagName.isEmpty() ? info.elementName : m_qsExtTagName, all);

    PreservedWriter preserved(sink, m_mapPreservedElements);
    for (const FieldEntry& entry : info.fields) {
        switch (entry.kind) {
        case FieldKind::Scalar:
            preserved.beforeChild();
            sink.textElement(entry.name, entry.ops->toText(fieldAt(entry)));
            break;
        case FieldKind::StringList:
            for (const QString& text : static_cast<const XmlModel::StringList*>(fieldAt(entry))->m_list) {
                preserved.beforeChild();
                sink.textElement(entry.name, text);
            }
            break;
        case FieldKind::DynamicList: {
            const NodeList& list = listAt(entry);
            for (int i = 0; i < list.size(); ++i) {
                preserved.beforeChild();
                list.m_items.at(i)->writeXml(sink, {{kIdAttribute, QString::number(ids[entry.dynamicIndex][size_t(i)])}},
                                             noIds);
            }
            break;
        }
        case FieldKind::FixedList:
            for (const CBaseNode* child : listAt(entry).m_items) {
                preserved.beforeChild();
                child->writeXml(sink, {}, noIds);
            }
            break;
        }
    }
    preserved.finish();
    sink.endElement();
}

void CRecordNode::restoreDynListIds(const QStringList& pieces, bool unite)
{
    // Only the entries of this class's dynamic lists are ever used, so only those are kept.
    const RecordInfo& info = recordInfo();
    if (!unite)
        m_mapMaxDynListIds.clear();
    if (info.dynamicLists.empty())
        return;
    const FieldEntry* list = nullptr;
    for (const QString& piece : pieces) {
        if (!piece.isEmpty() && piece.at(0).isLetter()) {
            const int index = info.fieldIndex(piece);
            list = index >= 0 && info.fields[index].kind == FieldKind::DynamicList ? &info.fields[index] : nullptr;
            if (list != nullptr)
                m_mapMaxDynListIds.insert(list->name, 0);
            continue;
        }
        if (list != nullptr && !piece.isEmpty() && piece.at(0).isDigit())
            m_mapMaxDynListIds.insert(list->name, piece.toInt());
        list = nullptr;
    }
}

void CRecordNode::raiseNextIds(const QDomElement& element, ReadState& state)
{
    // Next identifier of each dynamic list: above every id of the element's entries and, when
    // merging, above the entries held now, whose contents are remembered by id.
    const RecordInfo& info = state.info;
    const int dynamicCount = int(info.dynamicLists.size());
    if (dynamicCount == 0)
        return;
    QVarLengthArray<int, 4> highest(dynamicCount);
    state.remembered.resize(state.unite ? dynamicCount : 0);
    for (int d = 0; d < dynamicCount; ++d) {
        highest[d] = -1;
        if (state.unite) {
            for (const CBaseNode* child : listAt(info.fields[info.dynamicLists[d]]).m_items) {
                highest[d] = qMax(highest[d], child->m_nId);
                state.remembered[d].insert(child->m_nId, child->toXmlString(false, false));
            }
        }
    }
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const int index = info.fieldIndex(child.tagName());
        if (index >= 0 && info.fields[index].kind == FieldKind::DynamicList) {
            int& top = highest[info.fields[index].dynamicIndex];
            top = qMax(top, IdOf(child));
        }
    }
    for (int d = 0; d < dynamicCount; ++d) {
        const QString& name = info.fields[info.dynamicLists[d]].name;
        const int current = m_mapMaxDynListIds.value(name, 0);
        m_mapMaxDynListIds.insert(name, highest[d] == INT_MAX ? current : qMax(current, highest[d] + 1));
    }
}

void CRecordNode::prepareFields(const QDomElement& element, const QStringList& pieces, bool unite)
{
    resetLists(unite, pieces, element.hasAttribute(kDynListsAttribute));
    if (unite) {
        setDefaults(element);
    } else {
        // Scalars take their defaults after the walk, and only those the element lacks: a default
        // computed first (a new UUID, the current time) would mostly be overwritten.
        for (const FieldEntry& entry : recordInfo().fields) {
            if (entry.kind == FieldKind::StringList)
                static_cast<XmlModel::StringList*>(fieldAt(entry))->m_list.clear();
        }
    }
    dropPreservedElements();
}

void CRecordNode::claimAttributes(const QDomElement& element, const QDomElement& child, int match, ReadState& state)
{
    // A scalar that has not occurred yet (its counter exactly 0) may take its value from an
    // attribute named as its element: on the record's own element first, else on the child.
    state.matchTookAttribute = false;
    if (!state.anyOwnAttribute && !child.hasAttributes())
        return;
    for (int i : state.info.scalarFields) {
        if (state.counter[i] != 0)
            continue;
        const FieldEntry& entry = state.info.fields[i];
        if (state.ownAttribute[i])
            entry.ops->fromText(fieldAt(entry), element.attribute(entry.attribute));
        else if (child.hasAttribute(entry.attribute))
            entry.ops->fromText(fieldAt(entry), child.attribute(entry.attribute));
        else
            continue;
        --state.counter[i];
        state.matchTookAttribute = state.matchTookAttribute || i == match;
    }
}

int CRecordNode::readChild(const QDomElement& child, int match, ReadState& state)
{
    if (match < 0) {
        preserveElement(state.position, child);
        return 0;
    }
    const FieldEntry& entry = state.info.fields[match];
    switch (entry.kind) {
    case FieldKind::Scalar:
        // The element belongs to the field even when the field took an attribute instead.
        if (!state.matchTookAttribute) {
            entry.ops->fromText(fieldAt(entry), child.firstChild().toText().data());
            --state.counter[match];
        }
        return 0;
    case FieldKind::StringList:
        static_cast<XmlModel::StringList*>(fieldAt(entry))->m_list.append(EntryText(child));
        --state.counter[match];
        return 0;
    case FieldKind::DynamicList:
        return readDynamicEntry(match, child, state);
    case FieldKind::FixedList:
        return readFixedEntry(match, child, state);
    }
    return 0;
}

int CRecordNode::adoptChildFailure(CBaseNode* child)
{
    m_qsErrorMessage = child->m_qsErrorMessage;
    return RC_XML_READ_FAILED;
}

int CRecordNode::readDynamicEntry(int field, const QDomElement& child, ReadState& state)
{
    const FieldEntry& entry = state.info.fields[field];
    int id = IdOf(child);
    if (id == -1) {
        int& next = m_mapMaxDynListIds[entry.name];
        id = next;
        next = NextId(next);
    }
    CBaseNode* node = nullptr;
    if (state.unite) {
        node = entry.create();
    } else {
        const XmlModel::ForReadScope forRead; // the read below gives every field its value
        node = entry.create();
    }
    node->m_nId = id;
    if (state.unite) {
        const auto old = state.remembered[entry.dynamicIndex].constFind(id);
        if (old != state.remembered[entry.dynamicIndex].constEnd())
            node->fromXmlString(old.value());
    }
    if (node->readXml(child, QString(), state.unite) < 0) {
        const int result = adoptChildFailure(node);
        delete node;
        return result;
    }
    listAt(entry).appendNode(node);
    m_lstWarnings.append(node->m_lstWarnings);
    --state.counter[field];
    return 0;
}

int CRecordNode::readFixedEntry(int field, const QDomElement& child, ReadState& state)
{
    const FieldEntry& entry = state.info.fields[field];
    if (state.counter[field] < 1) {
        preserveElement(state.position, child);
        return 0;
    }
    NodeList& list = listAt(entry);
    const int index = entry.minCount - state.counter[field];
    while (list.size() <= index)
        list.appendNode(entry.create());
    CBaseNode* node = list.m_items.at(index);
    if (node->readXml(child, QString(), state.unite) < 0)
        return adoptChildFailure(node);
    node->m_bDefaulted = false;
    m_lstWarnings.append(node->m_lstWarnings);
    --state.counter[field];
    return 0;
}

int CRecordNode::checkOccurrences(const ReadState& state)
{
    // Object lists first, then the other fields, each in class order.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < state.fieldCount; ++i) {
            const FieldEntry& entry = state.info.fields[i];
            if (IsObjectList(entry.kind) != (pass == 0) || state.counter[i] < state.start[i])
                continue;
            if (entry.required) {
                m_qsErrorMessage = entry.minOccursError;
                return RC_XML_READ_FAILED;
            }
            m_lstWarnings.append(entry.absentWarning);
        }
    }
    return 0;
}

int CRecordNode::readXml(const QDomElement& elementIn, const QString& extTagName, bool unite)
{
    const RecordInfo& info = recordInfo();
    const QString& tag = extTagName.isEmpty() ? info.elementName : extTagName;
    m_qsErrorMessage.clear();
    m_lstWarnings.clear();
    const QDomElement element = Unwrap(elementIn, tag);
    if (element.tagName() != tag) {
        m_qsErrorMessage = info.wrongRootPrefix + element.tagName() + QLatin1Char('\'');
        return RC_XML_READ_FAILED;
    }

    ReadState state(info, unite);
    const QStringList pieces = DynListPieces(element);
    restoreDynListIds(pieces, unite);
    raiseNextIds(element, state);
    prepareFields(element, pieces, unite);

    state.start.resize(state.fieldCount);
    state.counter.resize(state.fieldCount);
    state.ownAttribute.resize(state.fieldCount);
    for (int i = 0; i < state.fieldCount; ++i) {
        const FieldEntry& entry = info.fields[i];
        state.start[i] = entry.kind == FieldKind::FixedList ? entry.minCount : (entry.required ? 1 : 0);
        state.counter[i] = state.start[i];
        state.ownAttribute[i] = false;
    }
    for (int i : info.scalarFields) {
        state.ownAttribute[i] = element.hasAttribute(info.fields[i].attribute);
        state.anyOwnAttribute = state.anyOwnAttribute || state.ownAttribute[i];
    }

    int result = 0;
    for (QDomElement child = element.firstChildElement(); result == 0 && !child.isNull();
         child = child.nextSiblingElement(), ++state.position) {
        const int match = info.fieldIndex(child.tagName());
        claimAttributes(element, child, match, state);
        result = readChild(child, match, state);
    }
    if (result == 0)
        result = checkOccurrences(state);
    if (!unite) {
        for (int i : info.scalarFields) {
            if (state.counter[i] == state.start[i])
                info.fields[i].ops->setDefault(fieldAt(info.fields[i]), info.fields[i]);
        }
    }
    return result;
}

void CRecordNode::recurseChildren()
{
    for (const FieldEntry& entry : recordInfo().fields) {
        if (entry.kind == FieldKind::FixedList) {
            for (CBaseNode* child : listAt(entry).m_items)
                child->recurseChildren();
        }
    }
}

void CRecordNode::setDefaults(const QDomElement& element)
{
    const bool all = element.isNull();
    const QStringList pieces = all ? QStringList() : DynListPieces(element);
    for (const FieldEntry& entry : recordInfo().fields) {
        if (entry.kind == FieldKind::Scalar) {
            if (all || !element.firstChildElement(entry.name).isNull())
                entry.ops->setDefault(fieldAt(entry), entry);
        } else if (entry.kind == FieldKind::StringList) {
            if (all || pieces.contains(entry.name))
                static_cast<XmlModel::StringList*>(fieldAt(entry))->m_list.clear();
        }
    }
}

void CRecordNode::initLists()
{
    for (const FieldEntry& entry : recordInfo().fields) {
        if (entry.kind == FieldKind::FixedList) {
            NodeList& list = listAt(entry);
            while (list.size() < entry.minCount)
                list.appendNode(entry.create());
        }
    }
    initListsHook();
}

void CRecordNode::clearLists()
{
    for (const FieldEntry& entry : recordInfo().fields) {
        if (IsObjectList(entry.kind))
            listAt(entry).clear();
    }
}

void CRecordNode::resetLists(bool unite, const QStringList& dynListNames, bool hasDynLists)
{
    for (const FieldEntry& entry : recordInfo().fields) {
        if (entry.kind == FieldKind::DynamicList) {
            if (!(unite && hasDynLists && !dynListNames.contains(entry.name)))
                listAt(entry).clear();
        } else if (entry.kind == FieldKind::FixedList && !unite) {
            for (CBaseNode* child : listAt(entry).m_items) {
                child->resetLists(false, QStringList(), true);
                child->setDefaults(QDomElement());
                child->m_bDefaulted = true;
            }
        }
    }
}
