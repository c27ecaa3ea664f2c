-- Soft links: actions per table that module windows offer for the current record. EXEC runs a
-- program (slink_app), LINK opens a link (slink_sql); "<#name#>" takes a value of the record.
-- slink_cond is an SQL Boolean expression; empty means always.
CREATE TABLE softlink (
    slink_id    serial PRIMARY KEY,
    slink_table text NOT NULL,
    slink_type  text NOT NULL,
    slink_order integer,
    slink_bez   text NOT NULL,
    slink_app   text,
    slink_sql   text,
    slink_cond  text
);
CREATE INDEX softlink_table ON softlink (slink_table);
