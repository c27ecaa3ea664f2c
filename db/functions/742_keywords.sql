-- Keywords that the system keeps for its own use on a record: one row per table, record, category
-- and description, whose value each call replaces. pname names the record-parameter group the
-- keyword belongs to (left empty when there is no such group). Returns the keyword's id.
CREATE FUNCTION tsystem.createkeyword(p_kategorie text, p_tablename text, p_descr text,
                                      p_dbrid bigint, p_value text, p_pname text)
RETURNS bigint
LANGUAGE plpgsql AS $$
DECLARE
    v_id bigint;
    v_group text := (SELECT reg_pname FROM recnogroup WHERE reg_pname = p_pname);
BEGIN
    -- One writer at a time per record, so that two sessions never add the same keyword twice.
    PERFORM pg_advisory_xact_lock(hashtextextended('recnokeyword:' || p_tablename || ':' || p_dbrid, 0));
    SELECT r_id INTO v_id FROM recnokeyword
     WHERE r_tablename = p_tablename AND r_dbrid = p_dbrid
       AND r_kategorie IS NOT DISTINCT FROM p_kategorie AND r_descr IS NOT DISTINCT FROM p_descr
     ORDER BY r_id LIMIT 1;
    IF v_id IS NULL THEN
        INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr, r_value, r_reg_pname)
        VALUES (p_tablename, p_dbrid, p_kategorie, p_descr, p_value, v_group)
        RETURNING r_id INTO v_id;
    ELSE
        UPDATE recnokeyword
           SET r_value = p_value, r_reg_pname = v_group, modified_date = now(),
               modified_by = current_user
         WHERE r_id = v_id;
    END IF;
    RETURN v_id;
END
$$;

-- The report printers of a document are such a keyword; the document row carries them too, so
-- that a document is read with its printers in one query.
CREATE FUNCTION picndoku_reportprinters_sync() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    r recnokeyword;
BEGIN
    r := CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
    IF r.r_tablename = 'picndoku' AND r.r_kategorie = 'internal system usage'
       AND r.r_descr = 'PrinterForReporting' THEN
        UPDATE picndoku
           SET pd_reportprinters = CASE WHEN TG_OP = 'DELETE' THEN NULL
                                        ELSE nullif(r.r_value, '') END
         WHERE dbrid = r.r_dbrid;
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER picndoku_reportprinters_sync
    AFTER INSERT OR UPDATE OR DELETE ON recnokeyword
    FOR EACH ROW EXECUTE FUNCTION picndoku_reportprinters_sync();
