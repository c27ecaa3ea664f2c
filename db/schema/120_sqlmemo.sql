-- The catalogue of tables and fields: the SQL editor completes from it, and it holds their captions
-- as users know them. A row with an empty field is the table's own; textno, when set, gives the
-- caption in the user's language.
CREATE TABLE tablefieldinfo (
    tablename  text NOT NULL,
    field      text NOT NULL DEFAULT '',
    alias      text,
    textno     integer,
    PRIMARY KEY (tablename, field)
);
