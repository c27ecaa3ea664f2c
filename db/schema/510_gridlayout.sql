-- Stored grid layouts of the planning board's views: per form class (il_group), layout name
-- (il_item) and user (gl_minr; Null is the global layout). One row per key: the unique index
-- compares Nulls as equal, so two saves of the same key meet in one row.
CREATE TABLE gridlayout (
    gl_id         serial PRIMARY KEY,
    il_group      text NOT NULL,
    il_item       text NOT NULL,
    gl_minr       integer,
    gl_detailview text,
    gl_deleted    boolean NOT NULL DEFAULT false,
    gl_data       bytea
);
CREATE UNIQUE INDEX gridlayout_key ON gridlayout
    (lower(il_group), lower(il_item), gl_minr, gl_detailview) NULLS NOT DISTINCT;
