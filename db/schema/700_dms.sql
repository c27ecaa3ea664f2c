-- Document management: document types, the folder trees of the tables, the documents of a record
-- with their revisions and locks, the store of their bytes, links to other records and to
-- reports, and the rights per document type.

-- The store of document bytes: one large object per stored file, under a relative name that is
-- never written twice. sha256 and size are taken while the bytes stream in.
CREATE TABLE dms_file (
    name       text PRIMARY KEY,
    oid        oid NOT NULL,
    sha256     text NOT NULL,
    size       bigint NOT NULL,
    created_by text NOT NULL DEFAULT coalesce(nullif(current_setting('korvex.login', true), ''),
                                              current_user::text),
    created_at timestamptz NOT NULL DEFAULT now(),
    CONSTRAINT dms_file_name_relative CHECK (name <> '' AND left(name, 1) <> '/')
);

-- The bytes go with their row: a removed file leaves no orphan large object.
CREATE FUNCTION dms_file_unlink() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    PERFORM lo_unlink(OLD.oid)
       FROM pg_largeobject_metadata m WHERE m.oid = OLD.oid;
    RETURN OLD;
END
$$;
CREATE TRIGGER dms_file_unlink AFTER DELETE ON dms_file
    FOR EACH ROW EXECUTE FUNCTION dms_file_unlink();

-- Document types. dt_config holds name=value lines (ImportMode, DefaultPath); dt_parentnodeid is
-- the folder a document of the type lands in; dt_linkto the table whose records use the type.
CREATE TABLE dokutypes (
    dbrid                   serial UNIQUE,
    dt_id                   text PRIMARY KEY,
    dt_descr                text NOT NULL,
    dt_abteilung            text,
    dt_forcekeyword         text,
    dt_parentnodeid         text,
    dt_parentnodeid_default boolean NOT NULL DEFAULT false,
    dt_config               text,
    dt_linkto               text,
    dt_write_once           boolean NOT NULL DEFAULT false,
    dt_archive_default      boolean NOT NULL DEFAULT false,
    dt_auto_revision        boolean NOT NULL DEFAULT false,
    dt_autoexportpath       text
);
CREATE INDEX dokutypes_linkto ON dokutypes (dt_linkto);
CREATE INDEX dokutypes_parentnode ON dokutypes (dt_parentnodeid);

-- Which file actions a user may do on documents of a type (actions: 0 view, 1 edit, 2 add,
-- 3 delete pages, 4 annotate, 5 print, 6 view outside, save as, mail). A row for user 0 speaks for
-- everyone; the user's own row wins. No row: allowed. Administrators may do everything.
CREATE TABLE dokutypes_rights (
    dtr_dt_id   text NOT NULL REFERENCES dokutypes (dt_id) ON DELETE CASCADE ON UPDATE CASCADE,
    dtr_action  integer NOT NULL CHECK (dtr_action BETWEEN 0 AND 9),
    dtr_mitnr   integer NOT NULL DEFAULT 0,
    dtr_allowed boolean NOT NULL DEFAULT true,
    PRIMARY KEY (dtr_dt_id, dtr_action, dtr_mitnr)
);

-- Folder trees: one per table (dtl_tablename), its nodes in dokutreenodes. dtn_nodeid is the id
-- documents name as their folder (pd_parentnodeident); image 1 marks the root.
CREATE TABLE dokutrees (
    dtl_id          serial PRIMARY KEY,
    dtl_description text NOT NULL,
    dtl_tablename   text UNIQUE
);
CREATE TABLE dokutreenodes (
    dtn_id       serial PRIMARY KEY,
    dtn_dtl_id   integer NOT NULL REFERENCES dokutrees (dtl_id) ON DELETE CASCADE,
    dtn_parentid integer,
    dtn_nodeid   text NOT NULL,
    dtn_caption  text NOT NULL,
    dtn_image    integer NOT NULL DEFAULT 151,
    dtn_position integer,
    dtn_isprint  boolean,
    UNIQUE (dtn_dtl_id, dtn_nodeid)
);
CREATE INDEX dokutreenodes_parent ON dokutreenodes (dtn_parentid);

-- The lock of a document (shared by all its revisions) and its check-out working copy.
CREATE TABLE picndoku_revision (
    pdr_revision_id       serial PRIMARY KEY,
    pdr_lock_user         text,
    pdr_lock_time         timestamp,
    pdr_lock_host         text,
    pdr_checkout_path     text,
    pdr_checkout_filetime timestamp,
    pdr_checkout_ask_user boolean NOT NULL DEFAULT true
);

