-- When an F2 definition applies: the field of the record and the value it must hold. A register
-- grid has one definition of its value column per register name, so a module's field may have
-- several rows.
CREATE TABLE IF NOT EXISTS f2poss_condition (
    f2_id       integer PRIMARY KEY REFERENCES f2poss (f2_id) ON DELETE CASCADE,
    field_name  text NOT NULL,
    field_value text
);
