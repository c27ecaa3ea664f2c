-- Every form start reads its F2 definitions by module name through aeoeue_upper.
CREATE INDEX f2poss_modulname_idx ON f2poss (aeoeue_upper(modulname));

-- The value of key in [section] of an INI text, NULL when the text holds none (or is no INI).
-- Section and key compare case-insensitively, as INI readers do.
CREATE FUNCTION tsystem.ini_getvalue(config text, section text, key text) RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    line text;
    cur text := NULL;
    pos integer;
BEGIN
    IF config IS NULL OR section IS NULL OR key IS NULL THEN
        RETURN NULL;
    END IF;
    FOREACH line IN ARRAY regexp_split_to_array(config, E'\r?\n') LOOP
        line := btrim(line, E' \t');
        IF line = '' OR left(line, 1) IN (';', '#') THEN
            CONTINUE;
        END IF;
        IF left(line, 1) = '[' AND right(line, 1) = ']' THEN
            cur := lower(btrim(substr(line, 2, length(line) - 2)));
            CONTINUE;
        END IF;
        pos := strpos(line, '=');
        IF cur = lower(section) AND pos > 1
           AND lower(btrim(left(line, pos - 1))) = lower(key) THEN
            RETURN btrim(substr(line, pos + 1));
        END IF;
    END LOOP;
    RETURN NULL;
END
$$;
