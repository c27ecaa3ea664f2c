#pragma once
// Property types of the database layer that the designer edits in their own way: a text number
// (shown with its text, picked from the text table) and the name of a field of the component's
// dataset (picked from its fields). Each converts to and from its plain value.

#include <QMetaType>
#include <QObject>
#include <QString>

struct TText0 {
    int nr = 0;
    friend bool operator==(const TText0& a, const TText0& b) { return a.nr == b.nr; }
};

struct TFieldByName {
    QString name;
    friend bool operator==(const TFieldByName& a, const TFieldByName& b) { return a.name == b.name; }
};

// The dataset a component reads: the database layer asks a component for it through this
// interface (data-aware controls and frames offer it).
class TVoskDataSetProvider {
public:
    virtual ~TVoskDataSetProvider() = default;
    virtual QObject* GetDataSet() = 0;
};
#define TVoskDataSetProvider_iid "{5FE73C33-DF6B-43AA-9DCA-095969C934D4}"
Q_DECLARE_INTERFACE(TVoskDataSetProvider, TVoskDataSetProvider_iid)

Q_DECLARE_METATYPE(TText0)
Q_DECLARE_METATYPE(TFieldByName)

// Lets QVariant convert both types to and from their plain values; once per process.
void RegisterDesignTypeConverters();
