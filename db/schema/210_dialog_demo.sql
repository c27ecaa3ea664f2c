-- Texts of the sample dialog module: plain text and its RTF form.
CREATE TABLE demo_texte (
    id      serial PRIMARY KEY,
    txt     text NOT NULL DEFAULT '',
    txt_rtf text NOT NULL DEFAULT ''
);
