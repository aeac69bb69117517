// The generic reader and writer of the record classes, driven by each class's field table.
#pragma once

#include "xmlmodel/basenode.h"
#include "xmlmodel/fields.h"

#include <new>

class CRecordNode : public CBaseNode
{
public:
    // The names the record classes declare their fields with.
    template <typename T, T (*Generate)() = nullptr>
    using Scalar = XmlModel::Scalar<T, Generate>;
    using StringList = XmlModel::StringList;
    template <class C>
    using DynList = XmlModel::DynList<C>;
    template <class C>
    using FixedList = XmlModel::FixedList<C>;
    static constexpr XmlModel::Occurs Required = XmlModel::Required;
    static constexpr XmlModel::Occurs Optional = XmlModel::Optional;

    QDomElement getXml(QDomDocument& document, bool noIds) const override;
    int readXml(const QDomElement& element, const QString& extTagName, bool unite) override;
    void recurseChildren() override;
    void setDefaults(const QDomElement& element) override;
    void initLists() override;
    void clearLists() override;
    void resetLists(bool unite, const QStringList& dynListNames, bool hasDynLists) override;
    void writeXml(XmlModel::XmlSink& sink, const XmlModel::XmlSink::Attributes& attributes, bool noIds) const override;

    // The field table and names of this record's class.
    virtual const XmlModel::RecordInfo& recordInfo() const = 0;

protected:
    CRecordNode() = default;
    CRecordNode(const CRecordNode&) = default;
    CRecordNode& operator=(const CRecordNode&) = default;

private:
    struct ReadState;

    void* fieldAt(const XmlModel::FieldEntry& entry);
    const void* fieldAt(const XmlModel::FieldEntry& entry) const;
    XmlModel::NodeList& listAt(const XmlModel::FieldEntry& entry);
    const XmlModel::NodeList& listAt(const XmlModel::FieldEntry& entry) const;
    // The steps of readXml.
    void restoreDynListIds(const QStringList& pieces, bool unite);
    void raiseNextIds(const QDomElement& element, ReadState& state);
    void prepareFields(const QDomElement& element, const QStringList& pieces, bool unite);
    void claimAttributes(const QDomElement& element, const QDomElement& child, int match, ReadState& state);
    int readChild(const QDomElement& child, int match, ReadState& state);
    int readDynamicEntry(int field, const QDomElement& child, ReadState& state);
    int readFixedEntry(int field, const QDomElement& child, ReadState& state);
    int checkOccurrences(const ReadState& state);
    int adoptChildFailure(CBaseNode* child);
};

// Base of a record class Derived, which declares `ClassName`, `ElementName` and its fields.
template <class Derived>
class CRecord : public CRecordNode
{
public:
    static const XmlModel::RecordInfo& staticInfo()
    {
        static const XmlModel::RecordInfo info =
            XmlModel::Registration::Build(Derived::ClassName, Derived::ElementName, sizeof(Derived), &Construct);
        return info;
    }
    const XmlModel::RecordInfo& recordInfo() const override { return staticInfo(); }
    CBaseNode* clone() const override { return new Derived(static_cast<const Derived&>(*this)); }

protected:
    CRecord() = default;
    CRecord(const CRecord&) = default;
    CRecord& operator=(const CRecord&) = default;

private:
    static CBaseNode* Construct(void* storage) { return new (storage) Derived; }
};
