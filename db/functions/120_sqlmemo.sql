-- Brings tablefieldinfo in line with the server's catalogue (the tables and views of the user
-- schemas): new fields are added, fields that are gone are dropped unless they carry a caption.
CREATE OR REPLACE FUNCTION tablefieldinfo__refresh() RETURNS integer
LANGUAGE plpgsql AS $$
DECLARE
    n integer;
BEGIN
    CREATE TEMP TABLE tablefieldinfo__now ON COMMIT DROP AS
    SELECT DISTINCT c.table_name::text AS tablename, c.column_name::text AS field
      FROM information_schema.columns c
     WHERE c.table_schema NOT IN ('pg_catalog', 'information_schema')
       AND c.table_schema NOT LIKE 'pg\_%';
    DELETE FROM tablefieldinfo t
     WHERE t.alias IS NULL AND t.textno IS NULL
       AND NOT EXISTS (SELECT 1 FROM tablefieldinfo__now n
                        WHERE n.tablename = t.tablename AND n.field = t.field);
    INSERT INTO tablefieldinfo (tablename, field)
    SELECT tablename, field FROM tablefieldinfo__now
    ON CONFLICT (tablename, field) DO NOTHING;
    SELECT count(*) INTO n FROM tablefieldinfo__now;
    DROP TABLE tablefieldinfo__now;
    RETURN n;
END;
$$;
