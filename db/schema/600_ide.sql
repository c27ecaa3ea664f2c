-- What the IDE's data module reads besides the system tables: field aliases, and the login of the
-- fallback connection.

-- Display names of table fields; a text number translates the alias.
CREATE TABLE fieldalias (
    fa_id        serial PRIMARY KEY,
    fa_table     text NOT NULL,
    fa_field     text NOT NULL,
    fa_alias     text,
    fa_textno    integer,
    UNIQUE (fa_table, fa_field)
);

-- The IDE's fallback login. Roles belong to the cluster, so an existing one is kept.
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'root') THEN
        CREATE ROLE root LOGIN;
    END IF;
END
$$;
GRANT pg_read_all_data, pg_write_all_data TO root;
