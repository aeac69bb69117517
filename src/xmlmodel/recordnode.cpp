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

// Writes the children of an element with the preserved elements back at their positions.
class ChildWriter
{
public:
    ChildWriter(QDomDocument& document, QDomElement& element, const QMap<qint32, QDomElement>& preserved)
        : m_document(document), m_element(element), m_preserved(preserved), m_next(preserved.constBegin())
    {
    }
    void append(const QDomNode& child)
    {
        appendPreserved();
        m_element.appendChild(child);
        ++m_position;
    }
    // Preserved elements that followed the last field, then any left behind a gap in the positions
    // (a list that became shorter since the read), so that none is lost.
    void finish()
    {
        appendPreserved();
        for (; m_next != m_preserved.constEnd(); ++m_next)
            m_element.appendChild(m_document.importNode(m_next.value(), true));
    }

private:
    void appendPreserved()
    {
        while (m_next != m_preserved.constEnd() && m_next.key() < m_position)
            ++m_next;
        while (m_next != m_preserved.constEnd() && m_next.key() == m_position) {
            m_element.appendChild(m_document.importNode(m_next.value(), true));
            ++m_next;
            ++m_position;
        }
    }

    QDomDocument& m_document;
    QDomElement& m_element;
    const QMap<qint32, QDomElement>& m_preserved;
    QMap<qint32, QDomElement>::const_iterator m_next;
    int m_position = 0;
};

} // namespace

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
    const RecordInfo& info = recordInfo();
    QDomElement element = document.createElement(m_qsExtTagName.isEmpty() ? info.elementName : m_qsExtTagName);
    ChildWriter writer(document, element, m_mapPreservedElements);
    QStringList dynLists;

    for (const FieldEntry& entry : info.fields) {
        switch (entry.kind) {
        case FieldKind::Scalar: {
            QDomElement child = document.createElement(entry.name);
            child.appendChild(document.createTextNode(entry.ops->toText(fieldAt(entry))));
            writer.append(child);
            break;
        }
        case FieldKind::StringList:
            for (const QString& text : static_cast<const XmlModel::StringList*>(fieldAt(entry))->m_list) {
                QDomElement child = document.createElement(entry.name);
                child.appendChild(document.createTextNode(text));
                writer.append(child);
            }
            dynLists << entry.name;
            break;
        case FieldKind::DynamicList: {
            const NodeList& list = listAt(entry);
            int highest = INT_MIN;
            for (const CBaseNode* child : list.m_items)
                highest = qMax(highest, child->m_nId);
            int next = m_mapMaxDynListIds.value(entry.name, 0);
            if (!list.isEmpty() && highest != INT_MAX)
                next = qMax(next, highest + 1);
            // An identifier that is missing or was given to an earlier child gets the next free one.
            // Usually every child has its own: then no set of given identifiers is needed.
            const bool distinct = HasDistinctIds(list.m_items);
            QSet<int> given;
            for (const CBaseNode* child : list.m_items) {
                int id = child->m_nId;
                if (!distinct) {
                    while (id == -1 || given.contains(id)) {
                        id = next;
                        next = NextId(next);
                    }
                    given.insert(id);
                }
                QDomElement childElement = child->getXml(document, noIds);
                childElement.setAttribute(kIdAttribute, QString::number(id));
                writer.append(childElement);
            }
            m_mapMaxDynListIds.insert(entry.name, next);
            dynLists << entry.name << QString::number(next);
            break;
        }
        case FieldKind::FixedList:
            for (const CBaseNode* child : listAt(entry).m_items)
                writer.append(child->getXml(document, noIds));
            break;
        }
    }
    writer.finish();
    element.setAttribute(kDynListsAttribute, dynLists.join(QLatin1Char(' ')));
    return element;
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

