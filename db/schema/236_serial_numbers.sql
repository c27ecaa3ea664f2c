-- Stock documents and their serial numbers. A serial number (lagsernr) belongs to an article and
-- may be tied to a stock receipt (w_wen), a stock record (lg_id) and a stock issue (l_nr); while
-- all three are empty it is unused. mapsernr links serial numbers to rows of other tables, for a
-- stock document (ldsdok) as its presets.
CREATE TABLE art (
    ak_nr        text PRIMARY KEY,
    ak_bez       text,
    ak_sernrreq  boolean NOT NULL DEFAULT false
);

CREATE TABLE ldsdok (
    ld_id     serial PRIMARY KEY,
    ld_aknr   text NOT NULL REFERENCES art (ak_nr),
    ld_stk    numeric(12, 3) NOT NULL DEFAULT 0,
    ld_txt    text,
    ld_ag_nr  integer,
    ld_done   boolean NOT NULL DEFAULT false
);

CREATE TABLE lag (
    lg_id    serial PRIMARY KEY,
    lg_aknr  text NOT NULL REFERENCES art (ak_nr),
    lg_ld_id integer REFERENCES ldsdok (ld_id) ON DELETE SET NULL, -- the receipt it came with
    lg_ort   text,
    lg_chnr  text
);

-- Stock receipts and issues, as far as the serial numbers show them.
CREATE TABLE wendat (
    w_wen       serial PRIMARY KEY,
    w_ld_id     integer REFERENCES ldsdok (ld_id) ON DELETE SET NULL,
    w_aknr      text REFERENCES art (ak_nr),
    w_ab_ix_sn  integer
);

CREATE TABLE lifsch (
    l_nr        serial PRIMARY KEY,
    l_aknr      text REFERENCES art (ak_nr),
    l_ab_ix_sn  integer,
    l_ag_nr     integer
);

-- Serial numbers entered with the items of customer orders, one a line.
CREATE TABLE auftgmi (
    agmi_id     serial PRIMARY KEY,
    agmi_ag_nr  integer NOT NULL,
    agmi_aknr   text REFERENCES art (ak_nr),
    agmi_sernr  text NOT NULL DEFAULT ''
);

CREATE TABLE lagsernr (
    lgs_id     serial PRIMARY KEY,
    lgs_sernr  text NOT NULL,
    lgs_aknr   text NOT NULL REFERENCES art (ak_nr),
    w_wen      integer REFERENCES wendat (w_wen) ON DELETE SET NULL,
    lg_id      integer REFERENCES lag (lg_id) ON DELETE SET NULL,
    l_nr       integer REFERENCES lifsch (l_nr) ON DELETE SET NULL,
    UNIQUE (lgs_aknr, lgs_sernr)
);
CREATE INDEX lagsernr_w_wen ON lagsernr (w_wen);
CREATE INDEX lagsernr_lg_id ON lagsernr (lg_id);

CREATE TABLE mapsernr (
    ms_id      serial PRIMARY KEY,
    ms_lgs_id  integer NOT NULL REFERENCES lagsernr (lgs_id) ON DELETE CASCADE,
    ms_table   regclass NOT NULL,
    ms_pkey    integer NOT NULL,
    UNIQUE (ms_lgs_id, ms_table, ms_pkey)
);
CREATE INDEX mapsernr_ldsdok ON mapsernr (ms_table, ms_pkey);
