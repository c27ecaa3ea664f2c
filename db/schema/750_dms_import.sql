-- Records whose documents are closed to new files: a whole record (drl_doktype null) or one
-- document type of it, with who closed it and why.
CREATE TABLE picndoku_record_lock (
    drl_id        serial PRIMARY KEY,
    drl_tablename text NOT NULL,
    drl_dbrid     bigint NOT NULL,
    drl_doktype   text REFERENCES dokutypes (dt_id) ON DELETE CASCADE ON UPDATE CASCADE,
    drl_user      text NOT NULL,
    drl_reason    text
);
CREATE INDEX picndoku_record_lock_record ON picndoku_record_lock (drl_tablename, drl_dbrid);

-- The MD5 of the document's bytes, taken with its SHA-256 (pd_dmshash): of a linked file when it
-- was linked, of a stored one while it was written.
ALTER TABLE picndoku ADD COLUMN pd_md5 text;
