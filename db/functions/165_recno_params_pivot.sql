-- The record parameters of a table's records for a grid that shows them: one row per record that
-- has any, its parameters as one object of name and value. A module's query joins it on
-- recnoparam_dbrid; its grid then offers the parameters as a pivot view.
CREATE SCHEMA IF NOT EXISTS trecnoparam;

CREATE FUNCTION trecnoparam.pivot__by__dbrid(p_tablename text)
RETURNS TABLE (recnoparam_dbrid bigint, recnoparam_params jsonb)
LANGUAGE sql STABLE AS $$
    SELECT r_dbrid, jsonb_object_agg(r_reg_pname, r_value ORDER BY r_reg_pname)
      FROM recnokeyword
     WHERE r_tablename = p_tablename AND r_reg_pname IS NOT NULL
     GROUP BY r_dbrid
$$;
