-- The change log of the address tables: one row per changed field of a record, with who changed
-- it and when; a new record, a deleted one and a save that changed no value have a row of their
-- own.
CREATE TABLE adressen_log (
    al_id      bigserial PRIMARY KEY,
    al_table   text NOT NULL,
    al_dbrid   bigint NOT NULL,
    al_when    timestamp NOT NULL DEFAULT now(),
    al_user    text NOT NULL,
    al_action  text NOT NULL CHECK (al_action IN ('angelegt', 'geändert', 'gelöscht')),
    al_field   text,
    al_old     text,
    al_new     text
);
CREATE INDEX adressen_log_record ON adressen_log (al_table, al_dbrid, al_when DESC);
