-- Writes the change log of the address tables. The user is the login the session announced, as
-- for the audit stamps; the stamps themselves change with every update and are left out.
CREATE FUNCTION adressen_log_write() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    who text := korvex_session_login();
    old_row jsonb;
    new_row jsonb;
    f text;
    logged boolean := false;
BEGIN
    IF TG_OP = 'INSERT' THEN
        -- A new record is logged as its insert stamps say (loaded data keep their history).
        new_row := to_jsonb(NEW);
        INSERT INTO adressen_log (al_table, al_dbrid, al_when, al_user, al_action)
        VALUES (TG_TABLE_NAME, NEW.dbrid,
                coalesce((new_row ->> 'insert_date')::timestamp, now()),
                coalesce(new_row ->> 'insert_by', who), 'angelegt');
        RETURN NEW;
    ELSIF TG_OP = 'DELETE' THEN
        INSERT INTO adressen_log (al_table, al_dbrid, al_user, al_action)
        VALUES (TG_TABLE_NAME, OLD.dbrid, who, 'gelöscht');
        RETURN OLD;
    END IF;
    old_row := to_jsonb(OLD);
    new_row := to_jsonb(NEW);
    FOR f IN SELECT k FROM jsonb_object_keys(new_row) AS k
             WHERE k NOT IN ('insert_date', 'insert_by', 'modified_date', 'modified_by')
             ORDER BY k LOOP
        IF old_row -> f IS DISTINCT FROM new_row -> f THEN
            INSERT INTO adressen_log (al_table, al_dbrid, al_user, al_action, al_field, al_old,
                                      al_new)
            VALUES (TG_TABLE_NAME, NEW.dbrid, who, 'geändert', f, old_row ->> f, new_row ->> f);
            logged := true;
        END IF;
    END LOOP;
    -- A save that changed no value still stamped the record as edited: the log says so too, so
    -- that the stamp the status bar shows has its line.
    IF NOT logged THEN
        INSERT INTO adressen_log (al_table, al_dbrid, al_user, al_action)
        VALUES (TG_TABLE_NAME, NEW.dbrid, who, 'geändert');
    END IF;
    RETURN NEW;
END
$$;

CREATE TRIGGER adressen_log AFTER INSERT OR UPDATE OR DELETE ON adressen
    FOR EACH ROW EXECUTE FUNCTION adressen_log_write();
CREATE TRIGGER ansprechpartner_log AFTER INSERT OR UPDATE OR DELETE ON ansprechpartner
    FOR EACH ROW EXECUTE FUNCTION adressen_log_write();
