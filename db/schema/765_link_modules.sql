-- Modules that show a record named by the value of one column: a link menu on rows that carry
-- such a column (their ident key) offers to open each of them on that record. The module starts
-- with lm_keyfield = value as its start parameter; lm_tablename is searched for the record first.
CREATE TABLE linkmodule (
    lm_id            serial PRIMARY KEY,
    lm_keyfield      text NOT NULL,
    lm_formclassname text NOT NULL,
    lm_tablename     text NOT NULL,
    lm_text          integer,
    lm_caption       text,
    lm_order         integer NOT NULL DEFAULT 0
);
CREATE INDEX linkmodule_keyfield ON linkmodule (lower(lm_keyfield), lm_order);
