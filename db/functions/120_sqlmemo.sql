-- Refills tablefieldinfo from the server's catalogue: the tables and views of the user schemas.
CREATE OR REPLACE FUNCTION tablefieldinfo__refresh() RETURNS integer
LANGUAGE plpgsql AS $$
DECLARE
    n integer;
BEGIN
    DELETE FROM tablefieldinfo;
    INSERT INTO tablefieldinfo (tablename, field)
    SELECT DISTINCT c.table_name, c.column_name
      FROM information_schema.columns c
     WHERE c.table_schema NOT IN ('pg_catalog', 'information_schema')
       AND c.table_schema NOT LIKE 'pg\_%';
    GET DIAGNOSTICS n = ROW_COUNT;
    RETURN n;
END;
$$;
