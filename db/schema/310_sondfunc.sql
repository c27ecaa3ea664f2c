-- Special functions of a table, offered in the header's tools menu or as caption-bar buttons.
CREATE TABLE sondfunc (
    dbrid           serial PRIMARY KEY,
    sf_sqltable     text NOT NULL,
    sf_formclass    text,                 -- empty: every form showing the table
    sf_txtnr        integer NOT NULL DEFAULT 0,
    sf_hinttxtnr    integer NOT NULL DEFAULT 0,
    sf_imageindex   integer,
    sf_menubutton   boolean NOT NULL DEFAULT false,
    sf_cond         text,
    sf_emptyallowed boolean NOT NULL DEFAULT false,
    sf_sql          text,
    sf_rtf          integer,              -- report number; a report function runs that first
    sf_config       text,                 -- the report's parameters, one "name=value" a line
    sf_maketext     integer,              -- text number of the confirmation question
    sf_nr           integer,
    sf_stamp        text
);
CREATE INDEX sondfunc_sqltable_idx ON sondfunc (lower(sf_sqltable));

-- Settings that modules offer through their settings button; sd_config is INI text.
CREATE TABLE settingsdyn (
    sd_id      serial PRIMARY KEY,
    sd_type    text NOT NULL,
    sd_config  text,
    sd_deleted boolean NOT NULL DEFAULT false
);

-- Reports per module, and report links of other modules: a module with one gets print buttons.
CREATE TABLE reports (
    r_id        serial PRIMARY KEY,
    r_descr     text,
    r_detail    text,
    r_modulname text
);
CREATE TABLE report_modul_link (
    rl_id        serial PRIMARY KEY,
    rl_r_id      integer REFERENCES reports (r_id) ON DELETE CASCADE,
    rl_modulname text
);
-- Fields a module shows to every user (e.g. its info button).
CREATE TABLE modul_field (
    mf_id     serial PRIMARY KEY,
    modulname text NOT NULL,
    feldname  text NOT NULL
);

CREATE SCHEMA IF NOT EXISTS tsystem;
