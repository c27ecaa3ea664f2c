-- Audit stamps: who made and who last changed a row, set by the server so that no client can
-- forget or fake them. The login is the one the session announced (set_config 'korvex.login');
-- a session that announced none (a script run with psql) stamps its database role, and keeps the
-- insert stamps it gives itself, as the demo data's history does.
CREATE FUNCTION korvex_session_login() RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT coalesce(nullif(current_setting('korvex.login', true), ''), current_user::text)
$$;

CREATE FUNCTION korvex_audit_stamps() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    announced boolean := coalesce(current_setting('korvex.login', true), '') <> '';
BEGIN
    IF TG_OP = 'INSERT' THEN
        IF announced OR NEW.insert_date IS NULL THEN
            NEW.insert_date := now();
        END IF;
        IF announced OR NEW.insert_by IS NULL THEN
            NEW.insert_by := korvex_session_login();
        END IF;
        NEW.modified_date := NULL;
        NEW.modified_by := NULL;
    ELSE
        NEW.insert_date := OLD.insert_date;
        NEW.insert_by := OLD.insert_by;
        NEW.modified_date := now();
        NEW.modified_by := korvex_session_login();
    END IF;
    RETURN NEW;
END
$$;

-- Every table of the schema that carries the four stamp columns gets the trigger.
DO $$
DECLARE
    t regclass;
BEGIN
    FOR t IN
        SELECT a.attrelid::regclass FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid
         WHERE c.relkind = 'r' AND c.relnamespace = 'public'::regnamespace AND NOT a.attisdropped
           AND a.attname IN ('insert_date', 'insert_by', 'modified_date', 'modified_by')
         GROUP BY a.attrelid HAVING count(*) = 4
    LOOP
        EXECUTE format('CREATE TRIGGER korvex_audit_stamps BEFORE INSERT OR UPDATE ON %s '
                       'FOR EACH ROW EXECUTE FUNCTION korvex_audit_stamps()', t);
    END LOOP;
END
$$;
