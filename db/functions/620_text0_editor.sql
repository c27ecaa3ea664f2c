-- The server's clock as the text picker stamps its last-number settings with it: one time for all
-- clients, whatever their own clocks say.
CREATE OR REPLACE FUNCTION currenttime() RETURNS timestamp
LANGUAGE sql VOLATILE AS $$
    SELECT date_trunc('second', clock_timestamp())::timestamp
$$;
