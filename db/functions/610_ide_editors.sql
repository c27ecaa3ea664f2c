-- The keys of the named SQL a client version may use. The store holds one set for every version,
-- so all keys are offered; the parameter keeps the call stable for versioned stores.
CREATE OR REPLACE FUNCTION systemsqlstatement_version(version text)
RETURNS TABLE (sql_name text)
LANGUAGE sql STABLE AS $$
    SELECT ss_key FROM standardsql
$$;
