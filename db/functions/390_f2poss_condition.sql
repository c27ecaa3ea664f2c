-- The condition of an F2 definition as one composite, NULLs when it has none, so that
-- (f2poss__condition__get(f2_id)).* keeps every definition.
CREATE FUNCTION f2poss__condition__get(p_f2_id integer, OUT field_name text, OUT field_value text)
RETURNS record LANGUAGE sql STABLE AS $$
    SELECT c.field_name, c.field_value
    FROM (SELECT 1) AS one LEFT JOIN f2poss_condition AS c ON c.f2_id = p_f2_id
$$;
