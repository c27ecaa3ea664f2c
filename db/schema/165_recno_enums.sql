-- The codes of enumeration parameters (reg_paramtype 'ptENUM'): a record's chosen codes are one
-- comma list in recnokeyword.r_value.
CREATE TABLE IF NOT EXISTS recnoenums (
    rege_id        serial PRIMARY KEY,
    rege_reg_pname text NOT NULL REFERENCES recnogroup (reg_pname) ON DELETE CASCADE
                                                                     ON UPDATE CASCADE,
    rege_pos       integer NOT NULL DEFAULT 0,
    rege_code      text NOT NULL,
    rege_bez       text,
    UNIQUE (rege_reg_pname, rege_code)
);

-- A record holds each parameter once; adding a code to an enumeration's list relies on it to
-- find the row it merges into. Keywords (r_reg_pname null) are not concerned.
CREATE UNIQUE INDEX IF NOT EXISTS recnokeyword_param
    ON recnokeyword (r_tablename, r_dbrid, r_reg_pname);
