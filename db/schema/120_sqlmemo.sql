-- The catalogue the SQL editor completes from: one row per table field.
CREATE TABLE tablefieldinfo (
    tablename text NOT NULL,
    field     text NOT NULL,
    PRIMARY KEY (tablename, field)
);
