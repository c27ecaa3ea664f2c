-- System tables of the database layer: texts, named SQL, settings, last values, users and logs.

-- Multilingual texts by number; the column suffix is the language number (0 German, 3 English).
CREATE TABLE text0 (
    t_nr        integer PRIMARY KEY,
    t_feld0     text,
    t_feld3     text,
    t_kundtxt0  text,
    t_deleted   boolean NOT NULL DEFAULT false
);

-- Named SQL texts, fetched by key.
CREATE TABLE standardsql (
    ss_key      text PRIMARY KEY,
    ss_sql      text NOT NULL,
    ss_descr    text
);

CREATE TABLE settings (
    s_name      text PRIMARY KEY,
    s_value     text
);

-- Users of the ERP. A login without a row here works with user number 0 and no admin rights.
CREATE TABLE mitarbeiter (
    mitnr       integer PRIMARY KEY,
    m_login     text NOT NULL UNIQUE,
    m_name      text,
    m_vorname   text,
    m_admin     boolean NOT NULL DEFAULT false,
    m_sprache   integer NOT NULL DEFAULT 0   -- text language: 0 German, 3 English
);

-- Last values; lv_user is empty for values shared by all users.
CREATE TABLE lastval (
    lv_user     text NOT NULL DEFAULT '',
    lv_key      text NOT NULL,
    lv_value    text,
    lv_modified timestamp NOT NULL DEFAULT now(),
    PRIMARY KEY (lv_user, lv_key)
);

-- Options that forms store per component (per user, or for everyone with mitnr 0).
CREATE TABLE component_options (
    co_formclass text NOT NULL,
    co_savename  text NOT NULL,
    co_option    text NOT NULL,
    co_mitnr     integer NOT NULL DEFAULT 0,
    co_value     text,
    PRIMARY KEY (co_formclass, co_savename, co_option, co_mitnr)
);

CREATE TABLE eventlog (
    el_id        bigserial PRIMARY KEY,
    el_time      timestamptz NOT NULL DEFAULT clock_timestamp(),
    el_user      text,
    el_kind      text NOT NULL,        -- EVENT, INFO, WARNING, ERROR, LOG, USER, STAT
    el_level     integer NOT NULL DEFAULT 0,
    el_category  text,
    el_class     text,
    el_method    text,
    el_text      text,
    el_exception text
);
CREATE INDEX eventlog_time ON eventlog (el_time);

-- Loading and unloading of module libraries.
CREATE TABLE loadlog (
    ll_id        bigserial PRIMARY KEY,
    ll_time      timestamptz NOT NULL DEFAULT clock_timestamp(),
    ll_tag       text NOT NULL,        -- LOAD or UNLOAD
    ll_module    text NOT NULL,
    ll_user      text,
    ll_pid       integer
);
