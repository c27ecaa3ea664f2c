#pragma once
// What a grid offers about its selected records: the values of one column, one per selected
// record. rvoNoGroupRows leaves out the rows that only head a group.

#include <QString>
#include <QStringList>

enum TRecordValuesOption { rvoNone = 0, rvoNoGroupRows = 1 };

class IVoskSelectedRecordValues {
public:
    virtual ~IVoskSelectedRecordValues() = default;
    virtual QStringList GetSelectedRecordValuesStr(const QString& field, int options) const = 0;
};
