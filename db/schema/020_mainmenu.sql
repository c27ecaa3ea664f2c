-- The host's main menu as a tree: mm_parent and mm_order give the tree order.
CREATE TABLE mainmenu (
    mm_id            integer PRIMARY KEY,
    mm_parent        integer REFERENCES mainmenu (mm_id) ON DELETE CASCADE,
    mm_order         integer NOT NULL DEFAULT 0,
    mm_text          integer,          -- text number for the caption (makeText)
    mm_caption       text,             -- plain caption, also the default when the text is missing
    mm_formclassname text,
    mm_hidden        boolean NOT NULL DEFAULT false,
    mm_action        integer NOT NULL DEFAULT 0,
    mm_library       text,
    mm_proc          text,
    mm_sql           text,
    mm_shorthlptxtnr text,
    mm_config        text,
    mm_macro         text,
    mm_readonly      boolean NOT NULL DEFAULT false
);
CREATE INDEX mainmenu_tree ON mainmenu (mm_parent, mm_order);
