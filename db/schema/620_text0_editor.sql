-- The IDE's text picker: number ranges of the translation texts, and the index its duplicate check
-- uses.

-- A range of text numbers handed out to one area. The group marks are the numbers of the texts
-- that open ("TEXT0: ###") and close ("TEXT0: ### ENDE") the range in the text list.
CREATE TABLE text0numcircle (
    nc_id        serial PRIMARY KEY,
    start_group  integer,
    start_nr     integer NOT NULL,
    end_nr       integer NOT NULL,
    end_group    integer,
    descr        text,
    CHECK (start_nr <= end_nr)
);

CREATE INDEX text0_feld0_upper ON text0 (trim(upper(t_feld0)));

ALTER TABLE fieldalias ADD COLUMN IF NOT EXISTS fa_textno integer;
