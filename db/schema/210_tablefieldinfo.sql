-- Captions of tables and their fields, as users know them. A row with an empty field is the
-- table's own alias; textno, when set, gives the caption in the user's language.
CREATE TABLE IF NOT EXISTS tablefieldinfo (
    tablename  text NOT NULL,
    field      text NOT NULL DEFAULT '',
    alias      text,
    textno     integer,
    PRIMARY KEY (tablename, field)
);
