-- Where the F2 lookup of a field gets its rows: per module class and field name, the SQL whose
-- first column is the value handed back.
CREATE TABLE f2poss (
    f2_id    serial PRIMARY KEY,
    f2_modul text NOT NULL,
    f2_feld  text NOT NULL,
    f2_sql   text NOT NULL,
    UNIQUE (f2_modul, f2_feld)
);
