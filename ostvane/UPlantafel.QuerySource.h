#pragma once
// A database query as the record source of a dataset copy: the result streams row by row into
// the dataset, so a large time line is never held twice.

#include "UPlantafel.DataSource.h"

#include <memory>
#include <vector>

class TVoskQuery2;
class TVoskRowStream;

class TPlantafelQueryRecordSource final : public IPlantafelRecordSource {
public:
    // Sends the query without waiting for it; Fields and AppendRowsTo wait for its rows, which
    // are read once. A source dropped unread cancels the query.
    explicit TPlantafelQueryRecordSource(TVoskQuery2& query);
    ~TPlantafelQueryRecordSource() override;
    Cds::FieldDefList Fields() const override;
    void AppendRowsTo(Cds::ClientDataSet& dst) const override;

private:
    void ReadColumns() const;
    std::unique_ptr<TVoskRowStream> m_stream;
    mutable Cds::FieldDefList m_fields;
    mutable std::vector<unsigned> m_oids;
    mutable bool m_described = false;
};
