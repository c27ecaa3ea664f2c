-- What the document properties show beside the document row: its change log, and two flags of
-- the row. pd_linksource marks a document that other records reach through picndokulink;
-- pd_delayed_upload a row whose bytes still live only in a working copy (the lock code sets it).
ALTER TABLE picndoku
    ADD COLUMN IF NOT EXISTS pd_linksource     boolean NOT NULL DEFAULT false,
    ADD COLUMN IF NOT EXISTS pd_delayed_upload boolean NOT NULL DEFAULT false;

-- The change log of documents, written by triggers only. pdg_pd_id is not a foreign key: the
-- log outlives the document whose deletion it records.
CREATE TABLE picndoku_log (
    pdg_id      bigserial PRIMARY KEY,
    pdg_pd_id   integer NOT NULL,
    pdg_rev_id  integer,
    pdg_type    text NOT NULL,
    pdg_info    text,
    insert_by   text NOT NULL,
    insert_time timestamp NOT NULL DEFAULT now()
);
CREATE INDEX picndoku_log_doku ON picndoku_log (pdg_pd_id);
CREATE INDEX picndoku_log_revision ON picndoku_log (pdg_rev_id);
