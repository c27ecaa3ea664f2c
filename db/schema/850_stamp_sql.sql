-- SQL that runs when a stamp is placed on or taken off a document of a type: the stamp is the
-- stamp document dss_pd_id (picndoku on the pseudo record 'dokseals' / 0). The statements name
-- their values as parameters (:dm_doktype, :dm_dokseal, a picndoku column, a keyword category,
-- "<category>__InList"); the client binds them, never splices them in.
CREATE TABLE doksealsql (
    dss_id        serial PRIMARY KEY,
    dss_dt_id     text    NOT NULL,
    dss_pd_id     integer NOT NULL,
    dss_insertsql text,
    dss_deletesql text,
    dss_bez       text
);
CREATE INDEX doksealsql_type_stamp ON doksealsql (dss_dt_id, dss_pd_id);
