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
    // Runs the query; its rows are read by AppendRowsTo, once.
    explicit TPlantafelQueryRecordSource(TVoskQuery2& query);
    ~TPlantafelQueryRecordSource() override;
    Cds::FieldDefList Fields() const override { return m_fields; }
    void AppendRowsTo(Cds::ClientDataSet& dst) const override;

private:
    std::unique_ptr<TVoskRowStream> m_stream;
    Cds::FieldDefList m_fields;
    std::vector<unsigned> m_oids;
};
