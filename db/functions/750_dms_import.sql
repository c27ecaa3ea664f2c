-- Why documents of a type may not be added to a record now: the text of the lock, null when
-- nothing holds the record.
CREATE FUNCTION picndoku_record_lock_info(p_table text, p_dbrid text, p_doktype text)
RETURNS text
LANGUAGE plpgsql STABLE AS $$
BEGIN
    -- plpgsql for the plan it keeps: this is asked before every stored file.
    RETURN (SELECT 'Die Dokumente des Datensatzes sind von ' || l.drl_user || ' gesperrt'
                   || coalesce(': ' || nullif(l.drl_reason, ''), '')
              FROM picndoku_record_lock l
             WHERE lower(l.drl_tablename) = lower(p_table)
               AND l.drl_dbrid::text = p_dbrid
               AND (l.drl_doktype IS NULL OR l.drl_doktype = p_doktype)
             ORDER BY l.drl_doktype IS NULL DESC, l.drl_id
             LIMIT 1);
END
$$;

-- Whether a document of a type may be added to a record now: the text of the record's lock
-- (null when free), the user's right to add (action 2) and the type's own adding check.
CREATE TYPE dms_adding_check AS (lock_info text, may_add boolean, forbidden boolean);

CREATE FUNCTION picndoku_adding_check(p_table text, p_dbrid text, p_doktype text,
                                      p_admin boolean, p_mitnr integer)
RETURNS dms_adding_check
LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN ROW(picndoku_record_lock_info(p_table, p_dbrid, p_doktype),
               p_admin OR coalesce(p_doktype, '') = '' OR dokutypes_right(p_doktype, 2, p_mitnr),
               (picndoku_adding_forbidden(p_doktype, false)).result)::dms_adding_check;
END
$$;

-- The same check inside the statement that stores the document, so that a refusal costs no
-- round trip of its own and leaves nothing behind: raises KXA01 with the lock's text, KXA02
-- without the right to add, KXA03 when the type refuses adding; true otherwise.
CREATE FUNCTION picndoku_adding_guard(p_table text, p_dbrid text, p_doktype text,
                                      p_admin boolean, p_mitnr integer)
RETURNS boolean
LANGUAGE plpgsql STABLE AS $$
DECLARE
    c dms_adding_check := picndoku_adding_check(p_table, p_dbrid, p_doktype, p_admin, p_mitnr);
BEGIN
    IF coalesce(c.lock_info, '') <> '' THEN
        RAISE EXCEPTION USING ERRCODE = 'KXA01', MESSAGE = c.lock_info;
    END IF;
    IF NOT c.may_add THEN
        RAISE EXCEPTION USING ERRCODE = 'KXA02', MESSAGE = 'Keine Berechtigung: ' || p_doktype;
    END IF;
    IF c.forbidden THEN
        RAISE EXCEPTION USING ERRCODE = 'KXA03',
            MESSAGE = 'Keine Berechtigung für dieses Verzeichnis: ' || p_doktype;
    END IF;
    RETURN true;
END
$$;

-- A stored file copied under a new name, 1 MiB at a time, with its recorded hash and size.
CREATE FUNCTION dms_file_copy(p_from text, p_to text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    src dms_file;
    dst oid;
    off bigint := 0;
BEGIN
    SELECT * INTO src FROM dms_file WHERE name = p_from;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Datei im Dokumentenspeicher fehlt: %', p_from;
    END IF;
    dst := lo_create(0);
    WHILE off < src.size LOOP
        PERFORM lo_put(dst, off, lo_get(src.oid, off, 1048576));
        off := off + 1048576;
    END LOOP;
    INSERT INTO dms_file (name, oid, sha256, size) VALUES (p_to, dst, src.sha256, src.size);
END
$$;
