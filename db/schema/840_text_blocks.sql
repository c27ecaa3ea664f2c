-- Text blocks of the server in the users' languages (0 German, 3 English), by ident: the texts the
-- client asks the server for, such as the body of a document sent by e-mail.
CREATE TABLE zu_tit (
    zt_ident  text    NOT NULL,
    zt_lang   integer NOT NULL DEFAULT 0,
    zt_txt    text    NOT NULL,
    PRIMARY KEY (zt_ident, zt_lang)
);

-- The keyword category whose value ties a document type's documents to related ones (the
-- viewers' "Dokumente-Beziehungen").
ALTER TABLE dokutypes ADD COLUMN dt_relateddokkeyword text;
