-- A number of a range as users see it: the prefix, then the counter padded to digits (a longer
-- counter is never cut).
CREATE FUNCTION nummernkreis_format(p_prefix text, p_digits integer, p_num bigint)
RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce(p_prefix, '') ||
           CASE WHEN length(p_num::text) >= coalesce(p_digits, 0) THEN p_num::text
                ELSE lpad(p_num::text, p_digits, '0') END
$$;
