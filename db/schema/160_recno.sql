-- Notes, resubmissions, keywords and record parameters: they attach to any record by its table
-- and record id. Documents (picndoku) start here with the columns the module form reads.

-- A note (rc_wvod null) or a resubmission (rc_wvod set). rc_id names the note; it is the row's
-- dbrid unless an import brought its own. rc_parent_dbrid makes a note of a child record show on
-- its parent as well.
CREATE TABLE recnocomments (
    dbrid           bigserial PRIMARY KEY,
    rc_id           bigint,
    rc_tablename    text NOT NULL,
    rc_dbrid        bigint NOT NULL,
    rc_parent_dbrid bigint,
    rc_date         timestamp NOT NULL DEFAULT now(),
    rc_user         text,
    rc_betreff      varchar(100),
    rc_text         text,
    rc_category     text,
    rc_print        boolean NOT NULL DEFAULT false,
    rc_wvod         date,
    rc_wvod_params  text,
    rc_allg1        text,
    insert_date     timestamp NOT NULL DEFAULT now(),
    insert_by       text NOT NULL DEFAULT current_user,
    modified_date   timestamp,
    modified_by     text
);

CREATE FUNCTION recnocomments_rc_id() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    NEW.rc_id := coalesce(NEW.rc_id, NEW.dbrid);
    RETURN NEW;
END
$$;
CREATE TRIGGER recnocomments_rc_id BEFORE INSERT ON recnocomments
    FOR EACH ROW EXECUTE FUNCTION recnocomments_rc_id();

-- The status bar asks per record: notes by own or parent id, resubmissions by table and id.
CREATE INDEX recnocomments_record ON recnocomments (rc_dbrid, rc_tablename);
CREATE INDEX recnocomments_parent ON recnocomments (rc_parent_dbrid)
    WHERE rc_parent_dbrid IS NOT NULL;

-- Definitions of record parameters: group, position, type, visibility and default per name.
CREATE TABLE recnogroup (
    reg_pname     text PRIMARY KEY,
    reg_tablename text,
    reg_formclass text,
    reg_gruppe    text,
    reg_pos       integer NOT NULL DEFAULT 0,
    reg_paramtype text NOT NULL DEFAULT 'ptSTRING',
    reg_visible   boolean NOT NULL DEFAULT true,
    reg_exclusive boolean NOT NULL DEFAULT false,
    reg_default   text
);

-- Keywords of a record (r_reg_pname null) and its record parameters (r_reg_pname names the
-- definition). Documents carry keywords too: r_tablename 'picndoku', r_dbrid the document.
CREATE TABLE recnokeyword (
    r_id          bigserial PRIMARY KEY,
    r_classname   text,
    r_oid         text,
    r_tablename   text NOT NULL,
    r_dbrid       bigint NOT NULL,
    r_kategorie   text,
    r_descr       text,
    r_not         boolean NOT NULL DEFAULT false,
    r_value       text,
    r_min         text,
    r_max         text,
    r_unit        text,
    r_txt         text,
    r_reg_pname   text REFERENCES recnogroup (reg_pname),
    insert_date   timestamp NOT NULL DEFAULT now(),
    insert_by     text NOT NULL DEFAULT current_user,
    modified_date timestamp,
    modified_by   text
);
CREATE INDEX recnokeyword_record ON recnokeyword (r_dbrid, r_tablename);
CREATE INDEX recnokeyword_kategorie ON recnokeyword (r_kategorie, r_descr);

-- Documents of a record. The document store extends this table; the module form reads these.
CREATE TABLE IF NOT EXISTS picndoku (
    dbrid        bigserial PRIMARY KEY,
    pd_tablename text NOT NULL,
    pd_dbrid     bigint NOT NULL,
    pd_deletable boolean NOT NULL DEFAULT true,
    pd_descr     text,
    pd_path      text
);
CREATE INDEX IF NOT EXISTS picndoku_record ON picndoku (pd_dbrid, pd_tablename);

-- Which column of a table's record identifies its documents across tables: documents that carry
-- the keyword (category, that column's value) belong to every record with the same value.
CREATE TABLE IF NOT EXISTS dokuclasskey (
    dck_tablename text PRIMARY KEY,
    dck_kategorie text NOT NULL,
    dck_keycolumn text NOT NULL
);
