-- Where the F2 lookup of a field gets its rows: per module class and field name. A row names a
-- shared standard lookup (f2standard) or carries its own query; a fast row looks up as the user
-- types, with its query and filter applied to the field itself.
CREATE TABLE f2standard (
    f2s_name  text PRIMARY KEY,
    f2s_query text NOT NULL
);

CREATE TABLE f2poss (
    f2_id       serial PRIMARY KEY,
    modulname   text NOT NULL,
    feldname    text NOT NULL,
    fastf2      boolean NOT NULL DEFAULT false,
    f2_query    text,
    f2_filter   text,
    f2_standard text REFERENCES f2standard (f2s_name) ON UPDATE CASCADE,
    f2_deleted  boolean NOT NULL DEFAULT false
);
