#pragma once
// A database query as the record source of a dataset copy: the result streams a chunk of rows at
// a time through a cursor into the dataset, so a large time line is never held twice.

#include "UPlantafel.DataSource.h"

#include <memory>
#include <vector>

class TVoskQuery2;
class TVoskChunkStream;

class TPlantafelQueryRecordSource final : public IPlantafelRecordSource {
public:
    // Declares the query's cursor and asks for its first rows without waiting for them; Fields
    // and AppendRowsTo wait for its rows, which are read once. A source dropped unread closes
    // the cursor. The first chunks come as text and describe the columns; when every column's
    // binary form is known here, the rest comes binary.
    // Chunks of a few thousand rows read as fast as larger ones, and the memory libpq took for
    // them stays with the process after the copy: small ones keep that small.
    explicit TPlantafelQueryRecordSource(TVoskQuery2& query, int chunkRows = 2000);
    ~TPlantafelQueryRecordSource() override;
    Cds::FieldDefList Fields() const override;
    void AppendRowsTo(Cds::ClientDataSet& dst) const override;

private:
    void ReadColumns() const;
    std::unique_ptr<TVoskChunkStream> m_stream;
    mutable Cds::FieldDefList m_fields;
    mutable std::vector<unsigned> m_oids;
    mutable bool m_described = false;
};
