-- Special functions (Sondfunktionen) per SQL table: what the tools popup (F3) and the caption bar
-- offer on the module windows of that table. Made here only where no earlier file made the table;
-- the columns the tools popup reads are added when missing.
CREATE TABLE IF NOT EXISTS sondfunc (
    dbrid           serial PRIMARY KEY,
    sf_sqltable     text NOT NULL
);
ALTER TABLE sondfunc
    ADD COLUMN IF NOT EXISTS sf_nr           integer,
    ADD COLUMN IF NOT EXISTS sf_txtnr        integer,
    ADD COLUMN IF NOT EXISTS sf_hinttxtnr    integer NOT NULL DEFAULT 0,
    ADD COLUMN IF NOT EXISTS sf_imageindex   integer,
    ADD COLUMN IF NOT EXISTS sf_menubutton   boolean NOT NULL DEFAULT false,
    ADD COLUMN IF NOT EXISTS sf_cond         text,
    ADD COLUMN IF NOT EXISTS sf_emptyallowed boolean NOT NULL DEFAULT false,
    ADD COLUMN IF NOT EXISTS sf_sql          text,
    ADD COLUMN IF NOT EXISTS sf_rtf          integer,
    ADD COLUMN IF NOT EXISTS sf_formclass    text,
    ADD COLUMN IF NOT EXISTS sf_config       text,
    ADD COLUMN IF NOT EXISTS sf_maketext     integer,
    ADD COLUMN IF NOT EXISTS sf_stamp        text;
CREATE INDEX IF NOT EXISTS sondfunc_sqltable ON sondfunc (lower(sf_sqltable));
