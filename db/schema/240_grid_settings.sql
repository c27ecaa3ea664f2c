-- Column layouts of the grids, per form class and grid: the user's own (gl_type 1, gl_user the
-- login) and the global one (gl_type 2, gl_user empty). gl_layout is JSON written by the grid.
CREATE TABLE grid_layouts (
    gl_formclass text NOT NULL,
    gl_grid      text NOT NULL,
    gl_type      integer NOT NULL CHECK (gl_type IN (1, 2)),
    gl_user      text NOT NULL DEFAULT '',
    gl_layout    text NOT NULL,
    gl_default   boolean NOT NULL DEFAULT false,  -- the user's layout wins over the global one
    gl_saved     timestamp NOT NULL DEFAULT now(),
    gl_saved_by  text NOT NULL DEFAULT current_user,
    PRIMARY KEY (gl_formclass, gl_grid, gl_type, gl_user)
);

-- Stored filters of a grid: filter expressions of the in-memory dataset over the grid's fields,
-- for everyone (gf_mitnr 0) or one user.
CREATE TABLE grid_filters (
    gf_formclass text NOT NULL,
    gf_savename  text NOT NULL,
    gf_name      text NOT NULL,
    gf_filter    text NOT NULL,
    gf_mitnr     integer NOT NULL DEFAULT 0,
    gf_order     integer NOT NULL DEFAULT 0,
    PRIMARY KEY (gf_formclass, gf_savename, gf_name, gf_mitnr)
);

-- Actions of the user interface a user may be refused: a row with gr_allowed false refuses the
-- action of that form class (gr_action the grid's name for an export) to the user, or to everyone
-- with gr_mitnr 0. Administrators may do everything.
CREATE TABLE gui_rights (
    gr_formclass text NOT NULL,
    gr_action    text NOT NULL,
    gr_mitnr     integer NOT NULL DEFAULT 0,
    gr_allowed   boolean NOT NULL DEFAULT true,
    PRIMARY KEY (gr_formclass, gr_action, gr_mitnr)
);

-- Contact persons of the sample address module.
CREATE TABLE ansprechpartner (
    dbrid         serial PRIMARY KEY,
    adressen_id   integer REFERENCES adressen (dbrid) ON DELETE CASCADE,
    nachname      varchar(80) NOT NULL,
    vorname       varchar(60),
    funktion      varchar(60),
    telefon       varchar(40),
    email         varchar(100),
    geburtstag    date,
    aktiv         boolean NOT NULL DEFAULT true,
    insert_date   timestamp NOT NULL DEFAULT now(),
    insert_by     text NOT NULL DEFAULT current_user,
    modified_date timestamp,
    modified_by   text
);
CREATE INDEX ansprechpartner_adresse ON ansprechpartner (adressen_id);