-- Documents. A row is one revision of a document; its revisions share pd_revision_id, and the
-- valid one is the revision whose pd_deletable is false (pd_deletable true: hidden). A row
-- without a file and without type is a custom folder; pd_islink rows only point at a local path.
ALTER TABLE picndoku
    ALTER COLUMN pd_deletable SET DEFAULT false,
    ADD COLUMN pd_id                   serial UNIQUE,
    ADD COLUMN pd_revision_id          integer REFERENCES picndoku_revision (pdr_revision_id),
    ADD COLUMN pd_dokident             text,
    ADD COLUMN pd_doktype              text REFERENCES dokutypes (dt_id) ON UPDATE CASCADE,
    ADD COLUMN pd_dokumentfile         text,
    ADD COLUMN pd_origfilename         text,
    ADD COLUMN pd_path_user            text,
    ADD COLUMN pd_txt                  text,
    ADD COLUMN pd_date                 timestamp NOT NULL DEFAULT now(),
    ADD COLUMN pd_parentnodeident      text,
    ADD COLUMN pd_print                boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_archive              boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_dmscomment           boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_modified             boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_islink               boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_listoutput           boolean,
    ADD COLUMN pd_report               text,
    ADD COLUMN pd_autoexport           text,
    ADD COLUMN pd_reportprinters       text,
    ADD COLUMN pd_makevisible          boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_edit_blocked         boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_elo_ref              text,
    ADD COLUMN pd_source               text,
    ADD COLUMN pd_dmshash              text,
    -- Checked at commit: a file is renamed in the store and in its row in one transaction.
    ADD COLUMN pd_dmsremotefile        text REFERENCES dms_file (name)
                                            DEFERRABLE INITIALLY DEFERRED,
    ADD COLUMN pd_dmsremotefiledoktype text,
    ADD COLUMN pd_dmsremotearchiv      text,
    ADD COLUMN pd_stamp                text,
    ADD COLUMN pd_external_dms_id      text,
    ADD COLUMN pd_external_dms_updated timestamp,
    ADD COLUMN pd_external_dms_changed timestamp,
    ADD COLUMN insert_date             timestamp NOT NULL DEFAULT now(),
    ADD COLUMN insert_by               text NOT NULL DEFAULT current_user,
    ADD COLUMN modified_date           timestamp,
    ADD COLUMN modified_by             text;
CREATE INDEX picndoku_revision_id ON picndoku (pd_revision_id);
CREATE INDEX picndoku_parentnode ON picndoku (pd_parentnodeident);

-- A document linked to further records (pdl_tablename, pdl_dbrid).
CREATE TABLE picndokulink (
    pdl_id        serial PRIMARY KEY,
    pdl_pd_id     integer NOT NULL REFERENCES picndoku (pd_id) ON DELETE CASCADE,
    pdl_tablename text NOT NULL,
    pdl_dbrid     bigint NOT NULL,
    pdl_dokident  text,
    pdl_neu       boolean NOT NULL DEFAULT false,
    pdl_checked   boolean NOT NULL DEFAULT false,
    pdl_revert    boolean NOT NULL DEFAULT false,
    pdl_comment   text,
    pdl_txt       text
);
CREATE INDEX picndokulink_record ON picndokulink (pdl_tablename, pdl_dbrid);
CREATE INDEX picndokulink_doku ON picndokulink (pdl_pd_id);

-- Reports printed after a document of a table (list output), and which folders and documents
-- take part in them.
CREATE TABLE report_afterdokument (
    rad_id           serial PRIMARY KEY,
    rad_r_id         integer NOT NULL REFERENCES reports (r_id) ON DELETE CASCADE,
    rad_pd_tablename text NOT NULL,
    rad_linkfield    text,
    rad_pos          integer NOT NULL DEFAULT 0,
    rad_r_dokutypes  text
);
CREATE INDEX report_afterdokument_table ON report_afterdokument (rad_pd_tablename, rad_pos);
CREATE TABLE report_dokument_link (
    rdl_id                 serial PRIMARY KEY,
    rdl_rad_id             integer NOT NULL REFERENCES report_afterdokument (rad_id)
                                   ON DELETE CASCADE,
    rdl_pd_id              integer REFERENCES picndoku (pd_id) ON DELETE CASCADE,
    rdl_pd_parentnodeident text,
    CHECK ((rdl_pd_id IS NULL) <> (rdl_pd_parentnodeident IS NULL))
);
CREATE UNIQUE INDEX report_dokument_link_doku ON report_dokument_link (rdl_rad_id, rdl_pd_id)
    WHERE rdl_pd_id IS NOT NULL;
CREATE UNIQUE INDEX report_dokument_link_folder
    ON report_dokument_link (rdl_rad_id, rdl_pd_parentnodeident)
    WHERE rdl_pd_parentnodeident IS NOT NULL;

-- Categories of keywords: rck_b is the name users pick, rck_column the record column a keyword of
-- the category names (its value is looked up there). rck_internal marks the categories the system
-- uses for itself.
CREATE TABLE recnokeywordcategory (
    rck_id       serial PRIMARY KEY,
    rck_b        text NOT NULL UNIQUE,
    rck_column   text,
    rck_internal boolean NOT NULL DEFAULT false
);

-- Every document gets its revision row (the lock lives there) when it is made; its later
-- revisions name the same one.
CREATE FUNCTION picndoku_revision_row() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF NEW.pd_revision_id IS NULL THEN
        INSERT INTO picndoku_revision DEFAULT VALUES
        RETURNING pdr_revision_id INTO NEW.pd_revision_id;
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER picndoku_revision_row BEFORE INSERT ON picndoku
    FOR EACH ROW EXECUTE FUNCTION picndoku_revision_row();