int CRecordNode::readXml(const QDomElement& elementIn, const QString& extTagName, bool unite)
{
    const RecordInfo& info = recordInfo();
    const QString& tag = extTagName.isEmpty() ? info.elementName : extTagName;
    m_qsErrorMessage.clear();
    m_lstWarnings.clear();

    // An element whose only child is an element of the expected name is read from that child.
    QDomElement element = elementIn;
    for (;;) {
        const QDomNode only = element.firstChild();
        if (only.isNull() || only != element.lastChild() || !only.isElement() || element.firstChildElement(tag).isNull())
            break;
        element = only.toElement();
    }
    if (element.tagName() != tag) {
        m_qsErrorMessage = info.wrongRootPrefix + element.tagName() + QLatin1Char('\'');
        return RC_XML_READ_FAILED;
    }

    const bool hasDynLists = element.hasAttribute(kDynListsAttribute);
    const QStringList pieces = DynListPieces(element);
    restoreDynListIds(pieces, unite);

    // Next identifier of each dynamic list: above every id of the element's entries and, when
    // merging, above the entries held now, whose contents are remembered by id.
    const int dynamicCount = int(info.dynamicLists.size());
    QVarLengthArray<int, 4> highest(dynamicCount);
    QVarLengthArray<QHash<int, QString>, 4> remembered(unite ? dynamicCount : 0);
    for (int d = 0; d < dynamicCount; ++d) {
        highest[d] = -1;
        if (unite) {
            for (const CBaseNode* child : listAt(info.fields[info.dynamicLists[d]]).m_items) {
                highest[d] = qMax(highest[d], child->m_nId);
                remembered[d].insert(child->m_nId, child->toXmlString(false, false));
            }
        }
    }
    if (dynamicCount > 0) {
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

    resetLists(unite, pieces, hasDynLists);
    setDefaults(unite ? element : QDomElement());
    dropPreservedElements();

    // Occurrence counters: a field occurred once its counter fell below its start.
    const int fieldCount = int(info.fields.size());
    QVarLengthArray<int, 32> start(fieldCount);
    QVarLengthArray<int, 32> counter(fieldCount);
    for (int i = 0; i < fieldCount; ++i) {
        const FieldEntry& entry = info.fields[i];
        start[i] = entry.kind == FieldKind::FixedList ? entry.minCount : (entry.required ? 1 : 0);
        counter[i] = start[i];
    }

    // A scalar value may also come from an attribute of the record's own element, or of a child.
    QVarLengthArray<bool, 32> ownAttribute(fieldCount);
    bool anyOwnAttribute = false;
    for (int i : info.scalarFields) {
        ownAttribute[i] = element.hasAttribute(info.fields[i].attribute);
        anyOwnAttribute = anyOwnAttribute || ownAttribute[i];
    }

    int position = 0;
    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement(), ++position) {
        const int match = info.fieldIndex(child.tagName());
        bool matchTookAttribute = false;
        if (anyOwnAttribute || child.hasAttributes()) {
            for (int i : info.scalarFields) {
                if (counter[i] != 0)
                    continue;
                const FieldEntry& entry = info.fields[i];
                if (ownAttribute[i])
                    entry.ops->fromText(fieldAt(entry), element.attribute(entry.attribute));
                else if (child.hasAttribute(entry.attribute))
                    entry.ops->fromText(fieldAt(entry), child.attribute(entry.attribute));
                else
                    continue;
                --counter[i];
                matchTookAttribute = matchTookAttribute || i == match;
            }
        }
        if (match < 0) {
            preserveElement(position, child);
            continue;
        }
        const FieldEntry& entry = info.fields[match];
        switch (entry.kind) {
        case FieldKind::Scalar:
            // The element belongs to the field even when the field took an attribute instead.
            if (!matchTookAttribute) {
                entry.ops->fromText(fieldAt(entry), child.firstChild().toText().data());
                --counter[match];
            }
            break;
        case FieldKind::StringList:
            static_cast<XmlModel::StringList*>(fieldAt(entry))->m_list.append(child.text());
            --counter[match];
            break;
        case FieldKind::DynamicList: {
            int id = IdOf(child);
            if (id == -1) {
                int& next = m_mapMaxDynListIds[entry.name];
                id = next;
                next = NextId(next);
            }
            CBaseNode* node = entry.create();
            node->m_nId = id;
            if (unite) {
                const auto old = remembered[entry.dynamicIndex].constFind(id);
                if (old != remembered[entry.dynamicIndex].constEnd())
                    node->fromXmlString(old.value());
            }
            if (node->readXml(child, QString(), unite) < 0) {
                m_qsErrorMessage = node->m_qsErrorMessage;
                delete node;
                return RC_XML_READ_FAILED;
            }
            listAt(entry).appendNode(node);
            m_lstWarnings.append(node->m_lstWarnings);
            --counter[match];
            break;
        }
        case FieldKind::FixedList: {
            if (counter[match] < 1) {
                preserveElement(position, child);
                break;
            }
            NodeList& list = listAt(entry);
            const int index = entry.minCount - counter[match];
            while (list.size() <= index)
                list.appendNode(entry.create());
            CBaseNode* node = list.m_items.at(index);
            if (node->readXml(child, QString(), unite) < 0) {
                m_qsErrorMessage = node->m_qsErrorMessage;
                return RC_XML_READ_FAILED;
            }
            node->m_bDefaulted = false;
            m_lstWarnings.append(node->m_lstWarnings);
            --counter[match];
            break;
        }
        }
    }

    // Object lists first, then the other fields, each in class order.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < fieldCount; ++i) {
            const FieldEntry& entry = info.fields[i];
            if (IsObjectList(entry.kind) != (pass == 0) || counter[i] < start[i])
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
