-- The F2 definitions by the names the forms read them under, with fast lookups, shared standard
-- queries and a condition per definition: a register grid has one definition of its value column
-- per register name, so a module's field may have several rows.
ALTER TABLE f2poss DROP CONSTRAINT IF EXISTS f2poss_f2_modul_f2_feld_key;
ALTER TABLE f2poss ADD COLUMN IF NOT EXISTS modulname text GENERATED ALWAYS AS (f2_modul) STORED;
ALTER TABLE f2poss ADD COLUMN IF NOT EXISTS feldname text GENERATED ALWAYS AS (f2_feld) STORED;
ALTER TABLE f2poss ADD COLUMN IF NOT EXISTS fastf2 boolean NOT NULL DEFAULT false;
ALTER TABLE f2poss ADD COLUMN IF NOT EXISTS f2_query text;
ALTER TABLE f2poss ADD COLUMN IF NOT EXISTS f2_filter text;
ALTER TABLE f2poss ADD COLUMN IF NOT EXISTS f2_standard text;
ALTER TABLE f2poss ADD COLUMN IF NOT EXISTS f2_deleted boolean NOT NULL DEFAULT false;
CREATE TABLE IF NOT EXISTS f2standard (
    f2s_name  text PRIMARY KEY,
    f2s_query text
);
-- When a definition applies: the field of the record and the value it must hold.
CREATE TABLE IF NOT EXISTS f2poss_condition (
    f2_id       integer PRIMARY KEY REFERENCES f2poss (f2_id) ON DELETE CASCADE,
    field_name  text NOT NULL,
    field_value text
);
